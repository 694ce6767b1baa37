#pragma once
// The one zip reader of the tests: every entry of an archive, in archive
// order, each read back whole and checked against its CRC.
#include <minizip/unzip.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

struct ZipEntry {
    std::string name;
    std::string data;
};

// Throws std::runtime_error when the file is no readable zip archive or an
// entry does not read back intact.
inline std::vector<ZipEntry> ReadZipEntries(const std::filesystem::path& zip)
{
    const unzFile in = unzOpen64(zip.c_str());
    if (in == nullptr)
        throw std::runtime_error("not a zip archive: " + zip.string());
    std::vector<ZipEntry> entries;
    std::string failure;
    for (int status = unzGoToFirstFile(in); status == UNZ_OK && failure.empty(); status = unzGoToNextFile(in)) {
        char name[1024];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(in, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
            failure = "unreadable entry";
            break;
        }
        std::string data(info.uncompressed_size, '\0');
        if (unzOpenCurrentFile(in) != UNZ_OK
            || unzReadCurrentFile(in, data.data(), static_cast<unsigned>(data.size())) != static_cast<int>(data.size())
            || unzCloseCurrentFile(in) != UNZ_OK)  // checks the CRC
            failure = std::string("entry does not read back: ") + name;
        entries.push_back({name, std::move(data)});
    }
    unzClose(in);
    if (!failure.empty())
        throw std::runtime_error(failure + " in " + zip.string());
    return entries;
}

// The entries by name.
inline std::map<std::string, std::string> ReadZip(const std::filesystem::path& zip)
{
    std::map<std::string, std::string> byName;
    for (ZipEntry& entry : ReadZipEntries(zip))
        byName[entry.name] = std::move(entry.data);
    return byName;
}

}  // namespace testsupport
