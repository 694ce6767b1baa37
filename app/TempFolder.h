#pragma once
#include "files/FileDescriptor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace app {

// A uniquely named working folder that is deleted with everything in it when
// the object is destroyed, also during error propagation.
class TempFolder {
public:
    using TickSource = std::function<std::uint32_t()>;

    TempFolder() = default;
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Creates a folder named base + prefix [+ counter] + suffix that did not
    // exist yet. The counter is used only when prefix and suffix are both
    // empty, or once the plain name is taken; it starts at the tick count and
    // counts up. Makes budget + 2 attempts, then throws util::error.
    void Create(const std::string& base, const std::string& prefix, const std::string& suffix,
                unsigned budget, const TickSource& tickCount = {});

    // Creates exactly this folder (with missing parents) and takes ownership;
    // fails when it exists already. The folder is locked while owned, so a
    // later run can tell it from one left by a run that died.
    void CreateAt(const std::string& path);

    const std::string& GetPath() const noexcept { return m_path; }

private:
    std::string m_path;
    files::Fd m_lock;
};

// Milliseconds since boot (monotonic clock), truncated to 32 bits.
std::uint32_t MillisecondsSinceBoot();

// The per-user base of all working folders, ending in "/": a private
// "Veltrana-<uid>" folder under $TMPDIR (or /tmp), created mode 0700 when
// missing. Throws util::error when the base is unsafe to use: a symbolic
// link, not a folder, or owned by another user.
std::string GetTempFolderBase();

// The same for a given temporary root; GetTempFolderBase uses $TMPDIR.
std::string PrepareTempFolderBase(const std::string& temporaryRoot);

}  // namespace app
