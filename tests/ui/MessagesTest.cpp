#include "ui/Messages.h"

#include "ui/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

using namespace ui;

namespace {

// Captures what a message function prints on standard error.
std::string CapturedError(const std::function<void()>& show)
{
    std::ostringstream captured;
    std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
    try {
        show();
    } catch (...) {
        std::cerr.rdbuf(previous);
        throw;
    }
    std::cerr.rdbuf(previous);
    return captured.str();
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // These check the console texts: no window may open.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        LoadMessageCatalogue();
    }
};

TEST_F(MessagesTest, UsageMessageLayout)
{
    const std::string out = CapturedError(ShowUsageMessage);
    EXPECT_EQ(out,
              "Veltrana Tralvex\n"
              "================\n"
              "Warning: Utulity for updating Book Interaction\n"
              "\n"
              "Drag the source file of the Book interaction and drop it to the updater icon to convert your book "
              "to the PowerPoint format.\n");
}

TEST_F(MessagesTest, NotABookMessage)
{
    const std::string out = CapturedError(ShowNotABookMessage);
    EXPECT_TRUE(out.starts_with("Veltrana Tralvex\n"));
    EXPECT_NE(out.find("Warning: This is not a book\n\nDrag the source file"), std::string::npos);
    EXPECT_EQ(out.find("http"), std::string::npos);
}

TEST_F(MessagesTest, PptNotInstalledKeepsEmptyLine)
{
    const std::string out = CapturedError(ShowPptNotInstalledMessage);
    EXPECT_NE(out.find("Warning: Microsoft PowerPoint is not installed\n"), std::string::npos);
    EXPECT_NE(out.find("Microsoft PowerPoint.\n\nPlease install PowerPoint and try again.\n"), std::string::npos);
}

TEST_F(MessagesTest, FileCorruptedShowsLinkAfterBody)
{
    const std::string url = "https://support.example/x?p=tralvex&v=1.2.3.4";
    const std::string out = CapturedError([&] { ShowFileCorruptedMessage(url); });
    EXPECT_NE(out.find("Error: File is corrupt\n"), std::string::npos);
    const auto body = out.find("unexpected error.\nTry the operation again.");
    const auto link = out.find("\nContact the Veltrana support center: " + url + "\n");
    ASSERT_NE(body, std::string::npos);
    ASSERT_NE(link, std::string::npos);
    EXPECT_LT(body, link);
    EXPECT_TRUE(out.ends_with(url + "\n"));
}

TEST_F(MessagesTest, MessagesUseCurrentCatalogue)
{
    InstallMessageCatalogue({{"TRALVEX_APP_TITLE", "\xC3\x84pp"}, {"USAGE_TITLE", "T"}});
    // A missing id shows as itself; the underline counts characters.
    EXPECT_EQ(CapturedError(ShowUsageMessage), "\xC3\x84pp\n===\nWarning: T\n\nUSAGE_TEXT\n");
}

TEST(MessageContent, FourMessagesUseTheirIds)
{
    InstallMessageCatalogue({});
    struct Case {
        MessageContent content;
        MessageIcon icon;
        const char* title;
        const char* text;
    };
    const Case cases[] = {
        {UsageMessage(), MessageIcon::Warning, "USAGE_TITLE", "USAGE_TEXT"},
        {NotABookMessage(), MessageIcon::Warning, "ERROR_NOT_A_BOOK_TITLE", "ERROR_NOT_A_BOOK_TEXT"},
        {PptNotInstalledMessage(), MessageIcon::Warning, "ERROR_PPT_NOT_INSTALLED_TITLE", "ERROR_PPT_NOT_INSTALLED_TEXT"},
        {FileCorruptedMessage("u"), MessageIcon::Error, "ERROR_FILE_CORRUPTED_TITLE", "ERROR_FILE_CORRUPTED_TEXT"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.content.caption, "TRALVEX_APP_TITLE");
        EXPECT_EQ(c.content.icon, c.icon) << c.title;
        EXPECT_EQ(c.content.title, c.title);
        EXPECT_EQ(c.content.text, c.text);
    }
    EXPECT_TRUE(cases[0].content.linkCaption.empty());
    EXPECT_EQ(cases[3].content.linkCaption, "ERROR_FILE_CORRUPTED_HLINK_TEXT");
    EXPECT_EQ(cases[3].content.linkAddress, "u");
    LoadMessageCatalogue();
}

}  // namespace
