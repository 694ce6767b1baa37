#pragma once
// The package as one list of parts: each part's name, content type, the
// relationships that point at it and the writer of its text. The zip
// entries, the content types and every relationship target derive from it,
// so a new part is one more row.
#include "export/engine/parts/Model.h"
#include "export/engine/package/Relationships.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace engine::detail {

// What a part's writer is given: the presentation, the slide (for a part
// written once per slide) and the part's own relationships, ids assigned.
struct PartContext {
    const Presentation& presentation;
    std::size_t slide;
    const Relationships& relationships;
};

// A relationship pointing at a part: from which part (by name; empty for the
// package itself), of which type, and its place among that part's
// relationships (lower first; equal places keep the order of the parts).
struct RelatedFrom {
    std::string source;
    std::string type;
    int place = 0;
};

struct PartRow {
    // The name within the package, without the leading slash. A '#' makes
    // the row one part per slide, numbered from 1.
    std::string name;
    std::string contentType;
    std::vector<RelatedFrom> relatedFrom;
    std::function<std::string(const PartContext&)> write;
    // Relates to the pictures its slide shows (MediaUsedBy), after the
    // relationships of the table.
    bool showsSlidePictures = false;

    bool PerSlide() const { return name.find('#') != std::string::npos; }
};

// The parts of every presentation, in the order they are written.
const std::vector<PartRow>& StandardParts();

// The folder of the picture parts.
inline constexpr const char* kMediaFolder = "ppt/media/";

// The default content types: relationship parts and plain XML.
inline constexpr const char* kRelationshipsExtension = "rels";
inline constexpr const char* kRelationshipsType = "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr const char* kXmlExtension = "xml";
inline constexpr const char* kXmlType = "application/xml";

// The creation date of the core properties: SOURCE_DATE_EPOCH when it is a
// valid time, else now.
std::string DocumentDate();

}  // namespace engine::detail
