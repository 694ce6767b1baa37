#pragma once
#include <exception>
#include <string>

// The outcomes of a failed conversion job. Callers map them to messages
// (single-file mode) or log lines (batch mode); only their type matters, so
// they carry no text of their own.

// The file is not a book package.
class UnknownFileTypeError : public std::exception {};

// The file looks like a book package but cannot be converted. Carries the
// description of the presentation engine in use, which may be empty.
class FileCorruptedError : public std::exception {
public:
    FileCorruptedError() = default;
    explicit FileCorruptedError(std::string engineDescription)
        : m_description(std::move(engineDescription)) {}

    const std::string& GetPowerPointDescription() const noexcept { return m_description; }

private:
    std::string m_description;
};

// The presentation engine cannot be started.
class PptNotInstalledError : public std::exception {};

// The user cancelled the Save dialog.
class UserCancelledError : public std::exception {};
