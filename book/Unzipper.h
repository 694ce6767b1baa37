#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// Information about the archive's current entry.
struct ZipEntryInfo {
    // The entry's path inside the archive, UTF-8. "\" (books are made on
    // Windows) is turned into "/", the native separator. The name is kept
    // whole; a name longer than kMaxEntryNameLength fails its extraction
    // instead of being cut to a different name.
    std::string name;
    std::string comment;

    // The entry's central directory record.
    std::uint32_t versionMadeBy = 0;
    std::uint32_t versionNeeded = 0;
    std::uint32_t flags = 0;
    std::uint32_t compressionMethod = 0;
    std::uint32_t dosDateTime = 0;  // date in the high 16 bits, time in the low 16 bits
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;

    // The MS-DOS directory attribute (0x10) of the external attributes.
    bool isDirectory = false;
};

// What one archive may make the extraction write. A package beyond these is
// treated as hostile (a decompression bomb) and its extraction fails.
struct ExtractionLimits {
    // Bytes written by all entries of one ExtractAll together: 4 GiB.
    std::uint64_t maxTotalBytes = std::uint64_t{4} << 30;
    // Entries in one archive: 100000, far beyond any real book.
    std::uint64_t maxEntries = 100000;
};

// General purpose flag bits of a zip entry.
inline constexpr std::uint32_t kZipFlagEncrypted = 0x0001;
inline constexpr std::uint32_t kZipFlagUtf8 = 0x0800;
// MS-DOS directory attribute in the external attributes.
inline constexpr std::uint32_t kZipDirectoryAttribute = 0x10;
// Entry names are limited to 260 UTF-16 code units, as the packages' home
// platform limits them.
inline constexpr std::size_t kMaxEntryNameLength = 260;

// Decodes a raw entry name or comment: UTF-8 (a leading byte order mark
// dropped, invalid sequences replaced by U+FFFD) when the entry has the UTF-8
// flag, CP437 otherwise. The result is UTF-8.
std::string DecodeZipEntryText(std::string_view raw, bool utf8Flag);

// Why a file that could be read is refused as an archive: "not a zip
// archive", "the archive has no entries", "the archive is damaged (...)".
std::string DescribeRefusedArchive(const std::filesystem::path& package);

// Thrown when a package cannot be opened. what() is the fixed text "cannot
// open file"; Reason() says why, for the user ("not a zip archive", ...).
class PackageOpenError : public std::runtime_error {
public:
    explicit PackageOpenError(std::string reason)
        : std::runtime_error("cannot open file"), reason_(std::make_shared<const std::string>(std::move(reason)))
    {
    }
    const std::string& Reason() const noexcept { return *reason_; }

private:
    std::shared_ptr<const std::string> reason_;  // shared: copying never throws
};

// Unpacks a book package (a zip archive) into a folder on disk.
//
// Every file written stays below the destination folder: names with ".."
// components, absolute names, drive or UNC names and over-long targets fail
// the extraction, and symbolic links already present below the destination
// are never followed. A file is written under a temporary name and renamed
// into place only when its data is complete and checked, so a failed entry
// leaves no partial file behind.
//
// Every operation that fails records why, in words a user can act on
// ("the archive is damaged (CRC mismatch in entry "a.png")", "no space left
// on the device while unpacking"); GetFailure gives the last such reason.
class CUnzipper {
public:
    // Opens the package; throws PackageOpenError when it cannot be opened
    // (missing, not a regular file, not a zip archive).
    explicit CUnzipper(const std::filesystem::path& package);
    CUnzipper(const std::filesystem::path& package, const ExtractionLimits& limits);
    virtual ~CUnzipper();

    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // Closes any open archive, then opens the given one.
    bool Open(const std::filesystem::path& package);
    // Closes the current entry and the archive.
    void Close();

    // Number of entries in the archive; 0 when none is open or the count
    // cannot be read.
    std::uint64_t GetEntryCount() const;
    bool GoToFirstEntry();
    // False at the end of the entry list and on any archive error.
    bool GoToNextEntry();
    bool GetEntryInfo(ZipEntryInfo& info) const;

    // Writes the current entry below the destination folder.
    bool ExtractEntry(const std::filesystem::path& destination);
    // Writes every entry below the destination folder, in archive order.
    // Fails on an empty archive, on the first entry that fails, on an archive
    // error while moving between entries, and when the limits are exceeded.
    bool ExtractAll(const std::filesystem::path& destination);

    // Why the last operation that failed did; empty before any failure.
    const std::string& GetFailure() const noexcept { return failure_; }

private:
    enum class Move { Ok,
                      End,
                      Error };
    Move MoveToFirst();
    Move MoveToNext();
    // Records the reason; false, for the caller to return.
    bool Fail(std::string reason);
    bool FailEntry(const ZipEntryInfo& entry, const std::string& problem);
    bool FailWrite(int error);

    void* archive_ = nullptr;  // minizip's unzFile
    ExtractionLimits limits_;
    std::uint64_t totalWritten_ = 0;
    std::string failure_;
};
