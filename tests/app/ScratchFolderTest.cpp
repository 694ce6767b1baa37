#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

TEST(ScratchFolder, RemovedWithoutFollowingLinksOrStoppingAtReadOnlyFolders)
{
    const ScratchFolder outside("outside");
    const fs::path kept = outside.Write("kept/file", "data");
    fs::path removed;
    {
        const ScratchFolder folder("inside");
        removed = folder.Path();
        EXPECT_EQ((fs::status(removed).permissions() & fs::perms::all), fs::perms::owner_all);
        fs::create_directory_symlink(outside / "kept", folder / "folder-link");
        fs::create_symlink(kept, folder / "file-link");
        folder.Write("ro/sub/f", "x");
        fs::permissions(folder / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(kept, fs::perms::owner_read);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(removed)));
    EXPECT_EQ(testsupport::ReadFileBytes(kept), "data");
    EXPECT_EQ((fs::status(kept).permissions() & fs::perms::all), fs::perms::owner_read);  // a link's target untouched
}

}  // namespace
