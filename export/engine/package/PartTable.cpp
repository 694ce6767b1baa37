#include "export/engine/package/PartTable.h"

#include "export/engine/parts/PartWriters.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace engine::detail {
namespace {

const std::string kPml = "application/vnd.openxmlformats-officedocument.presentationml.";

// The names that other rows relate from.
const std::string kPackage;
const std::string kPresentation = "ppt/presentation.xml";
const std::string kMaster = "ppt/slideMasters/slideMaster1.xml";
const std::string kLayout = "ppt/slideLayouts/slideLayout1.xml";
const std::string kSlide = "ppt/slides/slide#.xml";

std::vector<PartRow> MakeStandardParts()
{
    return {
        {"docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml", {{kPackage, rel::kCoreProperties, 2}}, [](const PartContext& c) { return WriteCoreProperties({c.presentation.title, DocumentDate(), DocumentAuthor()}); }},
        {"docProps/app.xml", "application/vnd.openxmlformats-officedocument.extended-properties+xml", {{kPackage, rel::kExtendedProperties, 3}}, [](const PartContext& c) { return WriteAppProperties(c.presentation.slides.size()); }},
        {kPresentation, kPml + "presentation.main+xml", {{kPackage, rel::kOfficeDocument, 1}}, [](const PartContext& c) {
             return WritePresentation({c.presentation.width, c.presentation.height,
                                       c.relationships.IdOf(rel::kSlideMaster), c.relationships.IdsOf(rel::kSlide)});
         }},
        {"ppt/presProps.xml", kPml + "presProps+xml", {{kPresentation, rel::kPresProps, 3}}, [](const PartContext&) { return WritePresProps(); }},
        {"ppt/viewProps.xml", kPml + "viewProps+xml", {{kPresentation, rel::kViewProps, 4}}, [](const PartContext&) { return WriteViewProps(); }},
        {"ppt/tableStyles.xml", kPml + "tableStyles+xml", {{kPresentation, rel::kTableStyles, 6}}, [](const PartContext&) { return WriteTableStyles(); }},
        {"ppt/theme/theme1.xml", "application/vnd.openxmlformats-officedocument.theme+xml", {{kPresentation, rel::kTheme, 5}, {kMaster, rel::kTheme, 2}}, [](const PartContext&) { return WriteTheme(); }},
        {kMaster, kPml + "slideMaster+xml", {{kPresentation, rel::kSlideMaster, 1}, {kLayout, rel::kSlideMaster, 1}}, [](const PartContext& c) { return WriteMaster(c.relationships.IdOf(rel::kSlideLayout)); }},
        {kLayout, kPml + "slideLayout+xml", {{kMaster, rel::kSlideLayout, 1}, {kSlide, rel::kSlideLayout, 1}}, [](const PartContext&) { return WriteLayout(); }},
        {kSlide, kPml + "slide+xml", {{kPresentation, rel::kSlide, 2}}, [](const PartContext& c) {
             return WriteSlide(*c.presentation.slides[c.slide], c.relationships.IdsOf(rel::kImage));
         },
         true},
    };
}

}  // namespace

const std::vector<PartRow>& StandardParts()
{
    static const std::vector<PartRow> parts = MakeStandardParts();
    return parts;
}

std::string DocumentDate()
{
    std::time_t t = std::time(nullptr);
    if (const char* e = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(e, &end, 10);
        if (*e && end && !*end && errno == 0 && v >= 0 && v < 253402300800LL)
            t = std::time_t(v);
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

}  // namespace engine::detail
