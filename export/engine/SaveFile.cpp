// Saving: the package goes to a temporary file in the target folder and is
// moved into place only when complete.
#include "export/engine/Packager.h"
#include "imaging/TemporaryFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace engine::detail {
namespace {

// Names of the temporary save files being written, for DiscardUnfinishedSaves
// on another thread. Lock-free: that thread runs while the saving one is
// stopped wherever it happens to be.
std::array<std::atomic<char*>, 64> g_unfinished{};

// Keeps the name of a temporary save file in g_unfinished while it may
// exist on disk.
class Announcement {
public:
    Announcement() = default;
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;
    ~Announcement() { Withdraw(); }

    bool Announce(const std::string& name) {
        Withdraw();
        m_name = ::strdup(name.c_str());
        if (!m_name) return false;
        for (auto& s : g_unfinished) {
            char* expected = nullptr;
            if (s.compare_exchange_strong(expected, m_name)) {
                m_slot = &s;
                break;
            }
        }
        return true;
    }

private:
    void Withdraw() {
        if (m_slot) m_slot->store(nullptr);
        m_slot = nullptr;
        std::free(m_name);
        m_name = nullptr;
    }

    char* m_name = nullptr;
    std::atomic<char*>* m_slot = nullptr;
};

} // namespace

bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept {
    try {
        std::filesystem::path folder = file.parent_path();
        if (folder.empty()) folder = ".";
        // Announced before it exists: no moment has it on disk but unknown.
        // Declared first, so withdrawn only after the file is gone.
        Announcement announcement;
        files::TemporaryFile temp;
        // 0666 lets the umask give the mode any new file of the user gets.
        if (!temp.Create(AT_FDCWD, (folder / ".~tralvex-").string(), "", 0666,
                         [&announcement](const std::string& name) { return announcement.Announce(name); }))
            return false;
        {
            ZipWriter zip(temp.Get());
            if (!WritePackage(p, zip) || !zip.Close()) return false;
        }
        if (replaceExisting) {
            if (std::rename(temp.Name().c_str(), file.c_str()) != 0) return false;
            temp.Keep();
            return true;
        }
        // Never replaces a file that exists, also one that appeared meanwhile.
        if (renameat2(AT_FDCWD, temp.Name().c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0) {
            temp.Keep();
            return true;
        }
        if (errno == EEXIST) return false;
        return ::link(temp.Name().c_str(), file.c_str()) == 0; // the temporary name is removed by its guard
    } catch (...) {
        return false;
    }
}

} // namespace engine::detail

namespace engine {

void DiscardUnfinishedSaves() noexcept {
    for (auto& s : detail::g_unfinished)
        if (const char* name = s.load()) ::unlink(name);
}

} // namespace engine
