#include "ui/MessageIcons.h"

#include "imaging/ImageLoader.h"
#include "resources/Icons.h"

#include <exception>

namespace ui {

imaging::ArgbBitmap LoadIconResource(const std::string& name, int width, int height)
{
    try {
        auto image = imaging::LoadImageFromResource(resources::FindIcons, name, height);
        return imaging::ScaleToBox(std::move(image), width, height, imaging::ScaleMode::Stretch);
    } catch (const std::exception&) {
        // The caller falls back to the desktop theme's icon.
        return {};
    }
}

std::string MessageIconResource(unsigned iconType)
{
    switch (iconType & 0xF0) {
    case 0x10:
        return "error";
    case 0x20:
        return "question";
    case 0x30:
        return "warning";
    default:
        return {};
    }
}

const char* MessageIconThemeName(unsigned iconType)
{
    switch (iconType & 0xF0) {
    case 0x10:
        return "dialog-error";
    case 0x20:
        return "dialog-question";
    case 0x30:
        return "dialog-warning";
    default:
        return "dialog-information";
    }
}

}  // namespace ui
