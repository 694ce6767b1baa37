#pragma once
// The in-memory presentation behind the automation objects.
#include "export/engine/Automation.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::detail {

struct Media {
    std::string bytes;
    std::string extension;
    std::string contentType;
};

struct Fill {
    enum class Kind { Unset, Solid, Picture } kind = Kind::Unset;
    ColorRef color = 0;
    int media = -1;
    bool visible = true;
    bool visibleSet = false;
};

struct CharProps {
    std::optional<bool> bold, italic;
    std::optional<int> underline;
    std::optional<float> kerning, spacing, size;
    std::optional<ColorRef> color;
    std::optional<std::string> name;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    std::optional<int> alignment;
    std::optional<float> spaceWithin;
};

// Text as UTF-16 units; '\r' ends a paragraph, so paras has one entry more
// than there are marks.
struct Text {
    std::u16string chars;
    std::vector<CharProps> props;
    std::vector<ParaProps> paras{1};
};

struct Shape {
    bool picture = false;
    int id = 0;
    float left = 0, top = 0, width = 0, height = 0;
    Fill fill;
    std::optional<bool> lineVisible;
    Text text;
    float margin[4] = {7.2f, 7.2f, 3.6f, 3.6f}; // left, right, top, bottom
    int autoSize = ppAutoSizeShapeToFitText;
    int media = -1;
    float nativeWidth = 0, nativeHeight = 0;
    float crop[4] = {0, 0, 0, 0}; // left, right, top, bottom
};

struct Slide {
    bool followMaster = true;
    Fill background;
    std::vector<std::shared_ptr<Shape>> shapes;
    int nextId = 2;
};

struct Presentation {
    bool closed = false;
    float width = 720, height = 540;
    std::vector<std::shared_ptr<Slide>> slides;
    std::vector<Media> media;
    std::map<std::string, int> mediaByContent;
};

// Reads an image (header only for its size) and stores its bytes once.
int AddMedia(Presentation& p, const std::filesystem::path& file, float* nativeWidth, float* nativeHeight);

// Writes the package; false on any failure, leaving no file behind.
// replaceExisting: rename over an existing file instead of refusing it.
bool SavePackage(const Presentation& p, const std::filesystem::path& file, bool replaceExisting) noexcept;

} // namespace engine::detail
