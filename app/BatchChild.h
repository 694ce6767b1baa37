#pragma once
#include "app/BatchRunner.h"
#include "app/TempFolder.h"
#include "files/FileDescriptor.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace app {

// Messages from a child: single request bytes, then 'R' and its report up to
// the end of the pipe ('S' and the presentation's path, or 'E' and the
// failure's description).
constexpr char kWantsToName = 'N';
constexpr char kWantsDialog = 'D';
constexpr char kLeftDialog = 'd';

// One book being converted in a child process.
struct BatchChild {
    std::size_t index = 0;
    pid_t pid = -1;
    files::Fd fromChild, toChild;
    std::unique_ptr<TempFolder> folder;
    std::string received;
    bool reporting = false;  // the report has begun
    std::optional<char> waiting;  // a request not yet granted
    bool inDialog = false;
    bool timedOut = false;
    std::chrono::steady_clock::time_point busySince;
    std::chrono::steady_clock::duration used{};  // busy time before busySince

    BatchChild() = default;
    BatchChild(const BatchChild&) = delete;
    BatchChild& operator=(const BatchChild&) = delete;
    ~BatchChild();  // a child still running is killed
    int Reap();  // waits for the child; its wait status
};

// Forks a child that converts one book in a working folder of its own below
// batchFolder. othersFds: the parent's ends of the pipes to the other
// children: a child must not keep them. The child dies with the parent.
std::unique_ptr<BatchChild> StartChild(std::size_t index, const BatchJob& job, const std::filesystem::path& source,
                                       const std::filesystem::path& batchFolder,
                                       const std::filesystem::path& outputFolder, const std::vector<int>& othersFds);

// Takes what the child sent; false once the pipe is closed.
bool Receive(BatchChild& child);

// Lets a waiting child go on.
void Grant(BatchChild& child);

// Waits for the ended child and describes how its book went: empty for a
// success.
std::string Outcome(BatchChild& child, std::chrono::milliseconds timeout);

// The presentation a child reported as written.
std::optional<std::filesystem::path> Converted(const BatchChild& child);

}  // namespace app
