#include "export/engine/package/Packager.h"

#include "export/engine/package/ContentTypes.h"
#include "export/engine/parts/PartWriters.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace engine::detail {
namespace {

// The picture parts of the package, named in the order of first use.
class MediaParts {
public:
    explicit MediaParts(const MediaStore& store) : m_store(store) {}
    // The part's name, given a number on first use.
    const std::string& Name(MediaId id)
    {
        auto it = m_names.find(id);
        if (it == m_names.end()) {
            const std::string name =
                kMediaFolder + ("image" + std::to_string(m_names.size() + 1)) + "." + m_store.Item(id).extension;
            it = m_names.emplace(id, name).first;
            m_order.push_back(id);
        }
        return it->second;
    }
    const std::vector<MediaId>& InOrder() const { return m_order; }

private:
    const MediaStore& m_store;
    std::map<MediaId, std::string> m_names;
    std::vector<MediaId> m_order;
};

// One part to write: a row of the table, for one slide when it is one part
// per slide.
struct Part {
    const PartRow* row;
    std::size_t slide;
    std::string name;
};

std::string NameFor(const PartRow& row, std::size_t slide)
{
    std::string name = row.name;
    if (const auto hash = name.find('#'); hash != std::string::npos)
        name.replace(hash, 1, std::to_string(slide + 1));
    return name;
}

std::vector<Part> PartsOf(const std::vector<PartRow>& rows, std::size_t slides)
{
    std::vector<Part> parts;
    for (const PartRow& row : rows) {
        if (row.PerSlide())
            for (std::size_t i = 0; i < slides; ++i)
                parts.push_back({&row, i, NameFor(row, i)});
        else
            parts.push_back({&row, 0, row.name});
    }
    return parts;
}

std::string FolderOf(const std::string& name) { return name.substr(0, name.rfind('/') + 1); }

// A relationship's target: the target part's name relative to the folder
// of the part that relates to it.
std::string RelativeTarget(const std::string& source, const std::string& target)
{
    std::string folder = FolderOf(source), up;
    while (target.compare(0, folder.size(), folder) != 0) {
        folder = FolderOf(folder.substr(0, folder.size() - 1));
        up += "../";
    }
    return up + target.substr(folder.size());
}

// The relationships part of a part ("" for the package itself).
std::string RelationshipsPartOf(const std::string& name)
{
    const std::string folder = FolderOf(name);
    return folder + "_rels/" + name.substr(folder.size()) + ".rels";
}

// The relationships the rows give from source (a row's name, "" for the
// package), in their places; a part per slide relates only from a part that
// is not.
Relationships RelationshipsFrom(const std::string& source, const std::string& sourceName,
                                const std::vector<PartRow>& rows, std::size_t slides)
{
    struct Pending {
        int place;
        std::string type, target;
    };
    std::vector<Pending> pending;
    for (const PartRow& row : rows)
        for (const RelatedFrom& from : row.relatedFrom) {
            if (from.source != source)
                continue;
            if (!row.PerSlide()) {
                pending.push_back({from.place, from.type, row.name});
                continue;
            }
            if (source.find('#') != std::string::npos)
                throw std::logic_error("a part per slide relating to another: " + row.name);
            for (std::size_t i = 0; i < slides; ++i)
                pending.push_back({from.place, from.type, NameFor(row, i)});
        }
    std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) { return a.place < b.place; });
    Relationships rels;
    for (const Pending& p : pending)
        rels.Add(p.type, RelativeTarget(sourceName, p.target));
    return rels;
}

}  // namespace

bool WritePackage(const Presentation& p, ZipWriter& zip, const std::vector<PartRow>& rows)
{
    const std::vector<Part> parts = PartsOf(rows, p.slides.size());
    MediaParts media(p.media);
    for (const auto& slide : p.slides)
        for (MediaId id : MediaUsedBy(*slide).InOrder())
            media.Name(id);

    ContentTypes types;
    types.AddDefault(kRelationshipsExtension, kRelationshipsType);
    types.AddDefault(kXmlExtension, kXmlType);
    for (MediaId id : media.InOrder())
        types.AddDefault(p.media.Item(id).extension, p.media.Item(id).contentType);
    for (const Part& part : parts)
        types.AddOverride("/" + part.name, part.row->contentType);

    bool ok = zip.Add("[Content_Types].xml", types.Write()) && zip.Add(RelationshipsPartOf(""), RelationshipsFrom("", "", rows, p.slides.size()).Write());
    // One part at a time: only the part being written is held.
    for (std::size_t i = 0; ok && i < parts.size(); ++i) {
        const Part& part = parts[i];
        Relationships rels = RelationshipsFrom(part.row->name, part.name, rows, p.slides.size());
        if (part.row->showsSlidePictures && part.row->PerSlide())
            for (MediaId id : MediaUsedBy(*p.slides[part.slide]).InOrder())
                rels.Add(rel::kImage, RelativeTarget(part.name, media.Name(id)));
        ok = zip.Add(part.name, part.row->write({p, part.slide, rels})) && (rels.Empty() || zip.Add(RelationshipsPartOf(part.name), rels.Write()));
    }
    for (MediaId id : media.InOrder()) {
        if (!ok)
            break;
        ok = zip.AddStored(media.Name(id), p.media.Item(id).size,
                           [&](const ChunkSink& sink) { return p.media.Stream(id, sink); });
    }
    return ok;
}

}  // namespace engine::detail
