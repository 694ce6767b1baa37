#pragma once
// Failures that belong to the machine, not to the book: memory ran out, or
// one of the conversion's own working files could not be written. They are
// never answered with a fallback (a grey texture instead of a tinted one, a
// picture left out), which would give a presentation other than the one a
// quiet machine gives; they fail the book with the reason as their text.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <initializer_list>
#include <string_view>

namespace imaging {

class ResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why writing a working file failed, for the user; activity says what was
// being done ("unpacking", "writing a background texture"). A full device
// or quota and the file size limit are named as such; any other error gives
// the system's text.
std::string WriteFailureReason(int error, std::string_view activity);

// Throws ResourceError with WriteFailureReason(error, activity).
[[noreturn]] void ThrowWriteFailure(int error, std::string_view activity);

// Throws ResourceError "out of memory while <activity>".
[[noreturn]] void ThrowOutOfMemory(std::string_view activity);

// Writes bytes as the working file at path, created with the mode the umask
// gives. False, writing nothing, when an entry exists at path and replace is
// not set; any other failure throws ResourceError for "writing <what>" and
// leaves no file.
bool WriteWorkingFile(const std::filesystem::path& path, std::string_view bytes, bool replace,
                      std::string_view what);
// The same for a file made of parts written one after the other.
bool WriteWorkingFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts, bool replace,
                      std::string_view what);

}  // namespace imaging
