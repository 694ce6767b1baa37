#pragma once
#include <filesystem>
#include <memory>
#include <optional>

#include "text/FormattedText.h"

namespace bookparser {

enum class PageObjectType { Picture = 0,
                            Text = 1 };

// A page object's rectangle, in points.
struct Rect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// The visible part of a picture, as fractions of the image's width and
// height, each in [0, 1].
struct CropRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

class BasePageObject {
public:
    virtual ~BasePageObject() = default;
    virtual PageObjectType GetType() const = 0;
    const Rect& GetRect() const { return rect_; }

    BasePageObject(const BasePageObject&) = delete;
    BasePageObject& operator=(const BasePageObject&) = delete;

protected:
    explicit BasePageObject(const Rect& rect) : rect_(rect) {}

private:
    Rect rect_;
};

class PictureObject : public BasePageObject {
public:
    PictureObject(const Rect& rect, std::filesystem::path path, std::optional<CropRect> crop)
        : BasePageObject(rect), path_(std::move(path)), crop_(crop) {}

    PageObjectType GetType() const override { return PageObjectType::Picture; }

    // The image file inside the unpacked package; empty when the book names
    // no file or a file that is missing or lies outside the package.
    const std::filesystem::path& GetPath() const { return path_; }
    // Present only when the picture has a crop and its file exists.
    const std::optional<CropRect>& GetCrop() const { return crop_; }

private:
    std::filesystem::path path_;
    std::optional<CropRect> crop_;
};

class TextObject : public BasePageObject {
public:
    TextObject(const Rect& rect, std::unique_ptr<htmlparser::IFormattedText> text)
        : BasePageObject(rect), text_(std::move(text)) {}

    PageObjectType GetType() const override { return PageObjectType::Text; }

    const htmlparser::IFormattedText& GetFormattedText() const { return *text_; }

private:
    std::unique_ptr<htmlparser::IFormattedText> text_;
};

}  // namespace bookparser
