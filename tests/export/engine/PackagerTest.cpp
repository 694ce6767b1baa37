// The package follows its table of parts: a row added or taken away shows
// in the zip entries, the content types and the relationships alike.
#include "export/engine/package/Packager.h"

#include "support/ScratchFolder.h"
#include "support/ZipReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

using namespace engine::detail;

namespace {

const std::string kExtraType = "http://example.org/relationships/extra";

class Packager : public ::testing::Test {
protected:
    Packager()
    {
        for (int i = 0; i < 2; ++i)
            presentation.slides.push_back(std::make_shared<Slide>());
    }

    // The entries written from rows, in archive order.
    std::vector<testsupport::ZipEntry> Write(const std::vector<PartRow>& rows)
    {
        const auto file = scratch.Path() / "out.pptx";
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        {
            ZipWriter zip(fd);
            EXPECT_TRUE(WritePackage(presentation, zip, rows));
            EXPECT_TRUE(zip.Close());
        }
        ::close(fd);
        return testsupport::ReadZipEntries(file);
    }

    static std::vector<std::string> Names(const std::vector<testsupport::ZipEntry>& entries)
    {
        std::vector<std::string> names;
        for (const auto& e : entries)
            names.push_back(e.name);
        return names;
    }

    static std::string Entry(const std::vector<testsupport::ZipEntry>& entries, const std::string& name)
    {
        for (const auto& e : entries)
            if (e.name == name)
                return e.data;
        ADD_FAILURE() << "no entry " << name;
        return {};
    }

    const testsupport::ScratchFolder scratch{"packager"};
    Presentation presentation;
};

TEST_F(Packager, AnAddedPartIsWrittenTypedAndRelated)
{
    std::vector<PartRow> rows = StandardParts();
    rows.push_back({"ppt/extras/extra1.xml", "application/vnd.example.extra+xml", {{"ppt/presentation.xml", kExtraType, 7}, {"ppt/slides/slide#.xml", kExtraType, 2}}, [](const PartContext& c) { return "<extra slides=\"" + std::to_string(c.presentation.slides.size()) + "\"/>"; }});
    const auto entries = Write(rows);

    std::vector<std::string> expected = Names(Write(StandardParts()));
    expected.push_back("ppt/extras/extra1.xml");
    EXPECT_EQ(Names(entries), expected);
    EXPECT_EQ(Entry(entries, "ppt/extras/extra1.xml"), "<extra slides=\"2\"/>");
    EXPECT_NE(Entry(entries, "[Content_Types].xml")
                  .find("<Override PartName=\"/ppt/extras/extra1.xml\" ContentType=\"application/vnd.example.extra+xml\"/>"
                        "</Types>"),
              std::string::npos);
    // Its place puts it after the presentation's other relationships.
    EXPECT_NE(Entry(entries, "ppt/_rels/presentation.xml.rels")
                  .find("<Relationship Id=\"rId8\" Type=\"" + kExtraType + "\" Target=\"extras/extra1.xml\"/></Relationships>"),
              std::string::npos);
    for (const char* slide : {"ppt/slides/_rels/slide1.xml.rels", "ppt/slides/_rels/slide2.xml.rels"})
        EXPECT_NE(Entry(entries, slide).find("<Relationship Id=\"rId2\" Type=\"" + kExtraType + "\" Target=\"../extras/extra1.xml\"/></Relationships>"),
                  std::string::npos)
            << slide;
}

TEST_F(Packager, ARemovedPartLeavesNoTrace)
{
    std::vector<PartRow> rows = StandardParts();
    const auto removed = std::find_if(rows.begin(), rows.end(), [](const PartRow& r) { return r.name == "ppt/viewProps.xml"; });
    ASSERT_NE(removed, rows.end());
    rows.erase(removed);
    std::vector<std::string> expected = Names(Write(StandardParts()));
    expected.erase(std::find(expected.begin(), expected.end(), "ppt/viewProps.xml"));

    const auto entries = Write(rows);
    EXPECT_EQ(Names(entries), expected);
    for (const auto& e : entries)
        EXPECT_EQ(e.data.find("viewProps"), std::string::npos) << e.name;
}

// Parts per slide are numbered from 1; relationship targets are relative
// to the folder of the part that relates.
TEST_F(Packager, EntriesAndTargetsDeriveFromTheNames)
{
    const auto entries = Write(StandardParts());
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "docProps/core.xml", "docProps/app.xml",
                                        "ppt/presentation.xml", "ppt/_rels/presentation.xml.rels", "ppt/presProps.xml",
                                        "ppt/viewProps.xml", "ppt/tableStyles.xml", "ppt/theme/theme1.xml",
                                        "ppt/slideMasters/slideMaster1.xml", "ppt/slideMasters/_rels/slideMaster1.xml.rels",
                                        "ppt/slideLayouts/slideLayout1.xml", "ppt/slideLayouts/_rels/slideLayout1.xml.rels",
                                        "ppt/slides/slide1.xml", "ppt/slides/_rels/slide1.xml.rels", "ppt/slides/slide2.xml",
                                        "ppt/slides/_rels/slide2.xml.rels"}));
    const std::string r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    EXPECT_EQ(Entry(entries, "ppt/slideMasters/_rels/slideMaster1.xml.rels"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\""
                  + r + "slideLayout\" Target=\"../slideLayouts/slideLayout1.xml\"/>"
                        "<Relationship Id=\"rId2\" Type=\""
                  + r + "theme\" Target=\"../theme/theme1.xml\"/></Relationships>");
    EXPECT_NE(Entry(entries, "ppt/_rels/presentation.xml.rels")
                  .find("<Relationship Id=\"rId3\" Type=\"" + r + "slide\" Target=\"slides/slide2.xml\"/>"),
              std::string::npos);
}

}  // namespace
