#pragma once
#include "ui/GtkSupport.h"
#include "ui/RichText.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

namespace customcontrols {

// Range of one link in the control's characters: first <= i < last.
struct LinkRecord {
    int first = 0;
    int last = 0;
    std::string address;
};

// Formatted, coloured text with links on a read-only text view: no caret,
// no selection, the arrow cursor except over links, and a handler called
// when a link is pressed and released without leaving it.
class CRichTextStaticControl {
public:
    CRichTextStaticControl();
    ~CRichTextStaticControl();
    CRichTextStaticControl(const CRichTextStaticControl&) = delete;
    CRichTextStaticControl& operator=(const CRichTextStaticControl&) = delete;

    GtkWidget* Widget() const { return m_view; }
    void SetFont(const std::string& face, int pixelHeight);
    void SetLinkColour(rtf::Colour colour) { m_linkColour = colour; }
    void SetLinkHandler(std::function<void(const std::string&)> handler) { m_handler = std::move(handler); }

    // Replaces the text. Throws "URL contains quote: ..." for such a link;
    // what was inserted before stays.
    void SetContent(const std::vector<rtf::Paragraph>& paragraphs);

    const std::vector<LinkRecord>& Links() const { return m_links; }
    int CharacterCount() const { return m_count; }
    // The first link whose range holds the character, or null.
    const LinkRecord* LinkAt(int character) const;
    // The shown text, and the same as an RTF document.
    std::string Text() const;
    std::string Rtf() const { return m_rtf; }
    // Height of the text when the control is width pixels wide.
    int MeasureHeight(int width) const;

    // Mouse rules, by character under the pointer (-1: none).
    void Press(int character);
    void Release(int character);

private:
    int Insert(const rtf::TextItem& item, GtkTextTag* paragraphTag);
    GtkTextTag* Tag(const std::string& name);
    int CharacterAt(double x, double y) const;
    void UpdateCursor(int character);
    static gboolean OnEvent(GtkWidget* widget, GdkEvent* event, CRichTextStaticControl* self);
    static void OnRealize(GtkWidget* widget, CRichTextStaticControl* self);

    GtkWidget* m_view;
    GtkTextBuffer* m_buffer;
    std::vector<LinkRecord> m_links;
    int m_count = 0;
    bool m_buttonDown = false;
    std::optional<std::size_t> m_pressedLink;
    std::optional<rtf::Colour> m_linkColour;
    std::function<void(const std::string&)> m_handler;
    std::string m_face = "Sans";
    int m_pixelHeight = 12;
    std::string m_rtf;
    bool m_overLink = false;
};

}  // namespace customcontrols

}  // namespace ui
