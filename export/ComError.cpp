#include "export/ComError.h"

#include <cstdio>

namespace engine {

ComError::ComError(HRESULT hr, std::string description, std::string interfaceName)
    : m_hr(hr), m_description(std::move(description)), m_interface(std::move(interfaceName))
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    m_what = std::string("COM error ") + code;
    if (!m_interface.empty())
        m_what += " in " + m_interface;
    if (!m_description.empty())
        m_what += ": " + m_description;
}

std::optional<std::string> SystemMessage(HRESULT hr)
{
    switch (hr) {
    case E_FAIL:
        return "Unspecified error";
    case E_INVALIDARG:
        return "The parameter is incorrect.";
    case E_POINTER:
        return "Invalid pointer";
    case E_OUTOFMEMORY:
        return "Not enough memory resources are available to complete this operation.";
    case E_NOTIMPL:
        return "Not implemented";
    case E_ACCESSDENIED:
        return "Access is denied.";
    case E_FILE_NOT_FOUND:
        return "The system cannot find the file specified.";
    case E_UNEXPECTED:
        return "Catastrophic failure";
    default:
        return std::nullopt;
    }
}

}  // namespace engine
