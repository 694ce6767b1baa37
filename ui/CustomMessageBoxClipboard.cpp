#include "ui/CustomMessageBox.h"

namespace ui {

// Ctrl+C in a message box: the message as plain text and as RTF.

namespace {

constexpr ui::Colour kTitleColour = 0x993300;
constexpr ui::Colour kLinkColour = 0xCC6600;

}  // namespace

std::string CustomMessageBox::ClipboardText() const
{
    std::string text = m_title + "\n\n" + customcontrols::rtf::ContentText(m_bodyParagraphs);
    if (m_hasLink)
        text += "\n\n" + m_linkCaption + (m_linkAddress.empty() ? "" : ": " + m_linkAddress);
    return text;
}

std::string CustomMessageBox::ClipboardRtf() const
{
    using namespace customcontrols::rtf;
    std::vector<Paragraph> content;
    content.push_back({0, {SColoredText{m_title, kTitleColour}}});
    content.push_back({0, {}});
    content.insert(content.end(), m_bodyParagraphs.begin(), m_bodyParagraphs.end());
    if (m_hasLink) {
        content.push_back({0, {}});
        if (m_linkAddress.empty() || m_linkAddress.find('"') != std::string::npos)
            content.push_back({0, {SColoredText{m_linkCaption, kLinkColour}}});
        else
            content.push_back({0, {SHyperlink{m_linkCaption, m_linkAddress}}});
    }
    return ContentDocument(content, kLinkColour);
}

namespace {

struct ClipboardContent {
    std::string text;
    std::string rtf;
};

void ClipboardGet(GtkClipboard*, GtkSelectionData* selection, guint info, gpointer data)
{
    const auto* content = static_cast<const ClipboardContent*>(data);
    if (info == 1)
        gtk_selection_data_set(selection, gtk_selection_data_get_target(selection), 8,
                               reinterpret_cast<const guchar*>(content->rtf.data()),
                               static_cast<gint>(content->rtf.size()));
    else
        gtk_selection_data_set_text(selection, content->text.c_str(), static_cast<gint>(content->text.size()));
}

void ClipboardClear(GtkClipboard*, gpointer data) { delete static_cast<ClipboardContent*>(data); }

}  // namespace

void CustomMessageBox::CopyToClipboard() const
{
    static const GtkTargetEntry targets[] = {
        {const_cast<gchar*>("UTF8_STRING"), 0, 0},
        {const_cast<gchar*>("text/plain;charset=utf-8"), 0, 0},
        {const_cast<gchar*>("text/plain"), 0, 0},
        {const_cast<gchar*>("STRING"), 0, 0},
        {const_cast<gchar*>("text/rtf"), 0, 1},
    };
    auto* content = new ClipboardContent{ClipboardText(), ClipboardRtf()};
    GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    if (!gtk_clipboard_set_with_data(clipboard, targets, G_N_ELEMENTS(targets), ClipboardGet, ClipboardClear, content)) {
        delete content;
        return;
    }
    gtk_clipboard_set_can_store(clipboard, targets, G_N_ELEMENTS(targets));
    m_copied = true;
}

}  // namespace ui
