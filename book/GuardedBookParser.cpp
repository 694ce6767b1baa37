#include "book/GuardedBookParser.h"

#include "book/BookReader.h"
#include "book/NumberAttributes.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

namespace bookparser {

using namespace xercesc;

const xml_schema::flags kBookTreeFlags = xml_schema::flags::dont_initialize | xml_schema::flags::dont_validate;

std::vector<std::unique_ptr<xmlbook::Page>> GuardedBookParser::TakePages()
{
    if (pageError_) {
        std::rethrow_exception(pageError_);
    }
    return std::move(pages_);
}

void GuardedBookParser::docCharacters(const XMLCh* chars, XMLSize_t length, bool cdataSection)
{
    if (cdataSection) {
        FlushText();
        DOMLSParserImpl::docCharacters(chars, length, true);
    } else {
        pendingText_.append(chars, length);
    }
}

void GuardedBookParser::docComment(const XMLCh* comment)
{
    FlushText();
    DOMLSParserImpl::docComment(comment);
}

void GuardedBookParser::docPI(const XMLCh* target, const XMLCh* data)
{
    FlushText();
    DOMLSParserImpl::docPI(target, data);
}

void GuardedBookParser::ignorableWhitespace(const XMLCh* chars, XMLSize_t length, bool cdataSection)
{
    FlushText();
    DOMLSParserImpl::ignorableWhitespace(chars, length, cdataSection);
}

void GuardedBookParser::startEntityReference(const XMLEntityDecl& decl)
{
    FlushText();
    DOMLSParserImpl::startEntityReference(decl);
}

void GuardedBookParser::endEntityReference(const XMLEntityDecl& decl)
{
    FlushText();
    DOMLSParserImpl::endEntityReference(decl);
}

void GuardedBookParser::endDocument()
{
    FlushText();
    DOMLSParserImpl::endDocument();
}

void GuardedBookParser::entityDecl(const DTDEntityDecl& decl, bool isPEDecl, bool isIgnored)
{
    declaredText_ += decl.getValueLen();
    if (declaredText_ > kMaxDeclaredEntityText) {
        throw EntityTextTooLarge();
    }
    DOMLSParserImpl::entityDecl(decl, isPEDecl, isIgnored);
}

// The base class ends an empty element through endElement as well, so the
// depth stays balanced.
void GuardedBookParser::startElement(const XMLElementDecl& decl, unsigned int urlId, const XMLCh* prefix,
                                     const RefVectorOf<XMLAttr>& attributes, XMLSize_t attributeCount,
                                     bool isEmpty, bool isRoot)
{
    if (++depth_ > kMaxBookNesting) {
        throw NestingTooDeep();
    }
    FlushText();
    if (isRoot) {
        // The base class ends an empty root right away; decide first.
        takingPages_ = IsUnqualified(decl.getBaseName(), urlId, u"book");
    }
    DOMLSParserImpl::startElement(decl, urlId, prefix, attributes, attributeCount, isEmpty, isRoot);
}

void GuardedBookParser::endElement(const XMLElementDecl& decl, unsigned int urlId, bool isRoot,
                                   const XMLCh* prefix)
{
    --depth_;
    FlushText();
    DOMLSParserImpl::endElement(decl, urlId, isRoot, prefix);
    if (depth_ == 1 && takingPages_) {
        TakeRootChild(decl.getBaseName(), urlId);
    }
}

bool GuardedBookParser::IsUnqualified(const XMLCh* name, unsigned urlId, std::u16string_view wanted) const
{
    return name != nullptr && name == wanted && urlId == getScanner()->getEmptyNamespaceId();
}

void GuardedBookParser::TakeRootChild(const XMLCh* name, unsigned urlId)
{
    if (!IsUnqualified(name, urlId, u"page")) {
        takingPages_ = IsUnqualified(name, urlId, u"textures");
        return;
    }
    auto* page = static_cast<DOMElement*>(fCurrentNode);
    if (!pageError_) {
        try {
            FixMalformedNumbers(*page);
            pages_.push_back(std::make_unique<xmlbook::Page>(*page, kBookTreeFlags));
        } catch (const xml_schema::exception&) {
            // Reported after the parse: a document that is not well-formed
            // further on fails as such.
            pageError_ = std::current_exception();
        }
    }
    fCurrentParent->removeChild(page);
    page->release();
    fCurrentNode = fCurrentParent;
}

void GuardedBookParser::FlushText()
{
    if (!pendingText_.empty()) {
        DOMLSParserImpl::docCharacters(pendingText_.data(), pendingText_.size(), false);
        pendingText_.clear();
    }
}

}  // namespace bookparser
