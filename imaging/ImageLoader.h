#pragma once
// Images of the program's dialogs: PNG pictures and multi-size icon files,
// embedded or on disk, decoded at the size the caller asks for.

#include "imaging/ArgbBitmap.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace imaging {

// Looks an embedded file up by name.
using ResourceFinder = std::function<std::optional<std::span<const unsigned char>>(std::string_view name)>;

// The image stored under name; an icon file gives the frame chosen for
// requestedSize. Throws std::runtime_error "resource not found: <name>",
// "Unknown image format for resource <name>" or a decoding failure.
ArgbBitmap LoadImageFromResource(const ResourceFinder& find, const std::string& name, int requestedSize);
ArgbBitmap LoadImageFromMemory(std::span<const unsigned char> bytes, const std::string& name, int requestedSize);
// The same for a file; "Unknown image format for file <path>".
ArgbBitmap LoadImageFromFile(const std::filesystem::path& path, int requestedSize);

// Of icon frames of the given widths, in file order: the narrowest at least
// requestedSize wide (the first of equal ones), else the widest.
std::size_t ChooseIconPage(const std::vector<int>& widths, int requestedSize);

enum class ScaleMode { Stretch = 0,
                       Fit = 1,
                       Fill = 2 };
struct BoxSize {
    int width = 0;
    int height = 0;
    bool operator==(const BoxSize&) const = default;
};
// The size a w x h image takes in a W x H box: Stretch the box, Fit inside
// it and Fill covering it, both keeping the aspect. Throws
// std::invalid_argument for an empty image or box.
BoxSize ScaledSize(int w, int h, int boxWidth, int boxHeight, ScaleMode mode);
// The bitmap itself when it already has that size, else a Lanczos-rescaled
// copy.
ArgbBitmap ScaleToBox(ArgbBitmap bitmap, int boxWidth, int boxHeight, ScaleMode mode);

}  // namespace imaging
