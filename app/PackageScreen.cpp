#include "app/PackageScreen.h"

#include "app/ConversionJob.h"
#include "app/DescribeException.h"
#include "book/Unzipper.h"
#include "export/ConversionErrors.h"
#include "files/FileDescriptor.h"

#include <algorithm>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace exporting;

namespace app {

namespace {

// The end-of-central-directory record: 22 bytes and a comment of at most
// 65535, so it starts within the last 65557 bytes of every zip archive.
constexpr std::string_view kEndSignature("PK\x05\x06", 4);
constexpr off_t kEndRecordSize = 22;
constexpr off_t kEndSearch = 65535 + kEndRecordSize;

// True or false when the file could be read, nothing otherwise.
std::optional<bool> HasEndOfArchive(const std::filesystem::path& source)
{
    const files::Fd fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    if (st.st_size < kEndRecordSize)
        return false;
    const off_t length = std::min(st.st_size, kEndSearch);
    std::string tail(static_cast<std::size_t>(length), '\0');
    std::size_t got = 0;
    while (got < tail.size()) {
        const ssize_t n = ::pread(fd.Get(), tail.data() + got, tail.size() - got,
                                  st.st_size - length + static_cast<off_t>(got));
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    tail.resize(got);
    return tail.find(kEndSignature) != std::string::npos;
}

}  // namespace

void RejectNonPackage(const std::filesystem::path& source)
{
    if (HasEndOfArchive(source) != false)
        return;
    // Worded as the unzipper words its refusal of such a file.
    std::string reason = DescribeRefusedArchive(source);
    if (HasBookExtension(source))
        throw FileCorruptedError({}, std::move(reason));
    throw UnknownFileTypeError(std::move(reason));
}

std::optional<std::string> ScreenNonPackage(const std::filesystem::path& source)
{
    try {
        RejectNonPackage(source);
        return std::nullopt;
    } catch (...) {
        return DescribeException(std::current_exception(), true);
    }
}

}  // namespace app
