#pragma once
#include <stdexcept>
#include <string>

namespace util {

// Failure of a file-system helper: a message plus the place that raised it.
// Only the message is ever shown; the place helps when debugging.
class error : public std::runtime_error {
public:
    error(const std::string& message, const char* file, int line)
        : std::runtime_error(message), m_file(file), m_line(line) {}

    const char* file() const noexcept { return m_file; }
    int line() const noexcept { return m_line; }

private:
    const char* m_file;
    int m_line;
};

}  // namespace util

#define TRALVEX_THROW_ERROR(message) throw ::util::error((message), __FILE__, __LINE__)
