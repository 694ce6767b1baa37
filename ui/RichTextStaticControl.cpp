#include "ui/RichTextStaticControl.h"

#include <algorithm>

namespace ui {

namespace customcontrols {

CRichTextStaticControl::CRichTextStaticControl()
    : m_view(gtk_text_view_new())
{
    g_object_ref_sink(m_view);
    m_buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(m_view));
    GtkTextView* view = GTK_TEXT_VIEW(m_view);
    gtk_text_view_set_editable(view, FALSE);
    gtk_text_view_set_cursor_visible(view, FALSE);
    gtk_text_view_set_wrap_mode(view, GTK_WRAP_WORD_CHAR);
    gtk_text_view_set_accepts_tab(view, FALSE);
    gtk_widget_set_can_focus(m_view, FALSE);
    gtk_widget_add_events(m_view, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK
                                      | GDK_LEAVE_NOTIFY_MASK);
    // Transparent: the dialog's surface shows through.
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "textview, textview text { background-color: transparent; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(m_view), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    g_signal_connect(m_view, "event", G_CALLBACK(OnEvent), this);
    g_signal_connect_after(m_view, "realize", G_CALLBACK(OnRealize), this);
}

CRichTextStaticControl::~CRichTextStaticControl()
{
    g_signal_handlers_disconnect_by_data(m_view, this);
    g_object_unref(m_view);
}

void CRichTextStaticControl::SetFont(const std::string& face, int pixelHeight)
{
    m_face = face;
    m_pixelHeight = pixelHeight;
    GtkTextTag* tag = Tag("font");
    PangoFontDescription* font = ui::MakeFont(face, pixelHeight);
    g_object_set(tag, "font-desc", font, nullptr);
    pango_font_description_free(font);
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(m_buffer, &start, &end);
    gtk_text_buffer_apply_tag(m_buffer, tag, &start, &end);
}

GtkTextTag* CRichTextStaticControl::Tag(const std::string& name)
{
    GtkTextTagTable* table = gtk_text_buffer_get_tag_table(m_buffer);
    if (GtkTextTag* tag = gtk_text_tag_table_lookup(table, name.c_str()))
        return tag;
    GtkTextTag* tag = gtk_text_tag_new(name.c_str());
    gtk_text_tag_table_add(table, tag);
    g_object_unref(tag);
    if (name.rfind("colour:", 0) == 0) {
        const auto colour = static_cast<rtf::Colour>(std::stoul(name.substr(7)));
        const GdkRGBA rgba = ui::ToRgba(colour);
        g_object_set(tag, "foreground-rgba", &rgba, nullptr);
    } else if (name == "bold") {
        g_object_set(tag, "weight", PANGO_WEIGHT_BOLD, nullptr);
    } else if (name == "italic") {
        g_object_set(tag, "style", PANGO_STYLE_ITALIC, nullptr);
    } else if (name == "underline") {
        g_object_set(tag, "underline", PANGO_UNDERLINE_SINGLE, nullptr);
    } else if (name == "left" || name == "right" || name == "centre") {
        g_object_set(tag, "justification",
                     name == "left" ? GTK_JUSTIFY_LEFT : name == "right" ? GTK_JUSTIFY_RIGHT
                                                                         : GTK_JUSTIFY_CENTER,
                     nullptr);
    }
    return tag;
}

int CRichTextStaticControl::Insert(const rtf::TextItem& item, GtkTextTag* paragraphTag)
{
    // Throws for a bad link before anything of the item is inserted.
    const std::string document = rtf::ItemDocument(item, m_linkColour);
    m_rtf += document;
    GtkTextIter end;
    const auto insert = [&](const std::string& text, std::vector<std::string> tags) {
        gtk_text_buffer_get_end_iter(m_buffer, &end);
        const int before = gtk_text_iter_get_offset(&end);
        gtk_text_buffer_insert(m_buffer, &end, text.c_str(), static_cast<gint>(text.size()));
        GtkTextIter from;
        gtk_text_buffer_get_iter_at_offset(m_buffer, &from, before);
        gtk_text_buffer_get_end_iter(m_buffer, &end);
        tags.push_back("font");
        for (const auto& name : tags)
            gtk_text_buffer_apply_tag(m_buffer, Tag(name), &from, &end);
        if (paragraphTag)
            gtk_text_buffer_apply_tag(m_buffer, paragraphTag, &from, &end);
        return gtk_text_iter_get_offset(&end) - before;
    };
    switch (item.index()) {
    case 0:
        return insert(std::get<rtf::SPlainText>(item).text, {});
    case 1: {
        const auto& link = std::get<rtf::SHyperlink>(item);
        if (m_linkColour)
            return insert(link.text, {"colour:" + std::to_string(*m_linkColour), "underline"});
        return insert(link.text, {});
    }
    case 2: {
        const auto& coloured = std::get<rtf::SColoredText>(item);
        return insert(coloured.text, {"colour:" + std::to_string(coloured.colour)});
    }
    default: {
        int added = 0;
        for (const auto& run : std::get<rtf::SFormattedText>(item).runs) {
            std::vector<std::string> tags;
            if (run.flags & rtf::Bold)
                tags.push_back("bold");
            if (run.flags & rtf::Italic)
                tags.push_back("italic");
            if (run.flags & rtf::Underline)
                tags.push_back("underline");
            added += insert(run.text, tags);
        }
        return added;
    }
    }
}

void CRichTextStaticControl::SetContent(const std::vector<rtf::Paragraph>& paragraphs)
{
    gtk_text_buffer_set_text(m_buffer, "", 0);
    m_count = 0;
    m_links.clear();
    m_pressedLink.reset();
    m_rtf.clear();
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        const auto& paragraph = paragraphs[p];
        const int alignment = paragraph.alignment;
        GtkTextTag* paragraphTag = alignment == 0 ? Tag("left") : alignment == 1 ? Tag("right")
                                                              : alignment == 2   ? Tag("centre")
                                                                                 : nullptr;
        const int paragraphStart = m_count;
        for (const auto& item : paragraph.items) {
            const int before = m_count;
            m_count += Insert(item, paragraphTag);
            if (item.index() == 1)
                m_links.push_back({before, m_count, std::get<rtf::SHyperlink>(item).address});
        }
        const bool last = p + 1 == paragraphs.size();
        m_rtf += rtf::ParagraphEndDocument(alignment, last);
        if (!last) {
            GtkTextIter end;
            gtk_text_buffer_get_end_iter(m_buffer, &end);
            gtk_text_buffer_insert(m_buffer, &end, "\n", 1);
            ++m_count;
        }
        if (paragraphTag) {
            GtkTextIter from;
            GtkTextIter to;
            gtk_text_buffer_get_iter_at_offset(m_buffer, &from, paragraphStart);
            gtk_text_buffer_get_end_iter(m_buffer, &to);
            gtk_text_buffer_apply_tag(m_buffer, paragraphTag, &from, &to);
        }
    }
}

const LinkRecord* CRichTextStaticControl::LinkAt(int character) const
{
    for (const auto& link : m_links)
        if (link.first <= character && character < link.last)
            return &link;
    return nullptr;
}

std::string CRichTextStaticControl::Text() const
{
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(m_buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(m_buffer, &start, &end, FALSE);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

int CRichTextStaticControl::MeasureHeight(int width) const
{
    // Each buffer line is laid out on its own, as the view does.
    PangoFontDescription* font = ui::MakeFont(m_face, m_pixelHeight);
    int total = 0;
    const std::string text = Text();
    std::string::size_type start = 0;
    for (;;) {
        const auto newline = text.find('\n', start);
        const std::string line = text.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        PangoLayout* layout = gtk_widget_create_pango_layout(m_view, line.c_str());
        pango_layout_set_font_description(layout, font);
        pango_layout_set_width(layout, std::max(1, width) * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        int w = 0;
        int h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        total += h;
        g_object_unref(layout);
        if (newline == std::string::npos)
            break;
        start = newline + 1;
    }
    pango_font_description_free(font);
    return total;
}

void CRichTextStaticControl::Press(int character)
{
    m_buttonDown = true;
    m_pressedLink.reset();
    if (const LinkRecord* link = LinkAt(character))
        m_pressedLink = static_cast<std::size_t>(link - m_links.data());
}

void CRichTextStaticControl::Release(int character)
{
    m_buttonDown = false;
    const LinkRecord* link = LinkAt(character);
    const auto pressed = m_pressedLink;
    m_pressedLink.reset();
    if (link != nullptr && pressed && *pressed == static_cast<std::size_t>(link - m_links.data()) && m_handler) {
        const std::string address = link->address;
        m_handler(address);
    }
}

int CRichTextStaticControl::CharacterAt(double x, double y) const
{
    int bx = 0;
    int by = 0;
    gtk_text_view_window_to_buffer_coords(GTK_TEXT_VIEW(m_view), GTK_TEXT_WINDOW_TEXT, static_cast<int>(x),
                                          static_cast<int>(y), &bx, &by);
    GtkTextIter iter;
    if (!gtk_text_view_get_iter_at_location(GTK_TEXT_VIEW(m_view), &iter, bx, by))
        return -1;
    return gtk_text_iter_get_offset(&iter);
}

void CRichTextStaticControl::UpdateCursor(int character)
{
    GdkWindow* window = gtk_text_view_get_window(GTK_TEXT_VIEW(m_view), GTK_TEXT_WINDOW_TEXT);
    if (window == nullptr)
        return;
    m_overLink = LinkAt(character) != nullptr;
    GdkCursor* cursor = gdk_cursor_new_for_display(gdk_window_get_display(window), m_overLink ? GDK_HAND2 : GDK_LEFT_PTR);
    gdk_window_set_cursor(window, cursor);
    if (cursor)
        g_object_unref(cursor);
}

void CRichTextStaticControl::OnRealize(GtkWidget*, CRichTextStaticControl* self) { self->UpdateCursor(-1); }

gboolean CRichTextStaticControl::OnEvent(GtkWidget*, GdkEvent* event, CRichTextStaticControl* self)
{
    // Everything the view would turn into a selection or a caret is kept
    // from it.
    switch (event->type) {
    case GDK_MOTION_NOTIFY:
        self->UpdateCursor(self->CharacterAt(event->motion.x, event->motion.y));
        return TRUE;
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
        if (event->button.button == 1 && event->type != GDK_3BUTTON_PRESS)
            self->Press(self->CharacterAt(event->button.x, event->button.y));
        return TRUE;
    case GDK_BUTTON_RELEASE:
        if (event->button.button == 1 && self->m_buttonDown)
            self->Release(self->CharacterAt(event->button.x, event->button.y));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace customcontrols

}  // namespace ui
