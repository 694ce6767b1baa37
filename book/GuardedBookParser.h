#pragma once
// The DOM parser under the book reader, with the guards a hostile book needs
// and the pages taken into the tree as they are parsed.
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <xercesc/parsers/DOMLSParserImpl.hpp>

#include "book/xmlbook.hxx"

namespace bookparser {

// How the tree is read: without validating and without schema defaults.
extern const xml_schema::flags kBookTreeFlags;

// Thrown from inside the parse when a book goes past a limit.
struct EntityTextTooLarge {};
struct NestingTooDeep {};

// The expansion limit counts expansions, not their size: one large entity
// referenced many times would still blow up. The declared replacement text is
// bounded as well, so that expansions × text stays small; so is the depth.
//
// Character data arrives in pieces (split at every entity reference such as
// "&lt;"), and the DOM grows a text node piece by piece, each growth walking
// the document's list of large blocks: quadratic in the book's size. The
// pieces are gathered here and handed over as one before any other event,
// which builds the same tree.
//
// Each page is read into the tree as soon as it is complete and its DOM
// released, so the document never holds more than one page and the released
// nodes are reused for the next. The tree reads the root's children in order
// until one is neither a page nor textures, so taking pages stops there too.
class GuardedBookParser : public xercesc::DOMLSParserImpl {
public:
    // The pages read, in document order; the first page the tree could not
    // read is rethrown instead.
    std::vector<std::unique_ptr<xmlbook::Page>> TakePages();

    void docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void docComment(const XMLCh* comment) override;
    void docPI(const XMLCh* target, const XMLCh* data) override;
    void ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection) override;
    void startEntityReference(const xercesc::XMLEntityDecl& decl) override;
    void endEntityReference(const xercesc::XMLEntityDecl& decl) override;
    void endDocument() override;
    void entityDecl(const xercesc::DTDEntityDecl& decl, bool isPEDecl, bool isIgnored) override;
    void startElement(const xercesc::XMLElementDecl& decl, unsigned int urlId, const XMLCh* prefix,
                      const xercesc::RefVectorOf<xercesc::XMLAttr>& attributes, XMLSize_t attributeCount,
                      bool isEmpty, bool isRoot) override;
    void endElement(const xercesc::XMLElementDecl& decl, unsigned int urlId, bool isRoot,
                    const XMLCh* prefix) override;

private:
    bool IsUnqualified(const XMLCh* name, unsigned urlId, std::u16string_view wanted) const;
    void TakeRootChild(const XMLCh* name, unsigned urlId);
    void FlushText();

    std::u16string pendingText_;
    bool takingPages_ = false;
    std::vector<std::unique_ptr<xmlbook::Page>> pages_;
    std::exception_ptr pageError_;
    std::size_t declaredText_ = 0;
    unsigned depth_ = 0;
};

}  // namespace bookparser
