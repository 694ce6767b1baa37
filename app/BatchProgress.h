#pragma once
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <ostream>
#include <string>

namespace app {

// The batch run's progress on a terminal: one line rewritten in place as
// books finish, then a one-line summary. Writes nothing when disabled.
class BatchProgress {
public:
    BatchProgress(std::ostream& out, bool enabled, std::size_t total);
    void BookFinished(bool failed);
    void Tick();  // shows the elapsed time going on
    void Note(const std::string& line);  // a line of its own before the progress
    // The summary, naming the log when there is one.
    void Finish(const std::filesystem::path& log = {});

    // Standard error is a terminal.
    static bool StderrIsTerminal();

private:
    std::string Elapsed() const;
    void Show();

    std::ostream& m_out;
    bool m_enabled;
    std::size_t m_total, m_done = 0, m_failed = 0;
    std::chrono::steady_clock::time_point m_start;
    std::string m_shownElapsed;
};

}  // namespace app
