#include "app/Interruption.h"
#include "support/ScratchFolder.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

// A working folder that helper threads keep filling, as tint workers do,
// when the run is interrupted: the cleanup must stop them before it removes
// the folder, or they put files back into it while it goes.
TEST(Interruption, HelperThreadsAreStoppedBeforeTheFoldersGo)
{
    ScratchFolder dir;
    const std::string folder = (dir / "working").string();
    fs::create_directory(folder);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        app::InstallInterruptionCleanup();
        app::RegisterWorkingFolder(folder);
        std::atomic<int> written{0};
        for (int helper = 0; helper < 2; ++helper) {
            std::thread([&, helper] {
                for (unsigned i = 0;; ++i) {
                    const std::string file = folder + "/" + std::to_string(helper) + "_" + std::to_string(i);
                    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
                    if (fd >= 0)
                        ::close(fd);
                    ++written;
                }
            }).detach();
        }
        while (written < 2000)
            std::this_thread::yield();
        (void)!::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_FALSE(fs::exists(folder));
}

}  // namespace
