#include "export/OutputPath.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path path;
    Scratch()
    {
        std::string p = (fs::temp_directory_path() / "tralvex-out-XXXXXX").string();
        path = ::mkdtemp(p.data());
    }
    ~Scratch() { fs::remove_all(path); }
};

TEST(MakeUniqueOutputPath, NumbersTakenNames)
{
    Scratch s;
    EXPECT_EQ(MakeUniqueOutputPath(s.path, "Lesson"), s.path / "Lesson.pptx");
    std::ofstream(s.path / "Lesson.pptx") << "x";
    EXPECT_EQ(MakeUniqueOutputPath(s.path, "Lesson"), s.path / "Lesson (2).pptx");
    fs::create_directory(s.path / "Lesson (2).pptx");
    fs::create_symlink(s.path / "nowhere", s.path / "Lesson (3).pptx");  // a dangling link is taken too
    EXPECT_EQ(MakeUniqueOutputPath(s.path, "Lesson"), s.path / "Lesson (4).pptx");
    EXPECT_EQ(MakeUniqueOutputPath("", "Lesson"), fs::path("Lesson.pptx"));
    EXPECT_EQ(MakeUniqueOutputPath(s.path, "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0"),
              s.path / "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.pptx");
}

TEST(GetDocumentsFolder, ReadsUserDirsThenFallsBack)
{
    Scratch s;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", s.path.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (s.path / "cfg").c_str(), 1);
    EXPECT_EQ(GetDocumentsFolder(), s.path / "Documents");
    fs::create_directory(s.path / "cfg");
    std::ofstream(s.path / "cfg" / "user-dirs.dirs") << "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(GetDocumentsFolder(), s.path / "Dokumente");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
