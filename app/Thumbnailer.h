#pragma once
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace app {

// The thumbnailer file managers run on books: `-s SIZE INPUT OUTPUT`, INPUT
// a path or a file:// address, OUTPUT the PNG to write.
struct ThumbnailRequest {
    int size = 0;
    std::filesystem::path input;
    std::filesystem::path output;
};

// Throws std::invalid_argument, saying what is wrong, for anything but
// `-s SIZE INPUT OUTPUT` (the option may come anywhere) with a size of
// 1..4096 pixels and an input that is a path or a local file:// address.
ThumbnailRequest ParseThumbnailerArguments(const std::vector<std::string>& arguments);

// Unpacks the book into a private folder below workingFolderBase, as a
// conversion unpacks it (the same limits and refusals), draws its first page
// and writes it as the output PNG. The folder is removed afterwards. Throws
// with the reason as its text; the output is then not written.
void MakeThumbnail(const ThumbnailRequest& request, const std::string& workingFolderBase);

// The whole program: 0 when the thumbnail was written, 1 when the book gave
// none, 2 for wrong arguments; one line on errors says why. Never throws.
int RunThumbnailer(const std::vector<std::string>& arguments, std::ostream& errors) noexcept;

}  // namespace app
