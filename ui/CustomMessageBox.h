#pragma once
#include "imaging/ArgbBitmap.h"
#include "ui/CustomControls.h"
#include "ui/Geometry.h"
#include "ui/RichTextStaticControl.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

struct MessageBoxButton {
    int id = 0;
    std::string caption;
};

// The program's modal message: a white window with the message icon at the
// upper left, a large dark-blue title, a grey body, and a light-grey panel
// with up to three buttons at the right and a link-style button at the
// left. Only its buttons close it. Made only once the desktop is open.
class CustomMessageBox {
public:
    CustomMessageBox();
    ~CustomMessageBox();
    CustomMessageBox(const CustomMessageBox&) = delete;
    CustomMessageBox& operator=(const CustomMessageBox&) = delete;

    void SetCaption(const std::string& caption);
    void SetTitle(const std::string& title);
    // One left-aligned paragraph of dark-grey text.
    void SetText(const std::string& text);
    // The icon part (0xF0) of message-box style flags: 0x10 error,
    // 0x20 question, 0x30 warning, 0x40 information.
    void SetIconType(unsigned flags);
    void SetWindowIcon(const std::string& resource);
    void SetButtons(std::vector<MessageBoxButton> buttons);
    // address is only what Ctrl+C copies.
    void SetHyperlink(const std::string& caption, std::function<void()> handler, const std::string& address = {});

    // Shows the box and returns the id of the button that closed it.
    int DoModal();

    // What a command from a control does: the slot ids 1, 3, 4 end the box
    // with their button's id; 2 only when a button has id 2.
    void Command(int controlId);

    // The parts, for whoever inspects a shown box.
    GtkWidget* Window() const { return m_window; }
    GtkWidget* Slot(int position) const { return m_slots[position]; }
    GtkWidget* Panel() const { return m_panel; }
    GtkWidget* IconArea() const { return m_iconArea; }
    customcontrols::CColoredLabel& TitleLabel() { return m_titleLabel; }
    customcontrols::CRichTextStaticControl& Body() { return m_body; }
    customcontrols::CCustomButtonEx& LinkButton() { return m_linkButton; }
    const ui::MessageBoxLayout& Layout() const { return m_layout; }
    int IconSize() const { return m_iconSize; }
    // Width of the icon frame last drawn, in device pixels.
    int IconFrameWidth() const { return m_iconImage.Width(); }
    // The program's own icon image, not the theme's stand-in.
    bool HasIconImage() const { return !m_iconImage.IsEmpty(); }
    // The message as plain text and as RTF, as Ctrl+C copies it.
    std::string ClipboardText() const;
    std::string ClipboardRtf() const;
    void CopyToClipboard() const;

private:
    void Build();
    void LayOut();
    void End(int result);
    static gboolean OnKey(GtkWidget*, GdkEventKey* event, CustomMessageBox* self);
    static gboolean OnDelete(GtkWidget*, GdkEvent*, CustomMessageBox* self);
    static gboolean OnDrawIcon(GtkWidget*, cairo_t* cr, CustomMessageBox* self);
    static gboolean OnDrawPanel(GtkWidget* widget, cairo_t* cr, CustomMessageBox* self);
    bool HasButton(int id) const;

    std::string m_caption;
    std::string m_title;
    std::string m_text;
    std::vector<customcontrols::rtf::Paragraph> m_bodyParagraphs;
    imaging::ArgbBitmap m_iconImage;
    GdkPixbuf* m_themeIcon = nullptr;
    int m_iconSize = 0;
    std::string m_iconName = "Information";
    std::string m_iconResource;
    int m_iconWidth = 0;
    int m_iconScale = 1;  // device pixels per pixel of m_iconImage
    mutable bool m_copied = false;
    std::string m_windowIconResource = "program";
    std::vector<GdkPixbuf*> m_windowIcons;
    std::vector<MessageBoxButton> m_buttons;
    bool m_hasLink = false;
    std::string m_linkCaption;
    std::string m_linkAddress;
    std::function<void()> m_linkHandler;

    GtkWidget* m_window = nullptr;
    GtkWidget* m_fixed = nullptr;
    GtkWidget* m_panel = nullptr;
    GtkWidget* m_iconArea = nullptr;
    GtkWidget* m_bodyScroller = nullptr;  // holds the body
    GtkWidget* m_slots[3] = {nullptr, nullptr, nullptr};
    customcontrols::CColoredLabel m_titleLabel;
    customcontrols::CRichTextStaticControl m_body;
    customcontrols::CCustomButtonEx m_linkButton;
    ui::MessageBoxLayout m_layout;
    GMainLoop* m_loop = nullptr;
    int m_result = 0;
};

// A box with the program's caption, window icon, the given icon type and a
// single "Close" button with id 1. Needs an open desktop (OpenDesktop).
std::unique_ptr<CustomMessageBox> CreateMessageBox(unsigned iconType);

// Opens an address with the desktop's default handler; failures are silent.
void OpenUrl(const std::string& address, GtkWindow* owner = nullptr);

}  // namespace ui
