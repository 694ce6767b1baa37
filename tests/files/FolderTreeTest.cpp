#include "files/FolderTree.h"
#include "support/CaseNames.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::ScratchFolder;
using testsupport::WriteFileBytes;

namespace {

// Builds a chain of levels folders under top with a file at its end.
void MakeChain(const fs::path& top, int levels)
{
    fs::create_directory(top);
    const fs::path previous = fs::current_path();
    fs::current_path(top);
    for (int i = 0; i < levels; ++i) {
        fs::create_directory("level_of_a_deep_tree");
        fs::current_path("level_of_a_deep_tree");
    }
    WriteFileBytes("leaf", "x");
    fs::current_path(previous);
}

// The ordinary deletion, and the one the interruption cleanup uses while
// every other thread is stopped.
struct Deletion {
    const char* name;
    void (*remove)(const fs::path&);
    int deepest;  // levels it removes
};

void PrintTo(const Deletion& d, std::ostream* os) { *os << d.name; }

class DeleteFolderTreeTest : public ::testing::TestWithParam<Deletion> {};

TEST_P(DeleteFolderTreeTest, RemovesNestedReadOnlyAndDeepTrees)
{
    ScratchFolder dir;
    const fs::path root = dir / "tree";
    fs::create_directories(root / "a" / "b");
    WriteFileBytes(root / "a" / "b" / "ro", "x");
    fs::permissions(root / "a" / "b" / "ro", fs::perms::owner_read, fs::perm_options::replace);
    fs::permissions(root / "a" / "b", fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    fs::create_directories(root / "c" / "d" / "e");
    fs::permissions(root / "c" / "d", fs::perms::none, fs::perm_options::replace);
    for (int i = 0; i < 300; ++i)
        WriteFileBytes(root / "c" / ("file" + std::to_string(i)), "x");
    MakeChain(root / "deep", GetParam().deepest - 2);

    GetParam().remove(root);
    EXPECT_FALSE(fs::exists(root));
}

TEST_P(DeleteFolderTreeTest, NeverFollowsSymbolicLinks)
{
    ScratchFolder dir;
    const fs::path outside = dir / "outside";
    fs::create_directory(outside);
    WriteFileBytes(outside / "keep", "x");
    const fs::path root = dir / "tree";
    fs::create_directory(root);
    fs::create_directory_symlink(outside, root / "link_to_folder");
    fs::create_symlink(outside / "keep", root / "link_to_file");

    GetParam().remove(root);
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_TRUE(fs::exists(outside / "keep"));

    // A link given as the folder itself is removed, not followed.
    fs::create_directory_symlink(outside, dir / "root_link");
    GetParam().remove(dir / "root_link");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "root_link")));
    EXPECT_TRUE(fs::exists(outside / "keep"));
}

INSTANTIATE_TEST_SUITE_P(
    Both, DeleteFolderTreeTest,
    ::testing::Values(
        // Far deeper than any path length limit.
        Deletion{"ordinary", [](const fs::path& p) { files::DeleteFolderTree(p, true); }, 600},
        Deletion{"without_allocating", [](const fs::path& p) { files::DeleteFolderTreeWithoutAllocating(p.c_str()); },
                 files::kDepthWithoutAllocating}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeleteFolderTree, WithoutAllocatingLeavesOnlyWhatIsTooDeep)
{
    ScratchFolder dir;
    const fs::path root = dir / "tree";
    MakeChain(root, files::kDepthWithoutAllocating + 5);
    WriteFileBytes(root / "top", "x");
    files::DeleteFolderTreeWithoutAllocating(root.c_str());
    EXPECT_FALSE(fs::exists(root / "top"));
    EXPECT_TRUE(fs::exists(root / "level_of_a_deep_tree"));  // left for the next run's cleanup
}

TEST(DeleteFolderTree, NonRecursiveKeepsSubfoldersAndFolder)
{
    ScratchFolder dir;
    const fs::path root = dir / "tree";
    fs::create_directories(root / "sub");
    WriteFileBytes(root / "f", "x");
    files::DeleteFolderTree(root, false);
    EXPECT_FALSE(fs::exists(root / "f"));
    EXPECT_TRUE(fs::exists(root / "sub"));
}

struct ResolveCase {
    const char* path;
    const char* current;
    const char* expected;
};

void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.path << " in " << c.current; }

class ResolvePathTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolvePathTest, Resolves)
{
    EXPECT_EQ(files::ResolvePath(GetParam().path, GetParam().current).string(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ResolvePathTest,
                         ::testing::Values(ResolveCase{"/abs/./x", "/cwd", "/abs/./x"},
                                           ResolveCase{"a/b", "/cwd", "/cwd/a/b"},
                                           ResolveCase{"a//b/", "/cwd/", "/cwd/a/b"},
                                           ResolveCase{"./a/../b", "/cwd/sub", "/cwd/sub/b"},
                                           ResolveCase{"../../..", "/cwd/sub", "/"},
                                           ResolveCase{"", "/cwd", "/cwd"},
                                           ResolveCase{"..", "/", "/"}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.path, "in", c.current); });

TEST(CreateFolderPath, CreatesParentsAndFailsOnFile)
{
    ScratchFolder dir;
    EXPECT_TRUE(files::CreateFolderPath(dir / "a" / "b" / "c"));
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
    EXPECT_TRUE(files::CreateFolderPath(dir / "a"));
    EXPECT_TRUE(files::CreateFolderPath(""));
    WriteFileBytes(dir / "f", "x");
    EXPECT_FALSE(files::CreateFolderPath(dir / "f" / "x"));
    EXPECT_FALSE(files::CreateFolderPath(dir / "f"));
}

}  // namespace
