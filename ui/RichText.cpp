#include "ui/RichText.h"

#include "text/Unicode.h"

#include <stdexcept>

namespace ui {

namespace customcontrols::rtf {

void RtfWriter::WriteText(const std::string& text)
{
    for (const char16_t unit : unicode::ToUtf16(text)) {
        m_body += "\\u";
        m_body += std::to_string(static_cast<std::int16_t>(unit));
        m_body += '?';
    }
}

void RtfWriter::WriteColoured(const std::string& text, Colour colour)
{
    m_colours.push_back(colour);
    m_body += "\\cf" + std::to_string(m_colours.size());
    WriteText(text);
    m_body += "\\cf0";
}

void RtfWriter::Write(const TextItem& item)
{
    switch (item.index()) {
    case 0:
        WriteText(std::get<SPlainText>(item).text);
        break;
    case 1: {
        const auto& link = std::get<SHyperlink>(item);
        if (link.address.find('"') != std::string::npos)
            throw std::runtime_error("URL contains quote: " + link.address);
        m_body += "{\\field{\\*\\fldinst{HYPERLINK \"";
        WriteText(link.address);
        m_body += "\"}}{\\fldrslt{";
        if (m_linkColour) {
            m_body += "\\ul";
            WriteColoured(link.text, *m_linkColour);
            m_body += "\\ul0";
        } else {
            WriteText(link.text);
        }
        m_body += "}}}";
        break;
    }
    case 2: {
        const auto& coloured = std::get<SColoredText>(item);
        WriteColoured(coloured.text, coloured.colour);
        break;
    }
    case 3:
        for (const auto& run : std::get<SFormattedText>(item).runs) {
            if (run.flags & Bold)
                m_body += "\\b";
            if (run.flags & Italic)
                m_body += "\\i";
            if (run.flags & Underline)
                m_body += "\\ul";
            WriteText(run.text);
            if (run.flags & Bold)
                m_body += "\\b0";
            if (run.flags & Italic)
                m_body += "\\i0";
            if (run.flags & Underline)
                m_body += "\\ul0";
        }
        break;
    }
}

std::string RtfWriter::ColourTable() const
{
    if (m_colours.empty())
        return {};
    std::string table = "{\\colortbl;";
    for (const Colour c : m_colours)
        table += "\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue"
                 + std::to_string((c >> 16) & 0xFF) + ";";
    return table + "}";
}

std::string RtfWriter::Document() const { return "{\\rtf1" + ColourTable() + m_body + "}"; }

std::string ItemDocument(const TextItem& item, std::optional<Colour> linkColour)
{
    RtfWriter writer(linkColour);
    writer.Write(item);
    return writer.Document();
}

namespace {

const char* AlignmentWord(int alignment)
{
    switch (alignment) {
    case 0:
        return "\\ql";
    case 1:
        return "\\qr";
    case 2:
        return "\\qc";
    default:
        return "";
    }
}

}  // namespace

std::string ParagraphEndDocument(int alignment, bool last)
{
    return std::string("{\\rtf1") + AlignmentWord(alignment) + (last ? "" : "\\par") + "}";
}

std::string ContentDocument(const std::vector<Paragraph>& paragraphs, std::optional<Colour> linkColour)
{
    RtfWriter writer(linkColour);
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        writer.WriteRaw(AlignmentWord(paragraphs[i].alignment));
        for (const auto& item : paragraphs[i].items)
            writer.Write(item);
        if (i + 1 < paragraphs.size())
            writer.WriteRaw("\\par");
    }
    return writer.Document();
}

std::string ItemText(const TextItem& item)
{
    switch (item.index()) {
    case 0:
        return std::get<SPlainText>(item).text;
    case 1:
        return std::get<SHyperlink>(item).text;
    case 2:
        return std::get<SColoredText>(item).text;
    default: {
        std::string text;
        for (const auto& run : std::get<SFormattedText>(item).runs)
            text += run.text;
        return text;
    }
    }
}

std::string ContentText(const std::vector<Paragraph>& paragraphs)
{
    std::string text;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        for (const auto& item : paragraphs[i].items)
            text += ItemText(item);
        if (i + 1 < paragraphs.size())
            text += '\n';
    }
    return text;
}

}  // namespace customcontrols::rtf

}  // namespace ui
