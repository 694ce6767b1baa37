#include "ui/MessageIcons.h"

namespace ui {

imaging::ArgbBitmap LoadIconResource(const std::string&, int)
{
    return {};
}

std::string MessageIconResource(unsigned iconType)
{
    switch (iconType & 0xF0) {
    case 0x10: return "4502";
    case 0x20: return "4503";
    case 0x30: return "4490";
    default: return {};
    }
}

const char* MessageIconThemeName(unsigned iconType)
{
    switch (iconType & 0xF0) {
    case 0x10: return "dialog-error";
    case 0x20: return "dialog-question";
    case 0x30: return "dialog-warning";
    default: return "dialog-information";
    }
}

}  // namespace ui
