#pragma once
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace engine {

using HRESULT = std::int32_t;

inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT E_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);

// The error every failing automation call throws: the failure code, the
// interface of the object that failed and a description (may be empty).
class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr, std::string description = {}, std::string interfaceName = {});

    HRESULT Error() const noexcept { return m_hr; }
    const std::string& Description() const noexcept { return m_description; }
    const std::string& Interface() const noexcept { return m_interface; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    HRESULT m_hr;
    std::string m_description;
    std::string m_interface;
    std::string m_what;
};

// The standard system text of a well-known HRESULT, without a trailing
// line break; nothing for codes the table does not know.
std::optional<std::string> SystemMessage(HRESULT hr);

}  // namespace engine
