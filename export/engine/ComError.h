#pragma once
#include <cstdint>
#include <exception>
#include <optional>
#include <string>

// The failure of an automation call: the HRESULT it returned and, where the
// failing object gave one, a description.
using HRESULT = std::int32_t;

constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_FILENOTFOUND = static_cast<HRESULT>(0x80070002u);

class ComError : public std::exception {
public:
    explicit ComError(HRESULT error, std::string description = {})
        : m_error(error), m_description(std::move(description)) {}

    HRESULT Error() const noexcept { return m_error; }
    const std::string& Description() const noexcept { return m_description; }
    const char* what() const noexcept override { return "com_error"; }

private:
    HRESULT m_error;
    std::string m_description;
};

// The system's standard text for a known HRESULT, or nothing.
std::optional<std::string> SystemMessage(HRESULT error);
