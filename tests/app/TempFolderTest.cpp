#include "app/TempFolder.h"
#include "app/UtilityError.h"
#include "files/FolderLock.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace app;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

// A tick source that counts how often it was asked and starts at a value.
struct FakeTicks {
    std::uint32_t value;
    int calls = 0;
    TempFolder::TickSource Source()
    {
        return [this] {
            ++calls;
            return value;
        };
    }
};

TEST(TempFolderNaming, FreePrefixIsUsedWithoutNumber)
{
    ScratchFolder dir;
    FakeTicks ticks{500};
    TempFolder folder;
    folder.Create(dir.Path().string(), "ravelo", "", 10000, ticks.Source());
    EXPECT_EQ(folder.GetPath(), (dir / "ravelo").string());
    EXPECT_TRUE(fs::is_directory(folder.GetPath()));
    EXPECT_EQ(ticks.calls, 0);
}

TEST(TempFolderNaming, TakenNamesCountUpFromTickCount)
{
    ScratchFolder dir;
    fs::create_directory(dir / "ravelo");
    fs::create_directory(dir / "ravelo500");
    WriteFileBytes(dir / "ravelo501", "x");  // a file in the way fails creation; the next name follows
    FakeTicks ticks{500};
    TempFolder folder;
    folder.Create(dir.Path().string(), "ravelo", "", 10000, ticks.Source());
    EXPECT_EQ(folder.GetPath(), (dir / "ravelo502").string());
    EXPECT_EQ(ticks.calls, 1);
}

TEST(TempFolderNaming, FileNamedLikePrefixIsSkipped)
{
    ScratchFolder dir;
    WriteFileBytes(dir / "ravelo", "x");
    FakeTicks ticks{7};
    TempFolder folder;
    folder.Create(dir.Path().string(), "ravelo", "", 10000, ticks.Source());
    EXPECT_EQ(folder.GetPath(), (dir / "ravelo7").string());
    EXPECT_TRUE(fs::is_regular_file(dir / "ravelo"));
}

TEST(TempFolderNaming, EmptyPrefixAndSuffixUseTickCountFirst)
{
    ScratchFolder dir;
    fs::create_directory(dir / "4294967295");
    FakeTicks ticks{4294967295u};
    TempFolder folder;
    folder.Create(dir.Path().string(), "", "", 10000, ticks.Source());
    EXPECT_EQ(folder.GetPath(), (dir / "0").string());  // 32-bit counter wraps
}

TEST(TempFolderNaming, SuffixIsAppended)
{
    ScratchFolder dir;
    TempFolder folder;
    folder.Create(dir.Path().string(), "a", ".tmp", 10000);
    EXPECT_EQ(folder.GetPath(), (dir / "a.tmp").string());
}

TEST(TempFolderNaming, BudgetExhaustedThrowsUtilityError)
{
    ScratchFolder dir;
    fs::create_directory(dir / "p");
    for (int i = 10; i < 13; ++i)
        fs::create_directory(dir / std::string("p").append(std::to_string(i)));
    FakeTicks ticks{10};
    TempFolder folder;
    // Budget 2 means four attempts: "p", "p10", "p11", "p12".
    try {
        folder.Create(dir.Path().string(), "p", "", 2, ticks.Source());
        FAIL() << "expected util::error";
    } catch (const util::error& e) {
        EXPECT_STREQ(e.what(), "failed to create temporary folder");
    }
    EXPECT_TRUE(folder.GetPath().empty());
    EXPECT_FALSE(fs::exists(dir / "p13"));
}

TEST(TempFolderNaming, RelativeBaseIsResolvedAgainstCurrentFolder)
{
    ScratchFolder dir;
    const fs::path previous = fs::current_path();
    fs::create_directory(dir / "sub");
    fs::current_path(dir / "sub");
    {
        TempFolder folder;
        folder.Create("../x/./", "ravelo", "", 10);
        EXPECT_EQ(folder.GetPath(), (dir / "x" / "ravelo").string());
        EXPECT_TRUE(fs::is_directory(dir / "x" / "ravelo"));
    }
    fs::current_path(previous);
}

TEST(TempFolderErrors, ArgumentAndStateErrors)
{
    TempFolder folder;
    EXPECT_THROW(folder.Create("", "p", "", 1), std::invalid_argument);
    EXPECT_THROW(folder.CreateAt(""), std::invalid_argument);
    ScratchFolder dir;
    folder.CreateAt((dir / "one").string());
    EXPECT_THROW(folder.CreateAt((dir / "two").string()), std::logic_error);
    try {
        folder.Create(dir.Path().string(), "three", "", 1);
        FAIL() << "expected logic_error";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "logic error occurred during folder generation");
    }
}

TEST(TempFolderErrors, CreateAtUncreatablePathNamesIt)
{
    ScratchFolder dir;
    WriteFileBytes(dir / "file", "x");
    TempFolder folder;
    const std::string target = (dir / "file" / "sub").string();
    try {
        folder.CreateAt(target + "/");
        FAIL() << "expected util::error";
    } catch (const util::error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot create temporary folder \"" + target + "\"");
    }
}

TEST(TempFolderLifetime, DestructorDeletesTreeAlsoDuringUnwinding)
{
    ScratchFolder dir;
    std::string path;
    try {
        TempFolder folder;
        folder.Create(dir.Path().string(), "w", "", 10);
        path = folder.GetPath();
        fs::create_directories(fs::path(path) / "a" / "b");
        WriteFileBytes(fs::path(path) / "a" / "b" / "f", "x");
        throw std::runtime_error("conversion failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(path.empty());
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolderBase, PrivateAndReused)
{
    ScratchFolder dir;
    const std::string base = PrepareTempFolderBase((dir / "tmp" / "nested").string());
    const std::string expected = (dir / "tmp" / "nested" / ("Veltrana-" + std::to_string(::geteuid()))).string() + "/";
    EXPECT_EQ(base, expected);
    struct stat st {};
    ASSERT_EQ(::lstat(base.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrepareTempFolderBase((dir / "tmp" / "nested").string()), base);
}

TEST(TempFolderBase, RefusesLinkAndFile)
{
    ScratchFolder dir;
    const std::string name = "Veltrana-" + std::to_string(::geteuid());
    fs::create_directory(dir / "elsewhere");
    fs::create_directory(dir / "a");
    fs::create_directory_symlink(dir / "elsewhere", dir / "a" / name);
    EXPECT_THROW(PrepareTempFolderBase((dir / "a").string()), util::error);
    fs::create_directory(dir / "b");
    WriteFileBytes(dir / "b" / name, "x");
    EXPECT_THROW(PrepareTempFolderBase((dir / "b").string()), util::error);
}

TEST(TempFolderErrors, ExistingFolderIsNeverShared)
{
    ScratchFolder dir;
    fs::create_directory(dir / "ravelo");
    TempFolder folder;
    EXPECT_THROW(folder.CreateAt((dir / "ravelo").string()), util::error);
    EXPECT_TRUE(folder.GetPath().empty());
}

TEST(StaleWorkingFolders, OnlyFoldersNobodyHoldsAreRemoved)
{
    ScratchFolder dir;
    TempFolder live;
    live.Create(dir.Path().string(), "ravelo", "", 10);
    // A run that died without cleaning up.
    const pid_t child = ::fork();
    if (child == 0) {
        auto* dead = new TempFolder;
        dead->Create(dir.Path().string(), "ravelo", "", 10);
        WriteFileBytes(fs::path(dead->GetPath()) / "unpacked", "x");
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    fs::create_directory(dir / "unlocked");
    WriteFileBytes(dir / "file", "x");
    files::RemoveStaleWorkingFolders(dir.Path());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"file", "ravelo"}));
}

}  // namespace
