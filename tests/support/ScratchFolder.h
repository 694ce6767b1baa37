#pragma once
// A private folder for one test (mkdtemp: new, mode 0700), removed with
// everything in it afterwards. Links inside are removed, never followed, and
// permissions a test took away are given back first.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>

namespace testsupport {

// Writes bytes as the whole file (its folder must exist); throws on failure.
inline void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

// The whole content of a file, as bytes ("" when it cannot be read).
inline std::string ReadFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view name = "scratch")
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("tralvex-" + std::string(name) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed for " + pattern);
        m_path = pattern;
    }
    ~ScratchFolder() { Remove(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Removes the folder now. A death-test child calls it before it exits:
    // no destructor runs there, and a re-executed child made its own folder.
    void Remove()
    {
        namespace fs = std::filesystem;
        if (m_path.empty())
            return;
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            if (!it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
        m_path.clear();
    }

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

    // Writes bytes as the file name (its folders made); its path.
    std::filesystem::path Write(const std::filesystem::path& name, std::string_view bytes) const
    {
        const std::filesystem::path file = m_path / name;
        std::filesystem::create_directories(file.parent_path());
        WriteFileBytes(file, bytes);
        return file;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace testsupport
