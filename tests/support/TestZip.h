#pragma once
// Builds real zip archives for tests with minizip's writer.
#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

// One entry to write; the setters chain: TestZipEntry("a", "data").Flags(0x0800).
struct TestZipEntry {
    TestZipEntry(std::string entryName, std::string entryData = {})
        : name(std::move(entryName)), data(std::move(entryData))
    {
    }
    TestZipEntry& Flags(std::uint32_t value)
    {
        flags = value;
        return *this;
    }
    TestZipEntry& Date(std::uint32_t value)
    {
        dosDateTime = value;
        return *this;
    }
    TestZipEntry& Attributes(std::uint32_t value)
    {
        externalAttributes = value;
        return *this;
    }
    TestZipEntry& Method(int value)
    {
        method = value;
        return *this;
    }
    TestZipEntry& Level(int value)
    {
        level = value;
        return *this;
    }
    TestZipEntry& Password(const char* value)
    {
        password = value;
        return *this;
    }
    TestZipEntry& Raw(std::uint64_t size, std::uint32_t crc)
    {
        declaredSize = size;
        declaredCrc = crc;
        return *this;
    }

    std::string name;  // raw bytes as stored in the archive
    std::string data;
    std::uint32_t flags = 0;  // general purpose flags, e.g. 0x0800 for UTF-8 names
    std::uint32_t dosDateTime = 0x4E2F6DAF;  // 2019-01-15 13:45:30
    std::uint32_t externalAttributes = 0;
    int method = Z_DEFLATED;
    int level = Z_DEFAULT_COMPRESSION;
    const char* password = nullptr;
    // Raw entries: data is written as it is (already compressed for the
    // method) with these declared values.
    std::optional<std::uint64_t> declaredSize;
    std::optional<std::uint32_t> declaredCrc;
};

// Deflates data as a raw stream, the form stored in a zip entry.
inline std::string RawDeflate(const std::string& data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

inline std::uint32_t Crc32(const std::string& data)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

class TestZipWriter {
public:
    explicit TestZipWriter(const std::filesystem::path& path) : zip_(zipOpen64(path.c_str(), APPEND_STATUS_CREATE))
    {
        if (!zip_)
            throw std::runtime_error("cannot create test archive " + path.string());
    }
    TestZipWriter(const TestZipWriter&) = delete;
    TestZipWriter& operator=(const TestZipWriter&) = delete;
    ~TestZipWriter()
    {
        if (zip_)
            zipClose(zip_, nullptr);
    }

    TestZipWriter& Add(const TestZipEntry& entry)
    {
        zip_fileinfo info{};
        info.dosDate = entry.dosDateTime;
        info.external_fa = entry.externalAttributes;
        const bool raw = entry.declaredSize.has_value();
        const uLong crcForCrypting = entry.password ? Crc32(entry.data) : 0;
        if (zipOpenNewFileInZip4_64(zip_, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, entry.method,
                                    entry.method == 0 ? 0 : entry.level, raw ? 1 : 0, -MAX_WBITS,
                                    DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, entry.password, crcForCrypting, 0,
                                    entry.flags, 0)
            != ZIP_OK)
            throw std::runtime_error("cannot add entry " + entry.name);
        if (!entry.data.empty() && zipWriteInFileInZip(zip_, entry.data.data(), static_cast<unsigned>(entry.data.size())) != ZIP_OK)
            throw std::runtime_error("cannot write entry " + entry.name);
        const int closed = raw ? zipCloseFileInZipRaw64(zip_, *entry.declaredSize, entry.declaredCrc.value_or(0))
                               : zipCloseFileInZip(zip_);
        if (closed != ZIP_OK)
            throw std::runtime_error("cannot close entry " + entry.name);
        return *this;
    }

    TestZipWriter& AddFile(const std::string& name, const std::string& data) { return Add(TestZipEntry(name, data)); }

    // A folder entry carrying the MS-DOS directory attribute.
    TestZipWriter& AddFolder(const std::string& name)
    {
        return Add(TestZipEntry(name).Attributes(0x10).Method(0));
    }

    void Close()
    {
        if (zip_ && zipClose(zip_, nullptr) != ZIP_OK)
            throw std::runtime_error("cannot finish test archive");
        zip_ = nullptr;
    }

private:
    zipFile zip_;
};
