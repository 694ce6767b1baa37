#include "app/BatchRunner.h"

#include "app/DescribeException.h"
#include "app/Interruption.h"
#include "app/TempFolder.h"
#include "export/SavePresentation.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

bool WriteAll(int fd, const std::string& data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const noexcept { return m_fd; }
    void Reset(int fd)
    {
        Close();
        m_fd = fd;
    }
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Messages from a child: single request bytes, then 'R' and its report up to
// the end of the pipe ("ok", or 'E' and the failure's description).
constexpr char kWantsToName = 'N';
constexpr char kWantsDialog = 'D';
constexpr char kLeftDialog = 'd';
constexpr char kReport = 'R';
constexpr char kGo = 'G';

[[noreturn]] void RunChild(const BatchJob& job, const fs::path& source, const fs::path& workingFolder,
                           const fs::path& outputFolder, int toParent, int fromParent)
{
    RestartInterruptionCleanupInChild();
    const auto ask = [toParent, fromParent](char request) {
        if (!WriteAll(toParent, std::string(1, request)))
            return;
        char answer = 0;
        while (::read(fromParent, &answer, 1) < 0 && errno == EINTR) {
        }
    };
    SaveTurns turns;
    turns.beforeNaming = [ask] { ask(kWantsToName); };
    turns.enterDialog = [ask] { ask(kWantsDialog); };
    turns.leaveDialog = [toParent] { WriteAll(toParent, std::string(1, kLeftDialog)); };
    SetSaveTurns(std::move(turns));
    std::string report = std::string(1, kReport) + "ok";
    try {
        job(source, workingFolder, outputFolder);
    } catch (...) {
        report = std::string(1, kReport) + "E" + DescribeException(std::current_exception(), true);
    }
    WriteAll(toParent, report);
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

// One book being converted in a child process.
struct Child {
    std::size_t index = 0;
    pid_t pid = -1;
    Fd fromChild, toChild;
    std::unique_ptr<TempFolder> folder;
    std::string received;
    bool reporting = false;     // the report has begun
    std::optional<char> waiting;  // a request not yet granted
    bool inDialog = false;
    bool timedOut = false;
    Clock::time_point busySince;
    Clock::duration used {};

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            Reap();
        }
    }
    int Reap()
    {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        UnregisterChildProcess(pid);
        pid = -1;
        return status;
    }
};

// othersFds: the parent's ends of the pipes to the other children. A child
// must not keep them, or children left behind by a parent that was killed
// would wait for each other's grants forever.
std::unique_ptr<Child> StartChild(std::size_t index, const BatchJob& job, const fs::path& source,
                                  const fs::path& batchFolder, const fs::path& outputFolder,
                                  const std::vector<int>& othersFds)
{
    auto child = std::make_unique<Child>();
    child->index = index;
    child->folder = std::make_unique<TempFolder>();
    child->folder->Create(batchFolder.string(), "", "", 10000);
    int up[2], down[2];
    if (::pipe2(up, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create pipe: ") + std::strerror(errno));
    child->fromChild.Reset(up[0]);
    Fd upWrite(up[1]);
    if (::pipe2(down, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot create pipe: ") + std::strerror(errno));
    child->toChild.Reset(down[1]);
    Fd downRead(down[0]);
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
            RunChild(job, source, child->folder->GetPath(), outputFolder, upWrite.Get(), downRead.Get());
        }
        if (child->pid > 0)
            RegisterChildProcess(child->pid);
    }
    if (child->pid < 0)
        throw std::runtime_error(std::string("cannot start conversion process: ") + std::strerror(errno));
    child->busySince = Clock::now();
    return child;
}

std::string Outcome(Child& child, std::chrono::milliseconds timeout)
{
    const int status = child.Reap();
    child.folder.reset();
    if (child.timedOut)
        return "(timeout) the conversion did not finish within " + DescribeTimeout(timeout);
    if (child.reporting && child.received == "ok")
        return {};
    if (child.reporting && !child.received.empty() && child.received[0] == 'E')
        return child.received.substr(1);
    if (WIFSIGNALED(status))
        return "(crash) the conversion ended with signal " + std::to_string(WTERMSIG(status)) + " ("
             + strsignal(WTERMSIG(status)) + ")";
    return "(crash) the conversion ended without a result";
}

void Pause(Child& child, char request)
{
    child.waiting = request;
    child.used += Clock::now() - child.busySince;
}

void Grant(Child& child)
{
    if (*child.waiting == kWantsDialog)
        child.inDialog = true;
    child.waiting.reset();
    child.busySince = Clock::now();
    WriteAll(child.toChild.Get(), std::string(1, kGo));
}

// Takes what a child sent; false once the pipe is closed.
bool Receive(Child& child)
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

}  // namespace

std::string OutputNameKey(const fs::path& source)
{
    std::string stem = source.stem().string();
    static const std::regex numbered(R"((.*) \([0-9]+\)$)");
    std::smatch match;
    while (std::regex_match(stem, match, numbered))
        stem = match[1].str();
    return stem;
}

void RunBatchJobs(const std::vector<fs::path>& files, const BatchJob& job, const fs::path& batchFolder,
                  const fs::path& outputFolder, const BatchOptions& options,
                  const std::function<void(std::size_t, const std::string&)>& onResult)
{
    const std::size_t jobs = std::max(1u, options.jobs);
    std::vector<std::string> keys;
    for (const fs::path& file : files)
        keys.push_back(OutputNameKey(file));
    std::vector<std::optional<std::string>> results(files.size());
    std::vector<std::unique_ptr<Child>> running;
    std::size_t next = 0, reported = 0;

    const auto finish = [&](std::size_t index, std::string failure) {
        results[index] = std::move(failure);
        while (reported < results.size() && results[reported]) {
            onResult(reported, *results[reported]);
            ++reported;
        }
    };
    // A book may name its result once every earlier book that could take the
    // same name is finished: those are exactly the ones a sequential run
    // would have finished before it.
    const auto mayName = [&](const Child& child) {
        for (const auto& other : running)
            if (other->index < child.index && !results[other->index] && keys[other->index] == keys[child.index])
                return false;
        return true;
    };

    while (reported < files.size()) {
        // Books waiting for a turn use no processor; a few more may start
        // while they wait, but not without bound, since each holds its book.
        auto busy = static_cast<std::size_t>(
            std::count_if(running.begin(), running.end(), [](const auto& c) { return !c->waiting; }));
        while (next < files.size() && busy < jobs && running.size() < 2 * jobs) {
            const std::size_t index = next++;
            try {
                std::vector<int> othersFds;
                for (const auto& other : running) {
                    othersFds.push_back(other->fromChild.Get());
                    othersFds.push_back(other->toChild.Get());
                }
                running.push_back(StartChild(index, job, files[index], batchFolder, outputFolder, othersFds));
                ++busy;
            } catch (...) {
                finish(index, DescribeException(std::current_exception(), true));
            }
        }
        const bool dialogShown = std::any_of(running.begin(), running.end(), [](const auto& c) { return c->inDialog; });
        Child* firstForDialog = nullptr;
        for (const auto& child : running) {
            if (child->waiting == kWantsToName && mayName(*child))
                Grant(*child);
            else if (child->waiting == kWantsDialog && !dialogShown
                     && (!firstForDialog || child->index < firstForDialog->index))
                firstForDialog = child.get();
        }
        if (firstForDialog)
            Grant(*firstForDialog);
        if (running.empty())
            continue;

        std::vector<pollfd> fds;
        auto wait = Clock::duration::max();
        const auto now = Clock::now();
        for (const auto& child : running) {
            fds.push_back({child->fromChild.Get(), POLLIN, 0});
            if (!child->waiting && !child->inDialog && !child->timedOut)
                wait = std::min(wait, options.timeout - child->used - (now - child->busySince));
        }
        int waitMs = -1;
        if (wait != Clock::duration::max())
            waitMs = static_cast<int>(std::clamp<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 60000));
        if (::poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
            throw std::runtime_error(std::string("cannot wait for conversions: ") + std::strerror(errno));

        for (std::size_t i = 0; i < running.size();) {
            Child& child = *running[i];
            bool open = true;
            if (fds[i].revents != 0)
                open = Receive(child);
            if (open && !child.waiting && !child.inDialog && !child.timedOut
                && child.used + (Clock::now() - child.busySince) >= options.timeout) {
                child.timedOut = true;
                ::kill(child.pid, SIGKILL);
            }
            if (open) {
                ++i;
                continue;
            }
            const std::size_t index = child.index;
            std::string failure = Outcome(child, options.timeout);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            finish(index, std::move(failure));
        }
    }
}
