#include "book/BookReader.h"
#include "book/GuardedBookParser.h"
#include "book/NumberAttributes.h"
#include "files/FileDescriptor.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMLSException.hpp>
#include <xercesc/dom/DOMLSResourceResolver.hpp>
#include <xercesc/dom/DOMLocator.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/parsers/DOMLSParserImpl.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PanicHandler.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <xsd/cxx/xml/string.hxx>

namespace bookparser {
namespace {

using namespace xercesc;

// Xerces's own panic handler prints a line and ends the process, so a
// conversion under a tight memory limit would vanish as a crash. A panic
// becomes an exception instead: running out of memory as such, anything else
// with Xerces's reason.
class ThrowingPanicHandler : public PanicHandler {
public:
    void panic(const PanicReasons reason) override
    {
        if (errno == ENOMEM)
            throw std::bad_alloc();
        throw std::runtime_error(std::string("the XML parser cannot start: ") + getPanicReasonString(reason));
    }
};

// Returning nothing with default entity resolution disabled means no DTD,
// entity or schema outside the document is ever opened.
class NoResourceResolver : public DOMLSResourceResolver {
public:
    DOMLSInput* resolveResource(const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*,
                                const XMLCh*) override
    {
        return nullptr;
    }
};

// Collects the parser's diagnostics. Parsing stops at the first error: a
// document that is going to be rejected anyway is not worth more work, and an
// entity-expansion error must not let the expansion go on.
class DiagnosticsCollector : public DOMErrorHandler {
public:
    bool handleError(const DOMError& e) override
    {
        xml_schema::severity severity = xml_schema::severity::error;
        switch (e.getSeverity()) {
        case DOMError::DOM_SEVERITY_WARNING:
            severity = xml_schema::severity::warning;
            break;
        case DOMError::DOM_SEVERITY_ERROR:
            severity = xml_schema::severity::error;
            break;
        case DOMError::DOM_SEVERITY_FATAL_ERROR:
            severity = xml_schema::severity::error;
            break;
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
             const std::string& message)
    {
        // The document is read from memory: it has no system id.
        diagnostics_.push_back(xml_schema::error(severity, std::string(), line, column, message));
    }
    void Fail(const std::string& message)
    {
        Add(xml_schema::severity::error, 0, 0, message);
        failed_ = true;
    }
    bool Failed() const { return failed_; }
    const xml_schema::diagnostics& Diagnostics() const { return diagnostics_; }

    static std::string Transcode(const XMLCh* text)
    {
        return text != nullptr ? xsd::cxx::xml::transcode<char>(text) : std::string();
    }

private:
    xml_schema::diagnostics diagnostics_;
    bool failed_ = false;
};

struct ParserRelease {
    void operator()(DOMLSParser* p) const { p->release(); }
};
struct DocumentRelease {
    void operator()(DOMDocument* d) const { d->release(); }
};

std::vector<char> ReadWholeFile(const std::filesystem::path& file, DiagnosticsCollector& diagnostics)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        diagnostics.Fail(ec ? "it cannot be read: " + ec.message() : std::string("it is not a file"));
        return {};
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        diagnostics.Fail("it cannot be read: " + ec.message());
        return {};
    }
    if (size > kMaxBookDocumentBytes) {
        diagnostics.Fail("it is larger than " + std::to_string(kMaxBookDocumentBytes >> 20) + " MiB");
        return {};
    }
    files::Fd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::vector<char> bytes(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (in.Valid() && got < bytes.size()) {
        const ssize_t n = files::ReadSome(in.Get(), bytes.data() + got, bytes.size() - got);
        if (n <= 0) {
            if (n < 0) {
                diagnostics.Fail("it cannot be read: " + std::string(std::strerror(errno)));
            }
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    if (!in.Valid()) {
        diagnostics.Fail("it cannot be read: " + std::string(std::strerror(errno)));
    }
    bytes.resize(got);
    return bytes;
}

void Configure(DOMLSParser& parser, DOMErrorHandler& errorHandler,
               DOMLSResourceResolver& resolver, SecurityManager& securityManager)
{
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

// Reference-counted by Xerces, so nesting with other users is harmless.
XmlParserStarted::XmlParserStarted()
{
    static ThrowingPanicHandler panicHandler;
    XMLPlatformUtils::Initialize("en_US", nullptr, &panicHandler);
}

XmlParserStarted::~XmlParserStarted()
{
    XMLPlatformUtils::Terminate();
}

std::unique_ptr<xmlbook::Book> ReadBookDocument(const std::filesystem::path& file)
{
    DiagnosticsCollector diagnostics;
    const std::vector<char> bytes = ReadWholeFile(file, diagnostics);
    if (diagnostics.Failed()) {
        throw xml_schema::parsing(diagnostics.Diagnostics());
    }

    // Declaration order matters: everything Xerces owns must go before the
    // platform is terminated, and the security manager must outlive the parse.
    XmlParserStarted platform;
    NoResourceResolver resolver;
    SecurityManager securityManager;
    securityManager.setEntityExpansionLimit(kEntityExpansionLimit);

    std::unique_ptr<DOMDocument, DocumentRelease> document;
    std::unique_ptr<GuardedBookParser, ParserRelease> parser;
    try {
        parser.reset(new GuardedBookParser());
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
    std::unique_ptr<xmlbook::Book> book = xmlbook::book(*document, kBookTreeFlags);
    for (std::unique_ptr<xmlbook::Page>& page : pages) {
        book->page().push_back(std::move(page));
    }
    return book;
}

}  // namespace bookparser
