#pragma once
// One writer per package part: each takes plain data of the model and gives
// the part's text, elements in schema order, through XmlWriter.
#include "export/engine/Model.h"
#include "export/engine/PackageRelations.h"
#include "export/engine/XmlWriter.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace engine::detail {

namespace ns {
inline constexpr const char* kA = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kP = "http://schemas.openxmlformats.org/presentationml/2006/main";
} // namespace ns

inline long long Emu(double points) { return std::llround(points * 12700.0); }

// The media parts of the package, named in the order of first use.
class MediaParts {
public:
    explicit MediaParts(const MediaStore& store) : m_store(store) {}
    // "imageN.ext", given a number on first use.
    const std::string& Name(MediaId id);
    const std::vector<MediaId>& InOrder() const { return m_order; }
private:
    const MediaStore& m_store;
    std::map<MediaId, std::string> m_names;
    std::vector<MediaId> m_order;
};

// The three namespaces of a presentation part on its root element.
void StartRoot(XmlWriter& x, const char* name);
void SolidFill(XmlWriter& x, ColorRef color);
// The empty group properties that open every shape tree.
void ShapeTreeStart(XmlWriter& x);
// The nine levels of a text style list.
void TextStyleLevels(XmlWriter& x);

struct PresentationPartData {
    float width = 720, height = 540;
    std::string masterRelId;
    std::vector<std::string> slideRelIds; // in slide order
};
std::string WritePresentation(const PresentationPartData& data);
std::string WritePresProps();
std::string WriteViewProps();
std::string WriteTableStyles();

// Adds the relationships of its pictures to rels.
std::string WriteSlide(const Slide& slide, Relationships& rels, MediaParts& media);
void WriteTextBody(XmlWriter& x, const TextBox& box);

std::string WriteMaster(const std::string& layoutRelId);
std::string WriteLayout();
std::string WriteTheme();

struct CoreProperties {
    std::string title;   // none written when empty
    std::string created; // W3CDTF, also the modification date
    std::string creator; // none written when empty
};
// Who converted: the full name of the user from the password database, else
// the login name; empty when the system knows neither.
std::string DocumentAuthor();
std::string WriteCoreProperties(const CoreProperties& core);
std::string WriteAppProperties(std::size_t slideCount);

} // namespace engine::detail
