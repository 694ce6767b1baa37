#pragma once
#include <string>
#include <sys/types.h>

namespace app {

// What an interrupted run leaves behind. SIGPIPE is ignored; SIGINT, SIGTERM
// and SIGHUP are taken by a thread of their own, which stops the main thread
// where it is, removes the registered working folders and the engine's
// unfinished save files, ends the registered child processes and then lets
// the signal end the process as it would have.
void InstallInterruptionCleanup();

// In a child made by fork: the parent's folders and children are the
// parent's business; the child cleans up after itself only. Does nothing
// when the cleanup was never installed.
void RestartInterruptionCleanupInChild();

// Registries read by the cleanup. Registering a folder that is already
// registered, or removing one that is not, does nothing.
void RegisterWorkingFolder(const std::string& path);
void UnregisterWorkingFolder(const std::string& path);
void RegisterChildProcess(pid_t child);
void UnregisterChildProcess(pid_t child);

// While one exists, the calling thread is not stopped by the cleanup: a
// folder that was created is registered before anybody can look.
class CleanupDeferral {
public:
    CleanupDeferral();
    ~CleanupDeferral();
    CleanupDeferral(const CleanupDeferral&) = delete;
    CleanupDeferral& operator=(const CleanupDeferral&) = delete;

private:
    bool m_blocked = false;
};

}  // namespace app
