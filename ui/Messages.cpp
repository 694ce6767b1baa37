#include "ui/Messages.h"

#include "ui/CustomMessageBox.h"
#include "ui/Desktop.h"
#include "ui/MessageCatalogue.h"

#include <iostream>
#include <ostream>

namespace ui {

namespace {

MessageContent Translated(MessageIcon icon, const std::string& titleId, const std::string& textId)
{
    MessageContent message;
    message.icon = icon;
    message.caption = Translate("TRALVEX_APP_TITLE");
    message.title = Translate(titleId);
    message.text = Translate(textId);
    return message;
}

// Characters, not bytes, so that the underline matches the caption.
std::size_t DisplayLength(const std::string& text)
{
    std::size_t length = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++length;
    return length;
}

void Show(const MessageContent& message)
{
    if (OpenDesktop()) {
        auto box = CreateMessageBox(static_cast<unsigned>(message.icon));
        box->SetTitle(message.title);
        box->SetText(message.text);
        if (!message.linkCaption.empty()) {
            const std::string& address = message.linkAddress;
            box->SetHyperlink(
                message.linkCaption, [&address] { OpenUrl(address); }, address);
        }
        box->DoModal();
        return;
    }
    WriteMessage(std::cerr, message);
    std::cerr.flush();
}

}  // namespace

MessageContent UsageMessage()
{
    return Translated(MessageIcon::Warning, "USAGE_TITLE", "USAGE_TEXT");
}

MessageContent NotABookMessage()
{
    return Translated(MessageIcon::Warning, "ERROR_NOT_A_BOOK_TITLE", "ERROR_NOT_A_BOOK_TEXT");
}

MessageContent PptNotInstalledMessage()
{
    return Translated(MessageIcon::Warning, "ERROR_PPT_NOT_INSTALLED_TITLE", "ERROR_PPT_NOT_INSTALLED_TEXT");
}

MessageContent FileCorruptedMessage(const std::string& supportUrl)
{
    MessageContent message = Translated(MessageIcon::Error, "ERROR_FILE_CORRUPTED_TITLE", "ERROR_FILE_CORRUPTED_TEXT");
    message.linkCaption = Translate("ERROR_FILE_CORRUPTED_HLINK_TEXT");
    message.linkAddress = supportUrl;
    return message;
}

void WriteMessage(std::ostream& out, const MessageContent& message)
{
    out << message.caption << '\n'
        << std::string(DisplayLength(message.caption), '=') << '\n';
    out << (message.icon == MessageIcon::Error ? "Error: " : "Warning: ") << message.title << "\n\n";
    out << message.text << '\n';
    if (!message.linkCaption.empty())
        out << '\n'
            << message.linkCaption << ": " << message.linkAddress << '\n';
}

void ShowUsageMessage() { Show(UsageMessage()); }
void ShowNotABookMessage() { Show(NotABookMessage()); }
void ShowPptNotInstalledMessage() { Show(PptNotInstalledMessage()); }
void ShowFileCorruptedMessage(const std::string& supportUrl) { Show(FileCorruptedMessage(supportUrl)); }

}  // namespace ui
