#include "imaging/ResourceError.h"

#include "files/FileDescriptor.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace imaging {

std::string WriteFailureReason(int error, std::string_view activity)
{
    const std::string during = " while " + std::string(activity);
    switch (error) {
    case ENOSPC:
        return "no space left on the device" + during;
    case EDQUOT:
        return "no space left within the disk quota" + during;
    case EFBIG:
        return "the file size limit was reached" + during + " (" + std::strerror(error) + ")";
    default:
        return "the working folder cannot be written" + during + ": " + (error != 0 ? std::strerror(error) : "unknown error");
    }
}

void ThrowWriteFailure(int error, std::string_view activity)
{
    throw ResourceError(WriteFailureReason(error, activity));
}

void ThrowOutOfMemory(std::string_view activity)
{
    throw ResourceError("out of memory while " + std::string(activity));
}

bool WriteWorkingFile(const std::filesystem::path& path, std::string_view bytes, bool replace, std::string_view what)
{
    return WriteWorkingFile(path, {bytes}, replace, what);
}

bool WriteWorkingFile(const std::filesystem::path& path, std::initializer_list<std::string_view> parts, bool replace,
                      std::string_view what)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL);
    files::Fd file(::open(path.c_str(), flags, 0666));
    if (!file.Valid()) {
        if (errno == EEXIST && !replace)
            return false;
        ThrowWriteFailure(errno, "writing " + std::string(what));
    }
    if (std::all_of(parts.begin(), parts.end(), [&](std::string_view part) { return files::WriteAll(file.Get(), part); })
        && file.Close())
        return true;
    const int error = errno;
    ::unlink(path.c_str());
    ThrowWriteFailure(error, "writing " + std::string(what));
}

}  // namespace imaging
