#pragma once
// The automation operations the converter relies on, as abstract interfaces
// so that another presentation engine could stand behind them. Lengths are
// single-precision points, colours COLORREF 0x00BBGGRR, booleans -1/0,
// character positions 1-based in UTF-16 units. Every failing call throws
// ComError; an expected object that is absent gives E_POINTER.
#include "export/engine/ComError.h"

#include <cstdint>
#include <memory>
#include <string>

namespace automation {

using Colorref = std::uint32_t;

class IColorFormat {
public:
    virtual ~IColorFormat() = default;
    virtual void SetRGB(Colorref color) = 0;
    virtual Colorref GetRGB() const = 0;
};

class IFillFormat {
public:
    virtual ~IFillFormat() = default;
    virtual void Solid() = 0;
    virtual std::shared_ptr<IColorFormat> ForeColor() = 0;
    // The picture is stretched over the filled area.
    virtual void UserPicture(const std::string& imagePath) = 0;
    virtual void SetVisible(int visible) = 0;
};

class ILineFormat {
public:
    virtual ~ILineFormat() = default;
    virtual void SetVisible(int visible) = 0;
};

class IFont {
public:
    virtual ~IFont() = default;
    virtual void SetBold(int bold) = 0;
    virtual void SetItalic(int italic) = 0;
    // 2 single line, 0 none.
    virtual void SetUnderline(int underlineStyle) = 0;
    virtual void SetKerning(float points) = 0;
    virtual void SetSpacing(float points) = 0;
    virtual void SetName(const std::string& face) = 0;
    // 1..4000 points; anything else is E_INVALIDARG.
    virtual void SetSize(float points) = 0;
    virtual std::shared_ptr<IFillFormat> Fill() = 0;
};

class IParagraphFormat {
public:
    virtual ~IParagraphFormat() = default;
    // 1 left, 2 centre, 3 right, 4 justify.
    virtual void SetAlignment(int alignment) = 0;
    // Line spacing within paragraphs, in lines.
    virtual void SetSpaceWithin(float lines) = 0;
};

class ITextRange {
public:
    virtual ~ITextRange() = default;
    // Appends text after this range; "\r\n", "\r" and "\n" become one
    // paragraph mark, U+000B a line break. Returns the range of the new text.
    virtual std::shared_ptr<ITextRange> InsertAfter(const std::string& text) = 0;
    virtual std::shared_ptr<IFont> Font() = 0;
    virtual std::shared_ptr<IParagraphFormat> ParagraphFormat() = 0;
    // In UTF-16 units, paragraph marks counted as one.
    virtual long Length() const = 0;
    // Sub-range from a 1-based start; count -1 runs to the end.
    virtual std::shared_ptr<ITextRange> Characters(long start, long count) = 0;
    virtual void Delete() = 0;
    virtual std::string Text() const = 0;
};

class ITextFrame {
public:
    virtual ~ITextFrame() = default;
    virtual void SetMarginLeft(float points) = 0;
    virtual void SetMarginRight(float points) = 0;
    virtual void SetMarginTop(float points) = 0;
    virtual void SetMarginBottom(float points) = 0;
    // 0 none.
    virtual void SetAutoSize(int autoSize) = 0;
    virtual std::shared_ptr<ITextRange> TextRange() = 0;
};

class IPictureFormat {
public:
    virtual ~IPictureFormat() = default;
    // Crops in points of the picture's native size; the frame shrinks and
    // the scale stays.
    virtual void SetCropLeft(float points) = 0;
    virtual void SetCropRight(float points) = 0;
    virtual void SetCropTop(float points) = 0;
    virtual void SetCropBottom(float points) = 0;
};

class IShape {
public:
    virtual ~IShape() = default;
    virtual std::shared_ptr<IFillFormat> Fill() = 0;
    virtual std::shared_ptr<ILineFormat> Line() = 0;
    // E_POINTER for a shape without text frame or picture.
    virtual std::shared_ptr<ITextFrame> TextFrame() = 0;
    virtual std::shared_ptr<IPictureFormat> PictureFormat() = 0;
    // relativeToOriginalSize -1: factor of the native size; fromTopLeft 0.
    virtual void ScaleWidth(float factor, int relativeToOriginalSize, int scaleFrom) = 0;
    virtual void ScaleHeight(float factor, int relativeToOriginalSize, int scaleFrom) = 0;
    virtual float GetWidth() const = 0;
    virtual float GetHeight() const = 0;
    virtual float GetLeft() const = 0;
    virtual float GetTop() const = 0;
    virtual void SetWidth(float points) = 0;
    virtual void SetHeight(float points) = 0;
    virtual void SetLeft(float points) = 0;
    virtual void SetTop(float points) = 0;
};

class IShapes {
public:
    virtual ~IShapes() = default;
    // orientation 1 horizontal.
    virtual std::shared_ptr<IShape> AddTextbox(int orientation, float left, float top, float width,
                                               float height) = 0;
    // width and height -1 keep the native size. A missing or undecodable
    // picture throws.
    virtual std::shared_ptr<IShape> AddPicture(const std::string& path, int linkToFile, int saveWithDocument,
                                               float left, float top, float width, float height) = 0;
    virtual long Count() const = 0;
};

class ISlide {
public:
    virtual ~ISlide() = default;
    virtual void SetFollowMasterBackground(int follow) = 0;
    virtual std::shared_ptr<IFillFormat> BackgroundFill() = 0;
    virtual std::shared_ptr<IShapes> Shapes() = 0;
};

class ISlides {
public:
    virtual ~ISlides() = default;
    // index from 1; layout 12 is blank.
    virtual std::shared_ptr<ISlide> Add(long index, int layout) = 0;
    virtual long Count() const = 0;
};

class IPageSetup {
public:
    virtual ~IPageSetup() = default;
    // 1 to 56 inches (72 to 4032 points); anything else is E_INVALIDARG.
    virtual void SetSlideWidth(float points) = 0;
    virtual void SetSlideHeight(float points) = 0;
    virtual float GetSlideWidth() const = 0;
    virtual float GetSlideHeight() const = 0;
};

class IPresentation {
public:
    virtual ~IPresentation() = default;
    virtual std::shared_ptr<IPageSetup> PageSetup() = 0;
    virtual std::shared_ptr<ISlides> Slides() = 0;
    // format 24 Open XML presentation. Reports failure by its result only;
    // never replaces an existing file and leaves nothing behind on failure.
    virtual bool SaveAs(const std::string& path, int format, int embedFonts) = 0;
    virtual void Close() = 0;
};

class IPresentations {
public:
    virtual ~IPresentations() = default;
    virtual std::shared_ptr<IPresentation> Add(int withWindow) = 0;
};

class IApplication {
public:
    virtual ~IApplication() = default;
    virtual std::string Version() const = 0;
    virtual std::string Build() const = 0;
    virtual std::shared_ptr<IPresentations> Presentations() = 0;
};

// Starts the engine. Throws ComError when it cannot be started.
std::shared_ptr<IApplication> StartApplication();

}  // namespace automation
