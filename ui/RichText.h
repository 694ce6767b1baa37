#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ui {

// The text model of the rich text control and its RTF writer. Texts are
// UTF-8; the RTF encodes them as UTF-16 code units.

namespace customcontrols::rtf {

using Colour = std::uint32_t;  // 0x00BBGGRR

enum TextStyle : unsigned { Bold = 1,
                            Italic = 2,
                            Underline = 4 };

struct SPlainText {
    std::string text;
};
struct SHyperlink {
    std::string text;
    std::string address;
};
struct SColoredText {
    std::string text;
    Colour colour = 0;
};
struct SFormattedRun {
    std::string text;
    unsigned flags = 0;
};
struct SFormattedText {
    std::vector<SFormattedRun> runs;
};

// The kind index is fixed: 0 plain, 1 hyperlink, 2 coloured, 3 formatted.
using TextItem = std::variant<SPlainText, SHyperlink, SColoredText, SFormattedText>;

enum class Alignment { Left = 0,
                       Right = 1,
                       Centre = 2 };

struct Paragraph {
    int alignment = 0;  // 0 left, 1 right, 2 centred, anything else: none
    std::vector<TextItem> items;
};

// Writes items into one RTF body with its own colour table.
class RtfWriter {
public:
    explicit RtfWriter(std::optional<Colour> linkColour = std::nullopt) : m_linkColour(linkColour) {}

    // Throws std::runtime_error "URL contains quote: <address>" for a link
    // whose address holds a double quote.
    void Write(const TextItem& item);
    void WriteRaw(const std::string& rtf) { m_body += rtf; }

    // "{\rtf1" + colour table + body + "}".
    std::string Document() const;
    const std::string& Body() const { return m_body; }
    std::string ColourTable() const;

private:
    void WriteText(const std::string& text);
    void WriteColoured(const std::string& text, Colour colour);

    std::optional<Colour> m_linkColour;
    std::vector<Colour> m_colours;
    std::string m_body;
};

// The document streamed for one item.
std::string ItemDocument(const TextItem& item, std::optional<Colour> linkColour = std::nullopt);
// The document that ends a paragraph: alignment, then "\par" unless last.
std::string ParagraphEndDocument(int alignment, bool last);
// A whole content as one document (the clipboard's RTF).
std::string ContentDocument(const std::vector<Paragraph>& paragraphs, std::optional<Colour> linkColour = std::nullopt);

// The shown text of an item and of a content, paragraphs ended by "\n"
// except the last.
std::string ItemText(const TextItem& item);
std::string ContentText(const std::vector<Paragraph>& paragraphs);

}  // namespace customcontrols::rtf

}  // namespace ui
