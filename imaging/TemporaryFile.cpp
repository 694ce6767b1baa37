#include "imaging/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace files {

TemporaryFile::~TemporaryFile()
{
    m_fd.Close();
    if (!m_name.empty())
        ::unlinkat(m_folder, m_name.c_str(), 0);
}

bool TemporaryFile::Create(int folderFd, const std::string& prefix, const std::string& suffix, mode_t mode,
                           const std::function<bool(const std::string&)>& announce)
{
    // Not mkstemp: its 0600 would stay with the renamed file.
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(random()));
        std::string name = prefix + digits + suffix;
        if (announce && !announce(name))
            return false;
        m_fd.Reset(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (m_fd.Valid()) {
            m_folder = folderFd;
            m_name = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

}  // namespace files
