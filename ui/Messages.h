#pragma once
#include <iosfwd>
#include <string>

namespace ui {

// The four messages of single-file mode, each a modal message box; without
// a display they are printed on standard error.
void ShowUsageMessage();
void ShowNotABookMessage();
void ShowPptNotInstalledMessage();
void ShowFileCorruptedMessage(const std::string& supportUrl);

enum class MessageIcon { Error = 0x10,
                         Warning = 0x30 };

// What one message shows, already translated.
struct MessageContent {
    MessageIcon icon = MessageIcon::Warning;
    std::string caption;
    std::string title;
    std::string text;
    std::string linkCaption;  // no link when empty
    std::string linkAddress;
};

// The translated content of the four messages.
MessageContent UsageMessage();
MessageContent NotABookMessage();
MessageContent PptNotInstalledMessage();
MessageContent FileCorruptedMessage(const std::string& supportUrl);

// Plain terminal layout: caption, an underline, the title, an empty line,
// the body with its own line breaks, and the link as "caption: address".
void WriteMessage(std::ostream& out, const MessageContent& message);

}  // namespace ui
