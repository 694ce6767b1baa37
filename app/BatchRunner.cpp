#include "app/BatchRunner.h"

#include "app/BatchChild.h"
#include "app/DescribeException.h"
#include "export/engine/Engine.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <regex>
#include <stdexcept>

using namespace exporting;

namespace app {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

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
                  const std::function<void(std::size_t, const std::string&)>& onResult,
                  const std::function<void()>& onTick, const BatchScreen& screen,
                  const std::function<void(std::size_t, const fs::path&)>& onConverted)
{
    const std::size_t jobs = std::max(1u, options.jobs);
    std::vector<std::string> keys;
    for (const fs::path& file : files)
        keys.push_back(OutputNameKey(file));
    std::vector<std::optional<std::string>> results(files.size());
    std::vector<std::unique_ptr<BatchChild>> running;
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
    const auto mayName = [&](const BatchChild& child) {
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
            if (screen) {
                if (auto failure = screen(files[index])) {
                    finish(index, std::move(*failure));
                    continue;
                }
            }
            try {
                std::vector<int> othersFds;
                for (const auto& other : running) {
                    othersFds.push_back(other->fromChild.Get());
                    othersFds.push_back(other->toChild.Get());
                }
                running.push_back(
                    StartChild(index, job, files[index], batchFolder, outputFolder, othersFds));
                ++busy;
            } catch (...) {
                finish(index, DescribeException(std::current_exception(), true));
            }
        }
        const bool dialogShown = std::any_of(running.begin(), running.end(), [](const auto& c) { return c->inDialog; });
        BatchChild* firstForDialog = nullptr;
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
                std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 1000));
        if (onTick)
            waitMs = waitMs < 0 ? 1000 : waitMs;
        if (::poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
            throw std::runtime_error(std::string("cannot wait for conversions: ") + std::strerror(errno));
        if (onTick)
            onTick();

        for (std::size_t i = 0; i < running.size();) {
            BatchChild& child = *running[i];
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
            if (const auto presentation = Converted(child); presentation && onConverted)
                onConverted(index, *presentation);
            // A child killed while saving leaves its unfinished file behind.
            if (!child.reporting)
                engine::RemoveStaleSaveFiles(outputFolder);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
            finish(index, std::move(failure));
        }
    }
}

}  // namespace app
