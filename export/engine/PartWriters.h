#pragma once
// One writer per package part: each takes plain data of the model and gives
// the part's text, elements in schema order, through XmlWriter.
#include "export/engine/Model.h"
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

// The pictures a slide part refers to, in the order of its relationships to
// them: the background's (a relationship of its own), then each picture of
// its shapes once.
struct SlideMedia {
    MediaId background = kNoMedia;
    std::vector<MediaId> pictures;
    std::vector<MediaId> InOrder() const;
};
SlideMedia MediaUsedBy(const Slide& slide);

// mediaRelIds: the ids of the slide's relationships to MediaUsedBy(slide).
std::string WriteSlide(const Slide& slide, const std::vector<std::string>& mediaRelIds);
void WriteTextBody(XmlWriter& x, const TextBox& box);

std::string WriteMaster(const std::string& layoutRelId);
std::string WriteLayout();
std::string WriteTheme();

struct CoreProperties {
    std::string title;   // none written when empty
    std::string created; // W3CDTF, also the modification date
};
std::string WriteCoreProperties(const CoreProperties& core);
std::string WriteAppProperties(std::size_t slideCount);

} // namespace engine::detail
