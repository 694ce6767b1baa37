// Draws the cover of a book with the thumbnailer as a file manager runs it,
// one process per cover, and prints the time and the peak memory of a cover
// at 256 px. bench_thumbnail [BOOK] (default: the example book).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs one thumbnailer process; its wall time in seconds, or -1 on failure.
double RunOnce(const std::string& program, const std::string& book, const std::string& output)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(program.c_str(), program.c_str(), "-s", "256", book.c_str(), output.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string program = (fs::path(TRALVEX_BINARY_DIR) / "tralvex-thumbnailer").string();
    const std::string book = argc > 1 ? argv[1] : (fs::path(TRALVEX_BINARY_DIR) / "examples" / "example.mordx").string();
    const fs::path output = fs::temp_directory_path() / ("bench-cover-" + std::to_string(::getpid()) + ".png");
    constexpr int kRuns = 20;
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const double seconds = RunOnce(program, book, output.string());
        if (seconds < 0) {
            std::fprintf(stderr, "the thumbnailer failed on %s\n", book.c_str());
            return 1;
        }
        times.push_back(seconds);
    }
    std::error_code ec;
    const auto bytes = fs::file_size(output, ec);
    fs::remove(output, ec);
    std::sort(times.begin(), times.end());
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("cover of %s at 256 px (%ju bytes), %d runs\n", book.c_str(), static_cast<std::uintmax_t>(bytes), kRuns);
    std::printf("time: median %.3f s, slowest %.3f s (target < 0.3 s)\n", times[kRuns / 2], times.back());
    // On a busy machine the wall time includes waiting for a processor.
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("processor time: %.3f s per cover\n", cpu / kRuns);
    std::printf("peak memory: %.1f MB (target < 100 MB)\n", usage.ru_maxrss / 1024.0);
    return 0;
}
