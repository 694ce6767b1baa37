// The document properties: core (title, dates) and extended (the program).
#include "export/engine/parts/PartWriters.h"

#include "export/engine/parts/DrawingML.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace engine::detail {

std::string DocumentAuthor()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        // The comment field holds the full name first, then office and
        // telephone details after commas.
        std::string name(found->pw_gecos ? found->pw_gecos : "");
        name = name.substr(0, name.find(','));
        if (!name.empty())
            return name;
        if (found->pw_name && *found->pw_name)
            return found->pw_name;
    }
    char login[256] = {};
    return ::getlogin_r(login, sizeof login) == 0 ? std::string(login) : std::string();
}

std::string WriteCoreProperties(const CoreProperties& core)
{
    std::string out;
    XmlWriter x(out);
    x.Start("cp:coreProperties").Attr("xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties").Attr("xmlns:dc", "http://purl.org/dc/elements/1.1/").Attr("xmlns:dcterms", "http://purl.org/dc/terms/").Attr("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    if (!core.title.empty())
        x.Start("dc:title").Text(core.title).End("dc:title");
    if (!core.creator.empty())
        x.Start("dc:creator").Text(core.creator).End("dc:creator");
    x.Start("dcterms:created").Attr("xsi:type", "dcterms:W3CDTF").Text(core.created).End("dcterms:created");
    x.Start("dcterms:modified").Attr("xsi:type", "dcterms:W3CDTF").Text(core.created).End("dcterms:modified");
    x.End("cp:coreProperties").Finish();
    return out;
}

std::string WriteAppProperties(std::size_t slideCount)
{
    std::string out;
    XmlWriter x(out);
    x.Start("Properties").Attr("xmlns", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties");
    x.Start("Application").Text("Tralvex").End("Application");
    x.Start("Slides").Text(std::to_string(slideCount)).End("Slides");
    x.End("Properties").Finish();
    return out;
}

}  // namespace engine::detail
