#include "app/BatchChild.h"

#include "app/DescribeException.h"
#include "app/Interruption.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace exporting;

namespace app {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kReport = 'R';
constexpr char kGo = 'G';

[[noreturn]] void RunChild(const BatchJob& job, const fs::path& source, const fs::path& workingFolder,
                           const fs::path& outputFolder, int toParent, int fromParent, pid_t parent)
{
    // A child left behind by a killed parent would go on writing with no
    // timeout over it; the parent may have died before this was set.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(1);
    RestartInterruptionCleanupInChild();
    const auto ask = [toParent, fromParent](char request) {
        if (!files::WriteAll(toParent, std::string(1, request)))
            return;
        char answer = 0;
        files::ReadSome(fromParent, &answer, 1);
    };
    SaveTurns turns;
    turns.beforeNaming = [ask] { ask(kWantsToName); };
    turns.enterDialog = [ask] { ask(kWantsDialog); };
    turns.leaveDialog = [toParent] { files::WriteAll(toParent, std::string(1, kLeftDialog)); };
    std::string report;
    try {
        report = std::string(1, kReport) + "S" + job(source, workingFolder, outputFolder, turns).string();
    } catch (...) {
        report = std::string(1, kReport) + "E" + DescribeException(std::current_exception(), true);
    }
    files::WriteAll(toParent, report);
    std::cout.flush();
    // No destructors of the parent's objects may run here: the working
    // folder belongs to the parent, which deletes it.
    ::_exit(0);
}

std::string DescribeTimeout(std::chrono::milliseconds timeout)
{
    const auto ms = timeout.count();
    if (ms % 60000 == 0)
        return std::to_string(ms / 60000) + (ms == 60000 ? " minute" : " minutes");
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    return std::to_string(ms) + " milliseconds";
}

void Pause(BatchChild& child, char request)
{
    child.waiting = request;
    child.used += Clock::now() - child.busySince;
}

}  // namespace

BatchChild::~BatchChild()
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        Reap();
    }
}

int BatchChild::Reap()
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    UnregisterChildProcess(pid);
    pid = -1;
    return status;
}

std::unique_ptr<BatchChild> StartChild(std::size_t index, const BatchJob& job, const fs::path& source,
                                       const fs::path& batchFolder, const fs::path& outputFolder,
                                       const std::vector<int>& othersFds)
{
    const pid_t parent = ::getpid();
    auto child = std::make_unique<BatchChild>();
    child->index = index;
    child->folder = std::make_unique<TempFolder>();
    child->folder->Create(batchFolder.string(), "", "", 10000);
    int up[2], down[2];
    if (::pipe2(up, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create pipe: ") + std::strerror(errno));
    child->fromChild.Reset(up[0]);
    files::Fd upWrite(up[1]);
    if (::pipe2(down, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create pipe: ") + std::strerror(errno));
    child->toChild.Reset(down[1]);
    files::Fd downRead(down[0]);
    std::cout.flush();
    std::cerr.flush();
    {
        CleanupDeferral deferral;
        child->pid = ::fork();
        if (child->pid == 0) {
            child->fromChild.Close();
            child->toChild.Close();
            for (int fd : othersFds)
                ::close(fd);
            RunChild(job, source, child->folder->GetPath(), outputFolder, upWrite.Get(), downRead.Get(), parent);
        }
        if (child->pid > 0)
            RegisterChildProcess(child->pid);
    }
    if (child->pid < 0)
        throw std::runtime_error(std::string("cannot start conversion process: ") + std::strerror(errno));
    child->busySince = Clock::now();
    return child;
}

std::string Outcome(BatchChild& child, std::chrono::milliseconds timeout)
{
    const int status = child.Reap();
    child.folder.reset();
    if (child.timedOut)
        return "(timeout) the conversion did not finish within " + DescribeTimeout(timeout);
    if (Converted(child))
        return {};
    if (child.reporting && !child.received.empty() && child.received[0] == 'E')
        return child.received.substr(1);
    if (WIFSIGNALED(status))
        return "(crash) the conversion ended with signal " + std::to_string(WTERMSIG(status)) + " ("
               + strsignal(WTERMSIG(status)) + ")";
    return "(crash) the conversion ended without a result";
}

std::optional<fs::path> Converted(const BatchChild& child)
{
    if (child.reporting && !child.received.empty() && child.received[0] == 'S')
        return fs::path(child.received.substr(1));
    return std::nullopt;
}

void Grant(BatchChild& child)
{
    if (*child.waiting == kWantsDialog)
        child.inDialog = true;
    child.waiting.reset();
    child.busySince = Clock::now();
    files::WriteAll(child.toChild.Get(), std::string(1, kGo));
}

bool Receive(BatchChild& child)
{
    char buffer[4096];
    const ssize_t n = ::read(child.fromChild.Get(), buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    for (ssize_t i = 0; i < n; ++i) {
        const char c = buffer[i];
        if (child.reporting)
            child.received += c;
        else if (c == kReport)
            child.reporting = true;
        else if (c == kWantsToName || c == kWantsDialog)
            Pause(child, c);
        else if (c == kLeftDialog)
            child.inDialog = false;
    }
    return true;
}

}  // namespace app
