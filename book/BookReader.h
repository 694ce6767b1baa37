#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>

#include "book/xmlbook.hxx"

namespace bookparser {

// A book description larger than this is refused before parsing: a real one
// (pages, geometry and HTML text, no image data) stays far below it, and the
// DOM of a document costs several times its size.
inline constexpr std::uintmax_t kMaxBookDocumentBytes = 64u * 1024u * 1024u;

// Entity expansions allowed in one document. Books use only the predefined
// entities and character references, which are not counted; the limit exists
// to stop "billion laughs" documents early.
inline constexpr unsigned kEntityExpansionLimit = 1000;

// Total length, in characters, of the replacement texts of all entities a
// document may declare. Together with the expansion limit this bounds the
// text that entity expansion can produce (quadratic blow-up).
inline constexpr std::size_t kMaxDeclaredEntityText = 64u * 1024u;

// Deepest element nesting accepted. A real book nests fewer than ten levels;
// the parser's cost grows with the square of the depth, so a deeper document
// is refused as soon as it gets there.
inline constexpr unsigned kMaxBookNesting = 256;

// Reads the book description file into the xmlbook tree without validating.
// The parser never loads external DTDs, external entities or schemas.
// Throws xml_schema::parsing (with diagnostics) when the file cannot be read
// or is not well-formed, xml_schema::unexpected_element when the root is not
// "book", and the tree's structural errors (expected_element, ...).
std::unique_ptr<xmlbook::Book> ReadBookDocument(const std::filesystem::path& file);

// Keeps the XML parser started while it lives (ReadBookDocument starts it
// for each document otherwise). A process that forks a reader for each book
// starts it once: a start costs more than reading a small book.
class XmlParserStarted {
public:
    XmlParserStarted();
    ~XmlParserStarted();
    XmlParserStarted(const XmlParserStarted&) = delete;
    XmlParserStarted& operator=(const XmlParserStarted&) = delete;
};

}  // namespace bookparser
