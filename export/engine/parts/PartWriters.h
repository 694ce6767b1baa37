#pragma once
// One writer per package part: each takes plain data of the model and gives
// the part's text, elements in schema order, through XmlWriter.
#include "export/engine/parts/Model.h"
#include "export/engine/parts/XmlWriter.h"

#include <string>
#include <vector>

namespace engine::detail {

struct PresentationPartData {
    float width = 720, height = 540;
    std::string masterRelId;
    std::vector<std::string> slideRelIds;  // in slide order
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
    std::string title;  // none written when empty
    std::string created;  // W3CDTF, also the modification date
    std::string creator;  // none written when empty
};
// Who converted: the full name of the user from the password database, else
// the login name; empty when the system knows neither.
std::string DocumentAuthor();
std::string WriteCoreProperties(const CoreProperties& core);
std::string WriteAppProperties(std::size_t slideCount);

}  // namespace engine::detail
