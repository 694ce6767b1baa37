#include "app/BatchProgress.h"

#include "text/LineEscaping.h"

#include <cstdio>
#include <unistd.h>

namespace app {

BatchProgress::BatchProgress(std::ostream& out, bool enabled, std::size_t total)
    : m_out(out), m_enabled(enabled), m_total(total), m_start(std::chrono::steady_clock::now())
{
}

bool BatchProgress::StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

std::string BatchProgress::Elapsed() const
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_start).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

void BatchProgress::BookFinished(bool failed)
{
    ++m_done;
    if (failed)
        ++m_failed;
    Show();
}

void BatchProgress::Tick()
{
    if (m_enabled && Elapsed() != m_shownElapsed)
        Show();
}

void BatchProgress::Show()
{
    if (!m_enabled)
        return;
    m_shownElapsed = Elapsed();
    // "\033[K" clears what a longer earlier line left at the end.
    m_out << '\r' << m_done << " of " << m_total << " books, " << m_failed << " failed, " << m_shownElapsed
          << "\033[K" << std::flush;
}

void BatchProgress::Note(const std::string& line)
{
    if (m_enabled)
        m_out << '\r' << line << "\033[K\n"
              << std::flush;
}

void BatchProgress::Finish(const std::filesystem::path& log)
{
    if (!m_enabled)
        return;
    m_out << '\r' << "Converted " << m_done - m_failed << " of " << m_total << " books, " << m_failed
          << " failed, in " << Elapsed();
    if (!log.empty())
        m_out << "; log: " << lineescaping::Escape(log.string());
    m_out << "\033[K\n"
          << std::flush;
}

}  // namespace app
