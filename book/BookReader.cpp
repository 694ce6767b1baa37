#include "book/BookReader.h"
#include "book/NumberAttributes.h"

#include <exception>
#include <fstream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMLSException.hpp>
#include <xercesc/dom/DOMLSResourceResolver.hpp>
#include <xercesc/dom/DOMLocator.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/DOMLSParserImpl.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include <xsd/cxx/xml/string.hxx>

namespace bookparser {
namespace {

using namespace xercesc;

// Reference-counted by Xerces, so nesting with other users is harmless.
class XercesPlatform {
public:
    XercesPlatform() { XMLPlatformUtils::Initialize("en_US"); }
    ~XercesPlatform() { XMLPlatformUtils::Terminate(); }
    XercesPlatform(const XercesPlatform&) = delete;
    XercesPlatform& operator=(const XercesPlatform&) = delete;
};

// Returning nothing with default entity resolution disabled means no DTD,
// entity or schema outside the document is ever opened.
class NoResourceResolver : public DOMLSResourceResolver {
public:
    DOMLSInput* resolveResource(const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*,
                                const XMLCh*) override {
        return nullptr;
    }
};

// Collects the parser's diagnostics. Parsing stops at the first error: a
// document that is going to be rejected anyway is not worth more work, and an
// entity-expansion error must not let the expansion go on.
class DiagnosticsCollector : public DOMErrorHandler {
public:
    bool handleError(const DOMError& e) override {
        xml_schema::severity severity = xml_schema::severity::error;
        switch (e.getSeverity()) {
        case DOMError::DOM_SEVERITY_WARNING: severity = xml_schema::severity::warning; break;
        case DOMError::DOM_SEVERITY_ERROR: severity = xml_schema::severity::error; break;
        case DOMError::DOM_SEVERITY_FATAL_ERROR: severity = xml_schema::severity::error; break;
        }
        unsigned long line = 0, column = 0;
        if (const DOMLocator* loc = e.getLocation()) {
            line = static_cast<unsigned long>(loc->getLineNumber());
            column = static_cast<unsigned long>(loc->getColumnNumber());
        }
        Add(severity, line, column, Transcode(e.getMessage()));
        if (severity == xml_schema::severity::warning) {
            return true;
        }
        failed_ = true;
        return false;
    }

    void Add(xml_schema::severity severity, unsigned long line, unsigned long column,
             const std::string& message) {
        // The document is read from memory: it has no system id.
        diagnostics_.push_back(xml_schema::error(severity, std::string(), line, column, message));
    }
    void Fail(const std::string& message) {
        Add(xml_schema::severity::error, 0, 0, message);
        failed_ = true;
    }
    bool Failed() const { return failed_; }
    const xml_schema::diagnostics& Diagnostics() const { return diagnostics_; }

    static std::string Transcode(const XMLCh* text) {
        return text != nullptr ? xsd::cxx::xml::transcode<char>(text) : std::string();
    }

private:
    xml_schema::diagnostics diagnostics_;
    bool failed_ = false;
};

const xml_schema::flags kTreeFlags = xml_schema::flags::dont_initialize | xml_schema::flags::dont_validate;

struct EntityTextTooLarge {};
struct NestingTooDeep {};

// The expansion limit counts expansions, not their size: one large entity
// referenced many times would still blow up. Bound the declared replacement
// text as well, so that expansions × text stays small.
//
// Character data arrives in pieces (split at every entity reference such as
// "&lt;"), and the DOM grows a text node piece by piece, each growth walking
// the document's list of large blocks: quadratic in the book's size. The
// pieces are gathered here and handed over as one before any other event,
// which builds the same tree.
class GuardedLSParser : public DOMLSParserImpl {
public:
    void docCharacters(const XMLCh* const chars, const XMLSize_t length, const bool cdataSection) override {
        if (cdataSection) {
            FlushText();
            DOMLSParserImpl::docCharacters(chars, length, true);
        } else {
            pendingText_.append(chars, length);
        }
    }
    void docComment(const XMLCh* const comment) override {
        FlushText();
        DOMLSParserImpl::docComment(comment);
    }
    void docPI(const XMLCh* const target, const XMLCh* const data) override {
        FlushText();
        DOMLSParserImpl::docPI(target, data);
    }
    void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length, const bool cdataSection) override {
        FlushText();
        DOMLSParserImpl::ignorableWhitespace(chars, length, cdataSection);
    }
    void startEntityReference(const XMLEntityDecl& decl) override {
        FlushText();
        DOMLSParserImpl::startEntityReference(decl);
    }
    void endEntityReference(const XMLEntityDecl& decl) override {
        FlushText();
        DOMLSParserImpl::endEntityReference(decl);
    }
    void endDocument() override {
        FlushText();
        DOMLSParserImpl::endDocument();
    }

    void entityDecl(const DTDEntityDecl& decl, const bool isPEDecl, const bool isIgnored) override {
        declaredText_ += decl.getValueLen();
        if (declaredText_ > kMaxDeclaredEntityText) {
            throw EntityTextTooLarge();
        }
        DOMLSParserImpl::entityDecl(decl, isPEDecl, isIgnored);
    }

    // The base class ends an empty element through endElement as well, so the
    // depth stays balanced.
    void startElement(const XMLElementDecl& decl, const unsigned int urlId, const XMLCh* const prefix,
                      const RefVectorOf<XMLAttr>& attributes, const XMLSize_t attributeCount, const bool isEmpty,
                      const bool isRoot) override {
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
    void endElement(const XMLElementDecl& decl, const unsigned int urlId, const bool isRoot,
                    const XMLCh* const prefix) override {
        --depth_;
        FlushText();
        DOMLSParserImpl::endElement(decl, urlId, isRoot, prefix);
        if (depth_ == 1 && takingPages_) {
            TakeRootChild(decl.getBaseName(), urlId);
        }
    }

    // The pages read so far, in document order; the first page the tree
    // could not read is rethrown instead.
    std::vector<std::unique_ptr<xmlbook::Page>> TakePages() {
        if (pageError_) {
            std::rethrow_exception(pageError_);
        }
        return std::move(pages_);
    }

private:
    bool IsUnqualified(const XMLCh* name, unsigned urlId, std::u16string_view wanted) const {
        return name != nullptr && name == wanted && urlId == getScanner()->getEmptyNamespaceId();
    }

    // Each page is read into the tree as soon as it is complete and its DOM
    // released, so the document never holds more than one page and the
    // released nodes are reused for the next. The tree reads the root's
    // children in order until one is neither a page nor textures, so taking
    // pages stops there too.
    void TakeRootChild(const XMLCh* name, unsigned urlId) {
        if (!IsUnqualified(name, urlId, u"page")) {
            takingPages_ = IsUnqualified(name, urlId, u"textures");
            return;
        }
        auto* page = static_cast<DOMElement*>(fCurrentNode);
        if (!pageError_) {
            try {
                FixMalformedNumbers(*page);
                pages_.push_back(std::make_unique<xmlbook::Page>(*page, kTreeFlags));
            } catch (const xml_schema::exception&) {
                // Reported after the parse: a document that is not
                // well-formed further on fails as such, as before.
                pageError_ = std::current_exception();
            }
        }
        fCurrentParent->removeChild(page);
        page->release();
        fCurrentNode = fCurrentParent;
    }

    void FlushText() {
        if (!pendingText_.empty()) {
            DOMLSParserImpl::docCharacters(pendingText_.data(), pendingText_.size(), false);
            pendingText_.clear();
        }
    }

    std::u16string pendingText_;
    bool takingPages_ = false;
    std::vector<std::unique_ptr<xmlbook::Page>> pages_;
    std::exception_ptr pageError_;
    std::size_t declaredText_ = 0;
    unsigned depth_ = 0;
};

struct ParserRelease {
    void operator()(DOMLSParser* p) const { p->release(); }
};
struct DocumentRelease {
    void operator()(DOMDocument* d) const { d->release(); }
};

std::vector<char> ReadWholeFile(const std::filesystem::path& file, DiagnosticsCollector& diagnostics) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        // A folder or other object named "book": there are no bytes, so the
        // parser reports the document as malformed.
        return {};
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        return {};
    }
    if (size > kMaxBookDocumentBytes) {
        diagnostics.Fail("book description too large");
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes(static_cast<std::size_t>(size));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
}

void Configure(DOMLSParser& parser, DOMErrorHandler& errorHandler,
               DOMLSResourceResolver& resolver, SecurityManager& securityManager) {
    DOMConfiguration* conf = parser.getDomConfig();
    conf->setParameter(XMLUni::fgDOMComments, false);
    conf->setParameter(XMLUni::fgDOMDatatypeNormalization, true);
    conf->setParameter(XMLUni::fgDOMEntities, false);
    conf->setParameter(XMLUni::fgDOMNamespaces, true);
    conf->setParameter(XMLUni::fgDOMElementContentWhitespace, false);
    conf->setParameter(XMLUni::fgDOMValidate, false);
    conf->setParameter(XMLUni::fgXercesSchema, false);
    conf->setParameter(XMLUni::fgXercesSchemaFullChecking, false);
    conf->setParameter(XMLUni::fgXercesLoadSchema, false);
    conf->setParameter(XMLUni::fgXercesUserAdoptsDOMDocument, true);
    conf->setParameter(XMLUni::fgDOMErrorHandler, &errorHandler);

    // Nothing outside the document is read.
    conf->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
    conf->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    conf->setParameter(XMLUni::fgDOMResourceResolver, &resolver);
    conf->setParameter(XMLUni::fgXercesSecurityManager, &securityManager);
}

}  // namespace

std::unique_ptr<xmlbook::Book> ReadBookDocument(const std::filesystem::path& file) {
    DiagnosticsCollector diagnostics;
    const std::vector<char> bytes = ReadWholeFile(file, diagnostics);
    if (diagnostics.Failed()) {
        throw xml_schema::parsing(diagnostics.Diagnostics());
    }

    // Declaration order matters: everything Xerces owns must go before the
    // platform is terminated, and the security manager must outlive the parse.
    XercesPlatform platform;
    NoResourceResolver resolver;
    SecurityManager securityManager;
    securityManager.setEntityExpansionLimit(kEntityExpansionLimit);

    std::unique_ptr<DOMDocument, DocumentRelease> document;
    std::unique_ptr<GuardedLSParser, ParserRelease> parser;
    try {
        parser.reset(new GuardedLSParser());
        Configure(*parser, diagnostics, resolver, securityManager);

        MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(), "book",
                                 false);
        // The bytes outlive the parse: no second copy of the document.
        source.setCopyBufToStream(false);
        Wrapper4InputSource input(&source, false);
        document.reset(parser->parse(&input));
    } catch (const OutOfMemoryException&) {
        throw std::bad_alloc();
    } catch (const EntityTextTooLarge&) {
        diagnostics.Fail("entity declarations too large");
    } catch (const NestingTooDeep&) {
        diagnostics.Fail("elements nested too deeply");
    } catch (const XMLException& e) {
        diagnostics.Fail(DiagnosticsCollector::Transcode(e.getMessage()));
    } catch (const DOMLSException& e) {
        diagnostics.Fail(DiagnosticsCollector::Transcode(e.getMessage()));
    } catch (const DOMException& e) {
        diagnostics.Fail(DiagnosticsCollector::Transcode(e.getMessage()));
    }
    if (diagnostics.Failed() || !document || document->getDocumentElement() == nullptr) {
        if (!diagnostics.Failed()) {
            diagnostics.Fail("no document element");
        }
        throw xml_schema::parsing(diagnostics.Diagnostics());
    }

    std::vector<std::unique_ptr<xmlbook::Page>> pages = parser->TakePages();
    FixMalformedNumbers(*document->getDocumentElement());
    // The tree copies everything it needs; the DOM goes right after.
    std::unique_ptr<xmlbook::Book> book = xmlbook::book(*document, kTreeFlags);
    for (std::unique_ptr<xmlbook::Page>& page : pages) {
        book->page().push_back(std::move(page));
    }
    return book;
}

}  // namespace bookparser
