#include "export/engine/ComError.h"

std::optional<std::string> SystemMessage(HRESULT error)
{
    switch (static_cast<std::uint32_t>(error)) {
    case 0x80004005u: return "Unspecified error";
    case 0x80070057u: return "The parameter is incorrect.";
    case 0x80004003u: return "Invalid pointer";
    case 0x8007000Eu: return "Not enough memory resources are available to complete this operation.";
    case 0x80004001u: return "Not implemented";
    case 0x80070005u: return "Access is denied.";
    case 0x80070002u: return "The system cannot find the file specified.";
    case 0x8000FFFFu: return "Catastrophic failure";
    case 0x80004002u: return "No such interface supported";
    default: return std::nullopt;
    }
}
