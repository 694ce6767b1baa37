#include "export/OutputPath.h"

#include "support/ScratchFolder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace exporting;

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

namespace {

TEST(MakeUniqueOutputPath, NumbersTakenNames)
{
    const ScratchFolder s("out");
    EXPECT_EQ(MakeUniqueOutputPath(s.Path(), "Lesson"), s.Path() / "Lesson.pptx");
    std::ofstream(s.Path() / "Lesson.pptx") << "x";
    EXPECT_EQ(MakeUniqueOutputPath(s.Path(), "Lesson"), s.Path() / "Lesson (2).pptx");
    fs::create_directory(s.Path() / "Lesson (2).pptx");
    fs::create_symlink(s.Path() / "nowhere", s.Path() / "Lesson (3).pptx");  // a dangling link is taken too
    EXPECT_EQ(MakeUniqueOutputPath(s.Path(), "Lesson"), s.Path() / "Lesson (4).pptx");
    EXPECT_EQ(MakeUniqueOutputPath("", "Lesson"), fs::path("Lesson.pptx"));
    EXPECT_EQ(MakeUniqueOutputPath(s.Path(), "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0"),
              s.Path() / "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.pptx");
}

TEST(GetDocumentsFolder, ReadsUserDirsThenFallsBack)
{
    const ScratchFolder s("out");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", s.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (s.Path() / "cfg").c_str(), 1);
    EXPECT_EQ(GetDocumentsFolder(), s.Path());  // no Documents folder: home
    fs::create_directory(s.Path() / "Documents");
    EXPECT_EQ(GetDocumentsFolder(), s.Path() / "Documents");
    fs::create_directory(s.Path() / "cfg");
    std::ofstream(s.Path() / "cfg" / "user-dirs.dirs") << "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(GetDocumentsFolder(), s.Path());  // named but missing
    fs::create_directory(s.Path() / "Dokumente");
    EXPECT_EQ(GetDocumentsFolder(), s.Path() / "Dokumente");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", oldHome.c_str(), 1);
}

}  // namespace
