#include "book/Unzipper.h"

#include "files/TemporaryFile.h"
#include "imaging/ResourceError.h"
#include "text/Unicode.h"

#include <minizip/unzip.h>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

// CP437 bytes 0x80..0xFF as Unicode code points; 0x00..0x7F are ASCII.
constexpr std::array<char32_t, 128> kCp437High = {
    0x00C7,
    0x00FC,
    0x00E9,
    0x00E2,
    0x00E4,
    0x00E0,
    0x00E5,
    0x00E7,
    0x00EA,
    0x00EB,
    0x00E8,
    0x00EF,
    0x00EE,
    0x00EC,
    0x00C4,
    0x00C5,
    0x00C9,
    0x00E6,
    0x00C6,
    0x00F4,
    0x00F6,
    0x00F2,
    0x00FB,
    0x00F9,
    0x00FF,
    0x00D6,
    0x00DC,
    0x00A2,
    0x00A3,
    0x00A5,
    0x20A7,
    0x0192,
    0x00E1,
    0x00ED,
    0x00F3,
    0x00FA,
    0x00F1,
    0x00D1,
    0x00AA,
    0x00BA,
    0x00BF,
    0x2310,
    0x00AC,
    0x00BD,
    0x00BC,
    0x00A1,
    0x00AB,
    0x00BB,
    0x2591,
    0x2592,
    0x2593,
    0x2502,
    0x2524,
    0x2561,
    0x2562,
    0x2556,
    0x2555,
    0x2563,
    0x2551,
    0x2557,
    0x255D,
    0x255C,
    0x255B,
    0x2510,
    0x2514,
    0x2534,
    0x252C,
    0x251C,
    0x2500,
    0x253C,
    0x255E,
    0x255F,
    0x255A,
    0x2554,
    0x2569,
    0x2566,
    0x2560,
    0x2550,
    0x256C,
    0x2567,
    0x2568,
    0x2564,
    0x2565,
    0x2559,
    0x2558,
    0x2552,
    0x2553,
    0x256B,
    0x256A,
    0x2518,
    0x250C,
    0x2588,
    0x2584,
    0x258C,
    0x2590,
    0x2580,
    0x03B1,
    0x00DF,
    0x0393,
    0x03C0,
    0x03A3,
    0x03C3,
    0x00B5,
    0x03C4,
    0x03A6,
    0x0398,
    0x03A9,
    0x03B4,
    0x221E,
    0x03C6,
    0x03B5,
    0x2229,
    0x2261,
    0x00B1,
    0x2265,
    0x2264,
    0x2320,
    0x2321,
    0x00F7,
    0x2248,
    0x00B0,
    0x2219,
    0x00B7,
    0x221A,
    0x207F,
    0x00B2,
    0x25A0,
    0x00A0,
};

constexpr std::size_t kCopyChunk = 65536;

unzFile Handle(void* archive) { return static_cast<unzFile>(archive); }

// Closes the archive's current entry unless the caller closed it already.
class CurrentEntryGuard {
public:
    explicit CurrentEntryGuard(unzFile archive) : archive_(archive) {}
    CurrentEntryGuard(const CurrentEntryGuard&) = delete;
    CurrentEntryGuard& operator=(const CurrentEntryGuard&) = delete;
    ~CurrentEntryGuard()
    {
        if (archive_)
            unzCloseCurrentFile(archive_);
    }
    // Closes the entry; UNZ_CRCERROR here means the data was damaged.
    int Close()
    {
        const int result = unzCloseCurrentFile(archive_);
        archive_ = nullptr;
        return result;
    }

private:
    unzFile archive_;
};

// What opening the package's file found, for the reason of a failed Open.
struct OpenAttempt {
    bool opened = false;
    int error = 0;  // of a failed system call
    bool notRegular = false;
};

// minizip's file open, restricted to regular files: a FIFO or device would
// otherwise block or be read without end. Opening non-blocking keeps a FIFO
// without writer from hanging the open itself.
voidpf ZCALLBACK OpenRegularFile(voidpf opaque, const void* filename, int mode)
{
    OpenAttempt& attempt = *static_cast<OpenAttempt*>(opaque);
    if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    files::Fd fd(::open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
        attempt.error = errno;
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        attempt.notRegular = true;
        return nullptr;
    }
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
    FILE* file = ::fdopen(fd.Get(), "rb");
    if (!file) {
        attempt.error = errno;
        return nullptr;
    }
    fd.Release();  // the stream owns it now
    attempt.opened = true;
    return file;
}

// An entry name as a reason quotes it: on one line, and short enough to read.
std::string Quoted(const std::string& name)
{
    constexpr std::size_t kShown = 120;
    std::string shown = name.substr(0, kShown);
    if (shown.size() < name.size()) {
        while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80)
            shown.pop_back();  // a cut character
        if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0)
            shown.pop_back();
        shown += "...";
    }
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return "\"" + shown + "\"";
}

// What minizip or zlib said about an entry's data.
std::string ZipErrorText(int code, int error)
{
    switch (code) {
    case UNZ_ERRNO:
        return error != 0 ? std::string(std::strerror(error)) : "data cut short";
    case UNZ_BADZIPFILE:
        return "bad entry header";
    case UNZ_CRCERROR:
        return "CRC mismatch";
    case UNZ_PARAMERROR:
        return "bad parameter";
    case UNZ_INTERNALERROR:
        return "internal error";
    case Z_DATA_ERROR:
        return "invalid compressed data";
    case Z_STREAM_ERROR:
        return "inconsistent compressed data";
    case Z_BUF_ERROR:
        return "compressed data cut short";
    default:
        return "error " + std::to_string(code);
    }
}

// The reason for an entry whose data could not be read: the archive is
// damaged, unless reading the package itself failed or memory ran out.
std::string UnreadableEntryReason(const std::string& name, int code, int error)
{
    if (code == Z_MEM_ERROR)
        return "out of memory while unpacking";
    if (code == UNZ_ERRNO && error != 0)
        return "the package cannot be read: " + std::string(std::strerror(error));
    return "the archive is damaged (" + ZipErrorText(code, error) + " in entry " + Quoted(name) + ")";
}

// The entry name split into the folders and file it names, or nothing when
// the name could reach outside the destination.
std::optional<std::vector<std::string>> SplitEntryName(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        return std::nullopt;  // absolute, "\\server\share" included
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        std::string part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        // ".." leaves the folder; a colon makes a drive ("C:") or an
        // alternate data stream name on the packages' home platform.
        if (part == ".." || part.find(':') != std::string::npos)
            return std::nullopt;
        parts.push_back(std::move(part));
    }
    return parts;
}

// Opens (creating when missing) each folder of parts[0, count) below base,
// never following a symbolic link. On failure error holds the errno.
files::Fd OpenFolders(int base, const std::vector<std::string>& parts, std::size_t count, int& error)
{
    files::Fd current(::fcntl(base, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < count && current.Valid(); ++i) {
        const char* part = parts[i].c_str();
        if (::mkdirat(current.Get(), part, 0755) != 0 && errno != EEXIST) {
            error = errno;
            return files::Fd();
        }
        current = files::Fd(::openat(current.Get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!current.Valid())
        error = errno;
    return current;
}

// The entry's DOS date and time, read as local time.
std::optional<std::time_t> EntryTime(const tm_unz& date)
{
    if (date.tm_mon > 11 || date.tm_mday < 1 || date.tm_mday > 31 || date.tm_hour > 23 || date.tm_min > 59 || date.tm_sec > 59 || date.tm_year < 1980)
        return std::nullopt;
    std::tm local{};
    local.tm_year = static_cast<int>(date.tm_year) - 1900;
    local.tm_mon = static_cast<int>(date.tm_mon);
    local.tm_mday = static_cast<int>(date.tm_mday);
    local.tm_hour = static_cast<int>(date.tm_hour);
    local.tm_min = static_cast<int>(date.tm_min);
    local.tm_sec = static_cast<int>(date.tm_sec);
    local.tm_isdst = -1;
    const std::time_t result = std::mktime(&local);
    if (result == static_cast<std::time_t>(-1))
        return std::nullopt;
    return result;
}

bool ReadEntryRecord(unzFile archive, unz_file_info64& record, std::string& rawName, std::string& rawComment)
{
    if (unzGetCurrentFileInfo64(archive, &record, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // Read the whole name: a name cut at a fixed buffer would extract under
    // a different name than the archive gives.
    std::vector<char> name(record.size_filename + 1), comment(record.size_file_comment + 1);
    if (unzGetCurrentFileInfo64(archive, &record, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                comment.data(), static_cast<uLong>(comment.size()))
        != UNZ_OK)
        return false;
    rawName.assign(name.data(), record.size_filename);
    rawComment.assign(comment.data(), record.size_file_comment);
    return true;
}

}  // namespace

// Why minizip refused a file that could be read: its first bytes tell an
// archive without entries (nothing before the end record) and one whose end,
// with the table of entries, is missing from one that is no zip at all.
std::string DescribeRefusedArchive(const std::filesystem::path& package)
{
    char magic[4] = {};
    std::ifstream in(package, std::ios::binary);
    in.read(magic, sizeof magic);
    if (in.gcount() == 0)
        return "not a zip archive (the file is empty)";
    if (in.gcount() == 4 && std::memcmp(magic, "PK\x05\x06", 4) == 0)
        return "the archive has no entries";
    if (in.gcount() == 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0)
        return "the archive is damaged (its table of entries is missing: the file may be truncated)";
    return "not a zip archive";
}

std::string DecodeZipEntryText(std::string_view raw, bool utf8Flag)
{
    if (utf8Flag) {
        std::string text = unicode::ReplaceInvalidUtf8(raw);
        if (text.rfind("\xEF\xBB\xBF", 0) == 0)
            text.erase(0, 3);
        return text;
    }
    std::string text;
    text.reserve(raw.size());
    for (unsigned char c : raw) {
        if (c < 0x80)
            text.push_back(static_cast<char>(c));
        else
            unicode::AppendUtf8(text, kCp437High[c - 0x80]);
    }
    return text;
}

CUnzipper::CUnzipper(const std::filesystem::path& package) : CUnzipper(package, ExtractionLimits{}) {}

CUnzipper::CUnzipper(const std::filesystem::path& package, const ExtractionLimits& limits) : limits_(limits)
{
    if (!Open(package))
        throw PackageOpenError(failure_);
}

CUnzipper::~CUnzipper() { Close(); }

bool CUnzipper::Open(const std::filesystem::path& package)
{
    Close();
    totalWritten_ = 0;
    if (package.empty())
        return Fail("no package file named");
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(package, error);
    if (error)
        return Fail("the package cannot be opened: " + error.message());
    if (full.native().size() >= PATH_MAX)
        return Fail("the package's path is too long");
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    OpenAttempt attempt;
    functions.zopen64_file = OpenRegularFile;
    functions.opaque = &attempt;
    archive_ = unzOpen2_64(full.c_str(), &functions);
    if (archive_)
        return true;
    if (attempt.notRegular)
        return Fail("the package is not a regular file");
    if (!attempt.opened)
        return Fail("the package cannot be opened: " + std::string(std::strerror(attempt.error)));
    return Fail(DescribeRefusedArchive(full));
}

bool CUnzipper::Fail(std::string reason)
{
    failure_ = std::move(reason);
    return false;
}

bool CUnzipper::FailEntry(const ZipEntryInfo& entry, const std::string& problem)
{
    return Fail("entry " + Quoted(entry.name) + " " + problem);
}

bool CUnzipper::FailWrite(int error)
{
    return Fail(imaging::WriteFailureReason(error, "unpacking"));
}

void CUnzipper::Close()
{
    if (!archive_)
        return;
    unzCloseCurrentFile(Handle(archive_));
    unzClose(Handle(archive_));
    archive_ = nullptr;
}

std::uint64_t CUnzipper::GetEntryCount() const
{
    if (!archive_)
        return 0;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Handle(archive_), &global) != UNZ_OK)
        return 0;
    return global.number_entry;
}

CUnzipper::Move CUnzipper::MoveToFirst()
{
    if (!archive_)
        return Move::Error;
    const int result = unzGoToFirstFile(Handle(archive_));
    return result == UNZ_OK ? Move::Ok : result == UNZ_END_OF_LIST_OF_FILE ? Move::End
                                                                           : Move::Error;
}

CUnzipper::Move CUnzipper::MoveToNext()
{
    if (!archive_)
        return Move::Error;
    const int result = unzGoToNextFile(Handle(archive_));
    return result == UNZ_OK ? Move::Ok : result == UNZ_END_OF_LIST_OF_FILE ? Move::End
                                                                           : Move::Error;
}

bool CUnzipper::GoToFirstEntry() { return MoveToFirst() == Move::Ok; }

bool CUnzipper::GoToNextEntry() { return MoveToNext() == Move::Ok; }

bool CUnzipper::GetEntryInfo(ZipEntryInfo& info) const
{
    if (!archive_)
        return false;
    unz_file_info64 record{};
    std::string rawName, rawComment;
    if (!ReadEntryRecord(Handle(archive_), record, rawName, rawComment))
        return false;
    const bool utf8 = (record.flag & kZipFlagUtf8) != 0;
    info.name = DecodeZipEntryText(rawName, utf8);
    for (char& c : info.name)
        if (c == '\\')
            c = '/';
    info.comment = DecodeZipEntryText(rawComment, utf8);
    info.versionMadeBy = static_cast<std::uint32_t>(record.version);
    info.versionNeeded = static_cast<std::uint32_t>(record.version_needed);
    info.flags = static_cast<std::uint32_t>(record.flag);
    info.compressionMethod = static_cast<std::uint32_t>(record.compression_method);
    info.dosDateTime = static_cast<std::uint32_t>(record.dosDate);
    info.crc32 = static_cast<std::uint32_t>(record.crc);
    info.compressedSize = record.compressed_size;
    info.uncompressedSize = record.uncompressed_size;
    info.internalAttributes = static_cast<std::uint32_t>(record.internal_fa);
    info.externalAttributes = static_cast<std::uint32_t>(record.external_fa);
    info.isDirectory = (record.external_fa & kZipDirectoryAttribute) != 0;
    return true;
}

bool CUnzipper::ExtractEntry(const std::filesystem::path& destination)
{
    if (!archive_ || destination.empty())
        return Fail("no package is open");
    std::error_code error;
    std::filesystem::create_directories(destination, error);
    if (error)
        return FailWrite(error.value());
    if (!std::filesystem::is_directory(destination, error))
        return FailWrite(ENOTDIR);

    ZipEntryInfo info;
    if (!GetEntryInfo(info))
        return Fail("the archive is damaged (an entry's record cannot be read)");
    if (info.name.find('\0') != std::string::npos)
        return FailEntry(info, "has a NUL character in its name");
    if (unicode::Utf16Length(info.name) > kMaxEntryNameLength)
        return FailEntry(info, "has a name longer than " + std::to_string(kMaxEntryNameLength) + " characters");
    const auto parts = SplitEntryName(info.name);
    if (!parts)
        return FailEntry(info, "names a place outside the package");
    const std::filesystem::path base = std::filesystem::absolute(destination, error);
    if (error)
        return FailWrite(error.value());
    std::string target = base.native();
    for (const std::string& part : *parts)
        target += "/" + part;
    if (target.size() >= PATH_MAX)
        return FailEntry(info, "gives a path that is too long");

    const files::Fd root(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid())
        return FailWrite(errno);

    // A folder that cannot be made because the package put a file (or the
    // working folder a link) in its place is the package's doing.
    const auto failFolders = [&](int folderError) {
        if (folderError == ENOTDIR || folderError == ELOOP)
            return FailEntry(info, "needs a folder where the package has a file");
        return FailWrite(folderError);
    };
    int folderError = 0;
    if (info.isDirectory) {
        if (!OpenFolders(root.Get(), *parts, parts->size(), folderError).Valid())
            return failFolders(folderError);
        return true;
    }

    // A file needs a name of its own; one that ends in a separator names a
    // folder and cannot be created as a file.
    if (parts->empty() || info.name.back() == '/')
        return FailEntry(info, "is a file with a folder's name");
    // Encrypted data cannot be read without a password; refuse it before
    // anything is written.
    if (info.flags & kZipFlagEncrypted)
        return FailEntry(info, "is encrypted");
    // Only stored and deflated data can be decoded; minizip hands other
    // methods out undecoded, which would be written as if it were the file.
    if (info.compressionMethod != 0 && info.compressionMethod != Z_DEFLATED)
        return FailEntry(info, "uses compression method " + std::to_string(info.compressionMethod) + ", which cannot be unpacked");
    const std::string tooLarge = "the archive unpacks to more than " + std::to_string(limits_.maxTotalBytes) + " bytes";
    if (info.uncompressedSize > limits_.maxTotalBytes - std::min(totalWritten_, limits_.maxTotalBytes))
        return Fail(tooLarge);

    const files::Fd folder = OpenFolders(root.Get(), *parts, parts->size() - 1, folderError);
    if (!folder.Valid())
        return failFolders(folderError);
    const std::string& leaf = parts->back();

    // An existing file of that name is replaced, unless it is read-only.
    struct stat existing {};
    if (::fstatat(folder.Get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(existing.st_mode))
            return FailEntry(info, "would replace a folder");
        if (S_ISREG(existing.st_mode) && (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return FailEntry(info, "would replace a read-only file");
    }

    // Write under a fresh name and rename into place: no existing file, link
    // or hard link is ever written through, and a failure leaves nothing.
    files::TemporaryFile file;
    if (!file.Create(folder.Get(), ".unzip-", ".part", 0644))
        return FailWrite(errno);

    errno = 0;
    if (const int opened = unzOpenCurrentFile(Handle(archive_)); opened != UNZ_OK)
        return Fail(UnreadableEntryReason(info.name, opened, errno));
    CurrentEntryGuard entry(Handle(archive_));

    std::vector<char> buffer(kCopyChunk);
    std::uint64_t written = 0;
    for (;;) {
        errno = 0;
        const int read = unzReadCurrentFile(Handle(archive_), buffer.data(), static_cast<unsigned>(buffer.size()));
        if (read < 0)
            return Fail(UnreadableEntryReason(info.name, read, errno));
        if (read == 0)
            break;
        const auto size = static_cast<std::uint64_t>(read);
        // Never more than the entry declares, never more than the whole
        // extraction may write.
        if (size > info.uncompressedSize - written)
            return Fail("the archive is damaged (entry " + Quoted(info.name) + " holds more than its record declares)");
        if (size > limits_.maxTotalBytes - totalWritten_)
            return Fail(tooLarge);
        if (!files::WriteAll(file.Get(), std::string_view(buffer.data(), static_cast<std::size_t>(size))))
            return FailWrite(errno);
        written += size;
        totalWritten_ += size;
    }
    // The check value is only compared when the entry is closed.
    if (const int closed = entry.Close(); closed != UNZ_OK)
        return Fail(UnreadableEntryReason(info.name, closed, 0));
    if (written != info.uncompressedSize)
        return Fail("the archive is damaged (entry " + Quoted(info.name) + " holds less than its record declares)");

    unz_file_info64 record{};
    if (unzGetCurrentFileInfo64(Handle(archive_), &record, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK) {
        if (const auto time = EntryTime(record.tmu_date)) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {*time, 0}};
            ::futimens(file.Get(), times);  // a file without its date is still a good file
        }
    }
    if (!file.Close())
        return FailWrite(errno);
    if (::renameat(folder.Get(), file.Name().c_str(), folder.Get(), leaf.c_str()) != 0)
        return FailWrite(errno);
    file.Keep();
    return true;
}

bool CUnzipper::ExtractAll(const std::filesystem::path& destination)
{
    if (!archive_ || destination.empty())
        return Fail("no package is open");
    std::error_code error;
    std::filesystem::create_directories(destination, error);
    if (error)
        return FailWrite(error.value());
    if (!std::filesystem::is_directory(destination, error))
        return FailWrite(ENOTDIR);
    const std::uint64_t count = GetEntryCount();
    const std::string tooMany = "the archive has more than " + std::to_string(limits_.maxEntries) + " entries";
    if (count == 0)
        return Fail("the archive has no entries");
    if (count > limits_.maxEntries)
        return Fail(tooMany);
    if (MoveToFirst() != Move::Ok)
        return Fail("the archive is damaged (its first entry cannot be read)");
    totalWritten_ = 0;
    for (std::uint64_t extracted = 1;; ++extracted) {
        if (extracted > limits_.maxEntries)
            return Fail(tooMany);
        if (!ExtractEntry(destination))
            return false;
        switch (MoveToNext()) {
        case Move::Ok:
            break;
        case Move::End:
            return true;
        case Move::Error:
            return Fail("the archive is damaged (an entry's record cannot be read)");
        }
    }
}
