#pragma once
// The in-memory presentation behind the automation objects: plain typed data
// that the part writers read.
#include "export/engine/parts/MediaStore.h"
#include "export/engine/parts/TextBody.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace engine::detail {

struct Fill {
    enum class Kind { Unset,
                      Solid,
                      Picture } kind = Kind::Unset;
    ColorRef color = 0;
    MediaId media = kNoMedia;
    std::optional<bool> visible;  // set only by a call
};

struct Rect {
    float left = 0, top = 0, width = 0, height = 0;
};

struct Insets {
    float left = 7.2f, right = 7.2f, top = 3.6f, bottom = 3.6f;
};

// Points of the picture's native size cut from each side.
struct Crop {
    float left = 0, right = 0, top = 0, bottom = 0;
    bool Any() const { return left != 0 || right != 0 || top != 0 || bottom != 0; }
};

enum class AutoSize { None = ppAutoSizeNone,
                      ShapeToFitText = ppAutoSizeShapeToFitText };

struct TextBox {
    TextBody text;
    Insets insets;
    AutoSize autoSize = AutoSize::ShapeToFitText;
};

struct Picture {
    MediaId media = kNoMedia;
    float nativeWidth = 0, nativeHeight = 0;
    Crop crop;
};

struct Shape {
    int id = 0;
    Rect frame;
    Fill fill;
    std::optional<bool> lineVisible;
    std::variant<TextBox, Picture> content;

    TextBox* AsTextBox() { return std::get_if<TextBox>(&content); }
    Picture* AsPicture() { return std::get_if<Picture>(&content); }
    const TextBox* AsTextBox() const { return std::get_if<TextBox>(&content); }
    const Picture* AsPicture() const { return std::get_if<Picture>(&content); }
};

struct Slide {
    bool followMaster = true;
    Fill background;
    std::vector<std::shared_ptr<Shape>> shapes;
    int nextId = 2;  // 1 is the shape tree
};

struct Presentation {
    bool closed = false;
    float width = 720, height = 540;
    std::string title;
    std::vector<std::shared_ptr<Slide>> slides;
    MediaStore media;
};

}  // namespace engine::detail
