// Saving: the package goes to a temporary file in the target folder and is
// moved into place only when complete.
#include "export/engine/Packager.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace engine::detail {
namespace {

// Names of the temporary save files being written, for DiscardUnfinishedSaves
// on another thread. Lock-free: that thread runs while the saving one is
// stopped wherever it happens to be.
std::array<std::atomic<char*>, 64> g_unfinished{};

// Not mkstemp: its 0600 would stay with the renamed file; 0666 lets the
// umask give the mode any new file of the user gets.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (m_created) ::unlink(m_name);
        Withdraw();
    }

    bool Create(const std::filesystem::path& folder) {
        static thread_local std::mt19937_64 random{std::random_device{}()};
        for (int attempt = 0; attempt < 100; ++attempt) {
            char leaf[32];
            std::snprintf(leaf, sizeof leaf, ".~tralvex-%016llx", static_cast<unsigned long long>(random()));
            // Announced before it exists: no moment has it on disk but unknown.
            if (!Announce((folder / leaf).string())) return false;
            m_fd = ::open(m_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (m_fd >= 0) {
                m_created = true;
                return true;
            }
            const int error = errno;
            Withdraw();
            if (error != EEXIST) return false;
        }
        return false;
    }
    int Fd() const { return m_fd; }
    const char* Name() const { return m_name; }
    // The file now has its final name (or a second one): leave it.
    void Keep() { m_created = false; }

private:
    bool Announce(const std::string& name) {
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
    void Withdraw() {
        if (m_slot) m_slot->store(nullptr);
        m_slot = nullptr;
        std::free(m_name);
        m_name = nullptr;
    }

    int m_fd = -1;
    bool m_created = false;
    char* m_name = nullptr;
    std::atomic<char*>* m_slot = nullptr;
};

} // namespace

bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept {
    try {
        std::filesystem::path folder = file.parent_path();
        if (folder.empty()) folder = ".";
        TempFile temp;
        if (!temp.Create(folder)) return false;
        {
            ZipWriter zip(temp.Fd());
            if (!WritePackage(p, zip) || !zip.Close()) return false;
        }
        if (replaceExisting) {
            if (std::rename(temp.Name(), file.c_str()) != 0) return false;
            temp.Keep();
            return true;
        }
        // Never replaces a file that exists, also one that appeared meanwhile.
        if (renameat2(AT_FDCWD, temp.Name(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0) {
            temp.Keep();
            return true;
        }
        if (errno == EEXIST) return false;
        return ::link(temp.Name(), file.c_str()) == 0; // the temporary name is removed by its guard
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
