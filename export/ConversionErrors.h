#pragma once
#include <exception>
#include <memory>
#include <string>

namespace exporting {

// The outcomes of a failed conversion job. Callers map their types to
// messages (single-file mode); batch mode logs the type and the text, so the
// text of each is the reason a user can act on ("not a zip archive", "no
// space left on the device while unpacking", ...).
class ConversionError : public std::exception {
public:
    const char* what() const noexcept override { return m_reason->c_str(); }

protected:
    explicit ConversionError(std::string reason)
        : m_reason(std::make_shared<const std::string>(std::move(reason))) {}

private:
    // Shared, so that copying an exception never throws.
    std::shared_ptr<const std::string> m_reason;
};

// The file is not a book package.
class UnknownFileTypeError : public ConversionError {
public:
    explicit UnknownFileTypeError(std::string reason = "not a book package")
        : ConversionError(std::move(reason)) {}
};

// The file looks like a book package but cannot be converted. Carries the
// description of the presentation engine in use, which may be empty.
class FileCorruptedError : public ConversionError {
public:
    FileCorruptedError() : FileCorruptedError(std::string()) {}
    explicit FileCorruptedError(std::string engineDescription,
                                std::string reason = "the book could not be converted")
        : ConversionError(std::move(reason)), m_description(std::move(engineDescription)) {}

    const std::string& GetPowerPointDescription() const noexcept { return m_description; }

private:
    std::string m_description;
};

// The presentation engine cannot be started.
class PptNotInstalledError : public ConversionError {
public:
    explicit PptNotInstalledError(std::string reason = "the presentation engine cannot be started")
        : ConversionError(std::move(reason)) {}
};

// The user cancelled the Save dialog.
class UserCancelledError : public ConversionError {
public:
    explicit UserCancelledError(std::string reason = "the Save dialog was cancelled")
        : ConversionError(std::move(reason)) {}
};

// The presentation could not be saved and there was nobody to ask for
// another place (no desktop). Ends a single-file run as quietly as a
// cancelled dialog, after the reason went to standard error; batch mode logs
// it as what it is.
class SaveFailedError : public UserCancelledError {
public:
    explicit SaveFailedError(std::string reason) : UserCancelledError(std::move(reason)) {}
};

}  // namespace exporting
