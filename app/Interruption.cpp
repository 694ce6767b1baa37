#include "app/Interruption.h"

#include "export/engine/Engine.h"
#include "files/FileDescriptor.h"
#include "files/FolderTree.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <semaphore.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace app {

namespace {

std::mutex g_mutex;
std::vector<std::string> g_folders;
std::vector<pid_t> g_children;
bool g_installed = false;
pthread_t g_mainThread{};
pid_t g_mainThreadId = 0;
sem_t g_parked;

// Sent to the main thread so that it stops creating files while its folders
// are removed. It never returns from the handler.
int ParkSignal()
{
    return SIGRTMIN + 1;
}

void Park(int)
{
    sem_post(&g_parked);
    for (;;)
        ::pause();
}

sigset_t InterruptSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

timespec After(int milliseconds)
{
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    t.tv_sec += milliseconds / 1000;
    t.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        ++t.tv_sec;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

// Children get a moment to clean up after themselves, then are killed.
void EndChildren(const std::vector<pid_t>& children)
{
    for (pid_t child : children)
        ::kill(child, SIGTERM);
    const timespec deadline = After(3000);
    for (pid_t child : children) {
        for (;;) {
            const pid_t done = ::waitpid(child, nullptr, WNOHANG);
            if (done == child || (done < 0 && errno != EINTR))
                break;
            timespec now{};
            ::clock_gettime(CLOCK_REALTIME, &now);
            if (now.tv_sec > deadline.tv_sec || (now.tv_sec == deadline.tv_sec && now.tv_nsec >= deadline.tv_nsec)) {
                ::kill(child, SIGKILL);
                while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
                }
                break;
            }
            ::usleep(5000);
        }
    }
}

// Whether the thread, an entry of the open task folder, has the park signal
// blocked (GLib's own threads block every signal): such a thread would
// never report being parked.
bool BlocksParkSignal(int taskFolder, const char* thread)
{
    const files::Fd folder(::openat(taskFolder, thread, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const files::Fd file(folder.Valid() ? ::openat(folder.Get(), "status", O_RDONLY | O_CLOEXEC) : -1);
    char status[8192];
    const ssize_t size = file.Valid() ? ::read(file.Get(), status, sizeof status - 1) : -1;
    if (size <= 0)
        return true;
    status[size] = '\0';
    const char* blocked = std::strstr(status, "\nSigBlk:");
    if (blocked == nullptr)
        return true;
    const unsigned long long mask = std::strtoull(blocked + 9, nullptr, 16);
    return (mask >> (ParkSignal() - 1)) & 1;
}

// Waits until count more threads are parked, or the deadline.
void WaitUntilParked(int count, const timespec& deadline)
{
    for (; count > 0; --count)
        while (::sem_timedwait(&g_parked, &deadline) != 0)
            if (errno != EINTR)
                return;
}

// Every thread that could still create files is stopped: the main thread
// first, as it starts the others, then any helper (tint workers,
// compressors).
void ParkEveryThread()
{
    const timespec deadline = After(2000);
    if (::pthread_kill(g_mainThread, ParkSignal()) == 0)
        WaitUntilParked(1, deadline);
    const files::Fd tasks(::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!tasks.Valid())
        return;
    const pid_t self = ::gettid();
    int helpers = 0;
    files::FolderEntriesWithoutAllocating entries(tasks.Get());
    while (const char* name = entries.Next()) {
        const pid_t thread = static_cast<pid_t>(std::atol(name));
        if (thread > 0 && thread != self && thread != g_mainThreadId && !BlocksParkSignal(tasks.Get(), name)
            && ::syscall(SYS_tgkill, ::getpid(), thread, ParkSignal()) == 0)
            ++helpers;
    }
    WaitUntilParked(helpers, deadline);
}

// Nothing here may allocate or take a lock another thread could hold: they
// are stopped wherever they happened to be.
void CleanUpAndEnd(int signal)
{
    ParkEveryThread();
    engine::DiscardUnfinishedSaves();
    // The main thread holds the lock only with the park signal blocked, so
    // once it is parked the lock is free.
    std::unique_lock lock(g_mutex, std::defer_lock);
    const bool locked = lock.try_lock() || (::usleep(100000), lock.try_lock());
    if (locked) {
        EndChildren(g_children);
        for (const std::string& folder : g_folders)
            files::DeleteFolderTreeWithoutAllocating(folder.c_str());
    }
    ::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void* WaitForInterruption(void*)
{
    const sigset_t set = InterruptSignals();
    int signal = 0;
    while (::sigwait(&set, &signal) != 0) {
    }
    CleanUpAndEnd(signal);
    return nullptr;
}

// False when no thread can be had (a tight memory limit): the interrupt
// signals then keep their ordinary effect.
bool StartWaiter()
{
    ::sem_init(&g_parked, 0, 0);
    g_mainThread = ::pthread_self();
    g_mainThreadId = ::gettid();
    struct sigaction action {};
    action.sa_handler = Park;
    sigemptyset(&action.sa_mask);
    ::sigaction(ParkSignal(), &action, nullptr);
    // A small stack: it only waits, removes folders and ends children, and a
    // default one can be more than a memory limit leaves.
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setstacksize(&attributes, 1 << 20);
    ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread{};
    const bool started = ::pthread_create(&thread, &attributes, WaitForInterruption, nullptr) == 0;
    ::pthread_attr_destroy(&attributes);
    if (!started) {
        const sigset_t set = InterruptSignals();
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
    return started;
}

}  // namespace

CleanupDeferral::CleanupDeferral()
{
    if (!g_installed)
        return;
    sigset_t set, old;
    sigemptyset(&set);
    sigaddset(&set, ParkSignal());
    ::pthread_sigmask(SIG_BLOCK, &set, &old);
    m_blocked = !sigismember(&old, ParkSignal());
}

CleanupDeferral::~CleanupDeferral()
{
    if (!m_blocked)
        return;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, ParkSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void InstallInterruptionCleanup()
{
    ::signal(SIGPIPE, SIG_IGN);
    if (g_installed)
        return;
    const sigset_t set = InterruptSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    g_installed = StartWaiter();
}

void RestartInterruptionCleanupInChild()
{
    if (!g_installed)
        return;
    {
        CleanupDeferral deferral;
        std::lock_guard lock(g_mutex);
        g_folders.clear();
        g_children.clear();
    }
    // The fork happened inside a deferral, whose mask the child inherited.
    sigset_t park;
    sigemptyset(&park);
    sigaddset(&park, ParkSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &park, nullptr);
    g_installed = StartWaiter();
}

void RegisterWorkingFolder(const std::string& path)
{
    CleanupDeferral deferral;
    std::lock_guard lock(g_mutex);
    if (std::find(g_folders.begin(), g_folders.end(), path) == g_folders.end())
        g_folders.push_back(path);
}

void UnregisterWorkingFolder(const std::string& path)
{
    CleanupDeferral deferral;
    std::lock_guard lock(g_mutex);
    std::erase(g_folders, path);
}

void RegisterChildProcess(pid_t child)
{
    CleanupDeferral deferral;
    std::lock_guard lock(g_mutex);
    g_children.push_back(child);
}

void UnregisterChildProcess(pid_t child)
{
    CleanupDeferral deferral;
    std::lock_guard lock(g_mutex);
    std::erase(g_children, child);
}

}  // namespace app
