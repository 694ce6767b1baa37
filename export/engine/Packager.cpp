#include "export/engine/Packager.h"

#include "export/engine/PartWriters.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace engine::detail {
namespace {

const std::string kPml = "application/vnd.openxmlformats-officedocument.presentationml.";

// The picture parts in the order the slide writer first uses them, so their
// content types are known before any part is written.
void NameMedia(const Presentation& p, MediaParts& media) {
    for (const auto& slide : p.slides) {
        if (!slide->followMaster && slide->background.visible != false && slide->background.kind == Fill::Kind::Picture)
            media.Name(slide->background.media);
        for (const auto& shape : slide->shapes)
            if (const Picture* pic = shape->AsPicture()) media.Name(pic->media);
    }
}

} // namespace

std::string DocumentDate() {
    std::time_t t = std::time(nullptr);
    if (const char* e = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(e, &end, 10);
        if (*e && end && !*end && errno == 0 && v >= 0 && v < 253402300800LL) t = std::time_t(v);
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

bool WritePackage(const Presentation& p, ZipWriter& zip) {
    MediaParts media(p.media);
    NameMedia(p, media);

    ContentTypes types;
    types.AddDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
    types.AddDefault("xml", "application/xml");
    for (MediaId id : media.InOrder()) types.AddDefault(p.media.Item(id).extension, p.media.Item(id).contentType);
    types.AddOverride("/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
    types.AddOverride("/docProps/app.xml", "application/vnd.openxmlformats-officedocument.extended-properties+xml");
    types.AddOverride("/ppt/presentation.xml", kPml + "presentation.main+xml");
    types.AddOverride("/ppt/presProps.xml", kPml + "presProps+xml");
    types.AddOverride("/ppt/viewProps.xml", kPml + "viewProps+xml");
    types.AddOverride("/ppt/tableStyles.xml", kPml + "tableStyles+xml");
    types.AddOverride("/ppt/theme/theme1.xml", "application/vnd.openxmlformats-officedocument.theme+xml");
    types.AddOverride("/ppt/slideMasters/slideMaster1.xml", kPml + "slideMaster+xml");
    types.AddOverride("/ppt/slideLayouts/slideLayout1.xml", kPml + "slideLayout+xml");
    for (std::size_t i = 0; i < p.slides.size(); ++i)
        types.AddOverride("/ppt/slides/slide" + std::to_string(i + 1) + ".xml", kPml + "slide+xml");

    Relationships root;
    root.Add(rel::kOfficeDocument, "ppt/presentation.xml");
    root.Add(rel::kCoreProperties, "docProps/core.xml");
    root.Add(rel::kExtendedProperties, "docProps/app.xml");

    Relationships presRels;
    PresentationPartData pres{p.width, p.height, presRels.Add(rel::kSlideMaster, "slideMasters/slideMaster1.xml"), {}};
    for (std::size_t i = 0; i < p.slides.size(); ++i)
        pres.slideRelIds.push_back(presRels.Add(rel::kSlide, "slides/slide" + std::to_string(i + 1) + ".xml"));
    presRels.Add(rel::kPresProps, "presProps.xml");
    presRels.Add(rel::kViewProps, "viewProps.xml");
    presRels.Add(rel::kTheme, "theme/theme1.xml");
    presRels.Add(rel::kTableStyles, "tableStyles.xml");

    Relationships masterRels;
    const std::string layoutId = masterRels.Add(rel::kSlideLayout, "../slideLayouts/slideLayout1.xml");
    masterRels.Add(rel::kTheme, "../theme/theme1.xml");
    Relationships layoutRels;
    layoutRels.Add(rel::kSlideMaster, "../slideMasters/slideMaster1.xml");

    bool ok = zip.Add("[Content_Types].xml", types.Write()) && zip.Add("_rels/.rels", root.Write()) &&
              zip.Add("docProps/core.xml", WriteCoreProperties({p.title, DocumentDate(), DocumentAuthor()})) &&
              zip.Add("docProps/app.xml", WriteAppProperties(p.slides.size())) &&
              zip.Add("ppt/presentation.xml", WritePresentation(pres)) &&
              zip.Add("ppt/_rels/presentation.xml.rels", presRels.Write()) &&
              zip.Add("ppt/presProps.xml", WritePresProps()) && zip.Add("ppt/viewProps.xml", WriteViewProps()) &&
              zip.Add("ppt/tableStyles.xml", WriteTableStyles()) && zip.Add("ppt/theme/theme1.xml", WriteTheme()) &&
              zip.Add("ppt/slideMasters/slideMaster1.xml", WriteMaster(layoutId)) &&
              zip.Add("ppt/slideMasters/_rels/slideMaster1.xml.rels", masterRels.Write()) &&
              zip.Add("ppt/slideLayouts/slideLayout1.xml", WriteLayout()) &&
              zip.Add("ppt/slideLayouts/_rels/slideLayout1.xml.rels", layoutRels.Write());
    // One slide at a time: only the part being written is held.
    for (std::size_t i = 0; ok && i < p.slides.size(); ++i) {
        const std::string name = "slide" + std::to_string(i + 1) + ".xml";
        Relationships rels;
        rels.Add(rel::kSlideLayout, "../slideLayouts/slideLayout1.xml");
        ok = zip.Add("ppt/slides/" + name, WriteSlide(*p.slides[i], rels, media)) &&
             zip.Add("ppt/slides/_rels/" + name + ".rels", rels.Write());
    }
    for (MediaId id : media.InOrder()) {
        if (!ok) break;
        ok = zip.AddStored("ppt/media/" + media.Name(id), p.media.Item(id).size,
                           [&](const ChunkSink& sink) { return p.media.Stream(id, sink); });
    }
    return ok;
}

} // namespace engine::detail
