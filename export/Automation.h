#pragma once
// The automation operations the exporter relies on, as abstract interfaces so
// that another implementation could stand beside the native writer.
// Conventions: lengths are single-precision points; colours are COLORREF
// values 0x00BBGGRR; booleans are MsoTriState (-1 true, 0 false); text is
// UTF-8, but character positions and lengths count UTF-16 units, 1-based.
// Every failing call throws engine::ComError; only SaveAs reports by result.
#include "export/ComError.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace engine {

using MsoTriState = int;
inline constexpr MsoTriState msoTrue = -1;
inline constexpr MsoTriState msoFalse = 0;
using ColorRef = std::uint32_t;

inline constexpr int ppLayoutBlank = 12;
inline constexpr int ppSaveAsOpenXMLPresentation = 24;
inline constexpr int msoTextOrientationHorizontal = 1;
inline constexpr int msoScaleFromTopLeft = 0;
inline constexpr int msoScaleFromMiddle = 1;
inline constexpr int msoScaleFromBottomRight = 2;
inline constexpr int ppAutoSizeNone = 0;
inline constexpr int ppAutoSizeShapeToFitText = 1;
inline constexpr int msoNoUnderline = 0;
inline constexpr int msoUnderlineSingleLine = 2;
inline constexpr int ppAlignLeft = 1;
inline constexpr int ppAlignCenter = 2;
inline constexpr int ppAlignRight = 3;
inline constexpr int ppAlignJustify = 4;

class IColorFormat {
public:
    virtual ~IColorFormat() = default;
    virtual ColorRef RGB() const = 0;
    virtual void SetRGB(ColorRef color) = 0;
};

class IFillFormat {
public:
    virtual ~IFillFormat() = default;
    virtual void Solid() = 0;
    virtual std::unique_ptr<IColorFormat> ForeColor() = 0;
    // The picture is stretched over the filled area; a missing or unreadable
    // file throws E_FILE_NOT_FOUND / E_FAIL.
    virtual void UserPicture(const std::filesystem::path& picture) = 0;
    virtual MsoTriState Visible() const = 0;
    virtual void SetVisible(MsoTriState visible) = 0;
};

class ILineFormat {
public:
    virtual ~ILineFormat() = default;
    virtual MsoTriState Visible() const = 0;
    virtual void SetVisible(MsoTriState visible) = 0;
};

// Crops are in points of the picture's native size; setting one keeps the
// scale and shrinks the frame.
class IPictureFormat {
public:
    virtual ~IPictureFormat() = default;
    virtual float CropLeft() const = 0;
    virtual float CropRight() const = 0;
    virtual float CropTop() const = 0;
    virtual float CropBottom() const = 0;
    virtual void SetCropLeft(float points) = 0;
    virtual void SetCropRight(float points) = 0;
    virtual void SetCropTop(float points) = 0;
    virtual void SetCropBottom(float points) = 0;
};

class IFont {
public:
    virtual ~IFont() = default;
    // Getters give the value shared by every character of the range; a mixed
    // or never-set value gives msoTriStateMixed (-2) / -1.0f / empty name.
    virtual MsoTriState Bold() const = 0;
    virtual void SetBold(MsoTriState value) = 0;
    virtual MsoTriState Italic() const = 0;
    virtual void SetItalic(MsoTriState value) = 0;
    virtual int UnderlineStyle() const = 0;
    virtual void SetUnderlineStyle(int style) = 0;  // 0 none, 2 single
    virtual float Kerning() const = 0;
    virtual void SetKerning(float points) = 0;
    virtual float Spacing() const = 0;
    virtual void SetSpacing(float points) = 0;
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual float Size() const = 0;
    virtual void SetSize(float points) = 0;  // 1..4000, else E_INVALIDARG
    virtual std::unique_ptr<IFillFormat> Fill() = 0;
};

inline constexpr MsoTriState msoTriStateMixed = -2;

class IParagraphFormat {
public:
    virtual ~IParagraphFormat() = default;
    virtual int Alignment() const = 0;  // -2 when mixed, 0 when never set
    virtual void SetAlignment(int alignment) = 0;  // 1..4
    virtual float SpaceWithin() const = 0;
    virtual void SetSpaceWithin(float lines) = 0;
};

// "\r\n", "\r" and "\n" become one paragraph mark (read back as "\r");
// U+000B is a line break inside a paragraph.
class ITextRange {
public:
    virtual ~ITextRange() = default;
    virtual std::string Text() const = 0;
    virtual int Length() const = 0;
    // Inserts after the end of this range; returns the range of the new text.
    virtual std::unique_ptr<ITextRange> InsertAfter(const std::string& text) = 0;
    // start is 1-based within this range; count -1 runs to its end.
    virtual std::unique_ptr<ITextRange> Characters(int start, int count) = 0;
    virtual std::unique_ptr<IFont> Font() = 0;
    virtual std::unique_ptr<IParagraphFormat> ParagraphFormat() = 0;
    virtual void Delete() = 0;
};

class ITextFrame {
public:
    virtual ~ITextFrame() = default;
    virtual float MarginLeft() const = 0;
    virtual float MarginRight() const = 0;
    virtual float MarginTop() const = 0;
    virtual float MarginBottom() const = 0;
    virtual void SetMarginLeft(float points) = 0;
    virtual void SetMarginRight(float points) = 0;
    virtual void SetMarginTop(float points) = 0;
    virtual void SetMarginBottom(float points) = 0;
    virtual int AutoSize() const = 0;
    virtual void SetAutoSize(int autoSize) = 0;  // 0 none, 1 shape to fit text
    // The whole text of the frame; it follows the text as it grows.
    virtual std::unique_ptr<ITextRange> TextRange() = 0;
};

class IShape {
public:
    virtual ~IShape() = default;
    virtual std::unique_ptr<IFillFormat> Fill() = 0;
    virtual std::unique_ptr<ILineFormat> Line() = 0;
    virtual std::unique_ptr<ITextFrame> TextFrame() = 0;  // E_FAIL on a picture
    virtual std::unique_ptr<IPictureFormat> PictureFormat() = 0;  // E_FAIL on a text box
    virtual void ScaleWidth(float factor, MsoTriState relativeToOriginalSize, int scaleFrom) = 0;
    virtual void ScaleHeight(float factor, MsoTriState relativeToOriginalSize, int scaleFrom) = 0;
    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual void SetLeft(float points) = 0;
    virtual void SetTop(float points) = 0;
    virtual void SetWidth(float points) = 0;
    virtual void SetHeight(float points) = 0;
};

class IShapes {
public:
    virtual ~IShapes() = default;
    virtual int Count() const = 0;
    virtual std::unique_ptr<IShape> AddTextbox(int orientation, float left, float top, float width, float height) = 0;
    // width and height -1 take the native size (pixels * 72 / dpi, 96 dpi
    // when the image has none).
    virtual std::unique_ptr<IShape> AddPicture(const std::filesystem::path& file, MsoTriState linkToFile,
                                               MsoTriState saveWithDocument, float left, float top,
                                               float width = -1.0f, float height = -1.0f) = 0;
};

class ISlide {
public:
    virtual ~ISlide() = default;
    virtual MsoTriState FollowMasterBackground() const = 0;
    virtual void SetFollowMasterBackground(MsoTriState follow) = 0;
    virtual std::unique_ptr<IFillFormat> BackgroundFill() = 0;
    virtual std::unique_ptr<IShapes> Shapes() = 0;
};

class ISlides {
public:
    virtual ~ISlides() = default;
    virtual int Count() const = 0;
    virtual std::unique_ptr<ISlide> Add(int index, int layout) = 0;  // index 1..Count()+1
};

class IPageSetup {
public:
    virtual ~IPageSetup() = default;
    virtual float SlideWidth() const = 0;
    virtual float SlideHeight() const = 0;
    virtual void SetSlideWidth(float points) = 0;  // 72..4032 (1 to 56 inches)
    virtual void SetSlideHeight(float points) = 0;
};

class IPresentation {
public:
    virtual ~IPresentation() = default;
    virtual std::unique_ptr<IPageSetup> PageSetup() = 0;
    virtual std::unique_ptr<ISlides> Slides() = 0;
    // Never replaces an existing file; any failure leaves nothing behind.
    virtual bool SaveAs(const std::filesystem::path& file, int fileFormat = ppSaveAsOpenXMLPresentation,
                        MsoTriState embedTrueTypeFonts = msoFalse) noexcept = 0;
    // As SaveAs, but an existing file is replaced atomically: for a path the
    // user chose and confirmed to overwrite.
    virtual bool SaveAsReplacing(const std::filesystem::path& file,
                                 int fileFormat = ppSaveAsOpenXMLPresentation) noexcept = 0;
    // The document title of the file (its core properties).
    virtual void SetTitle(const std::string& title) = 0;
    // Afterwards every object of the presentation throws E_POINTER.
    virtual void Close() = 0;
};

class IPresentations {
public:
    virtual ~IPresentations() = default;
    virtual int Count() const = 0;
    virtual std::unique_ptr<IPresentation> Add(MsoTriState withWindow = msoFalse) = 0;
};

class IApplication {
public:
    virtual ~IApplication() = default;
    virtual std::string Version() const = 0;
    virtual std::string Build() const = 0;
    virtual std::unique_ptr<IPresentations> Presentations() = 0;
};

}  // namespace engine
