#include "support/RecordingAutomation.h"

#include <cstdio>

using namespace engine;

namespace recording {

namespace {

// Every recorded object: the recorder and its own name.
class Recorded {
public:
    Recorded(Recorder& recorder, std::string name) : r(recorder), n(std::move(name)) {}

protected:
    std::string Call(const std::string& method, const std::string& args = "", const std::string& kind = "") const
    {
        return r.Call(n, method, args, kind);
    }

    Recorder& r;
    std::string n;
};

class Color : public IColorFormat, Recorded {
public:
    using Recorded::Recorded;
    ColorRef RGB() const override { return Call("RGB"), 0; }
    void SetRGB(ColorRef color) override
    {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%06X", static_cast<unsigned>(color));
        Call("SetRGB", hex);
    }
};

class Fill : public IFillFormat, Recorded {
public:
    using Recorded::Recorded;
    void Solid() override { Call("Solid"); }
    std::unique_ptr<IColorFormat> ForeColor() override
    {
        return std::make_unique<Color>(r, Call("ForeColor", "", "color"));
    }
    void UserPicture(const std::filesystem::path& picture) override { Call("UserPicture", Arg(picture.string())); }
    MsoTriState Visible() const override { return Call("Visible"), msoTrue; }
    void SetVisible(MsoTriState visible) override { Call("SetVisible", Arg(visible)); }
};

class Line : public ILineFormat, Recorded {
public:
    using Recorded::Recorded;
    MsoTriState Visible() const override { return Call("Visible"), msoTrue; }
    void SetVisible(MsoTriState visible) override { Call("SetVisible", Arg(visible)); }
};

class PictureFormat : public IPictureFormat, Recorded {
public:
    using Recorded::Recorded;
    float CropLeft() const override { return Call("CropLeft"), 0.0f; }
    float CropRight() const override { return Call("CropRight"), 0.0f; }
    float CropTop() const override { return Call("CropTop"), 0.0f; }
    float CropBottom() const override { return Call("CropBottom"), 0.0f; }
    void SetCropLeft(float points) override { Call("SetCropLeft", Arg(points)); }
    void SetCropRight(float points) override { Call("SetCropRight", Arg(points)); }
    void SetCropTop(float points) override { Call("SetCropTop", Arg(points)); }
    void SetCropBottom(float points) override { Call("SetCropBottom", Arg(points)); }
};

class Font : public IFont, Recorded {
public:
    using Recorded::Recorded;
    MsoTriState Bold() const override { return Call("Bold"), msoFalse; }
    void SetBold(MsoTriState value) override { Call("SetBold", Arg(value)); }
    MsoTriState Italic() const override { return Call("Italic"), msoFalse; }
    void SetItalic(MsoTriState value) override { Call("SetItalic", Arg(value)); }
    int UnderlineStyle() const override { return Call("UnderlineStyle"), msoNoUnderline; }
    void SetUnderlineStyle(int style) override { Call("SetUnderlineStyle", Arg(style)); }
    float Kerning() const override { return Call("Kerning"), 0.0f; }
    void SetKerning(float points) override { Call("SetKerning", Arg(points)); }
    float Spacing() const override { return Call("Spacing"), 0.0f; }
    void SetSpacing(float points) override { Call("SetSpacing", Arg(points)); }
    std::string Name() const override { return Call("Name"), std::string(); }
    void SetName(const std::string& name) override { Call("SetName", Arg(name)); }
    float Size() const override { return Call("Size"), 18.0f; }
    void SetSize(float points) override { Call("SetSize", Arg(points)); }
    std::unique_ptr<IFillFormat> Fill() override { return std::make_unique<recording::Fill>(r, Call("Fill", "", "fill")); }
};

class ParagraphFormat : public IParagraphFormat, Recorded {
public:
    using Recorded::Recorded;
    int Alignment() const override { return Call("Alignment"), ppAlignLeft; }
    void SetAlignment(int alignment) override { Call("SetAlignment", Arg(alignment)); }
    float SpaceWithin() const override { return Call("SpaceWithin"), 1.0f; }
    void SetSpaceWithin(float lines) override { Call("SetSpaceWithin", Arg(lines)); }
};

// Length in UTF-16 units, a paragraph mark ("\r\n", "\r" or "\n") counting one.
int TextLength(const std::string& text)
{
    int length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if ((c & 0xC0) != 0x80)
            length += c >= 0xF0 ? 2 : 1;
    }
    return length;
}

// A range of the frame's text; the frame's whole range grows with every
// insertion, like the real one.
class TextRange : public ITextRange, Recorded {
public:
    TextRange(Recorder& recorder, std::string name, std::shared_ptr<int> frameLength, int length)
        : Recorded(recorder, std::move(name)), m_frameLength(std::move(frameLength)), m_length(length)
    {
    }
    std::string Text() const override { return Call("Text"), std::string(); }
    int Length() const override { return Call("Length"), m_length < 0 ? *m_frameLength : m_length; }
    std::unique_ptr<ITextRange> InsertAfter(const std::string& text) override
    {
        const std::string name = Call("InsertAfter", Arg(text), "range");
        *m_frameLength += TextLength(text);
        return std::make_unique<TextRange>(r, name, m_frameLength, TextLength(text));
    }
    std::unique_ptr<ITextRange> Characters(int start, int count) override
    {
        return std::make_unique<TextRange>(r, Call("Characters", Args(start, count), "range"), m_frameLength,
                                           count);
    }
    std::unique_ptr<IFont> Font() override { return std::make_unique<recording::Font>(r, Call("Font", "", "font")); }
    std::unique_ptr<IParagraphFormat> ParagraphFormat() override
    {
        return std::make_unique<recording::ParagraphFormat>(r, Call("ParagraphFormat", "", "paragraph"));
    }
    void Delete() override { Call("Delete"); }

private:
    std::shared_ptr<int> m_frameLength;
    int m_length;  // -1: the frame's whole text
};

class TextFrame : public ITextFrame, Recorded {
public:
    using Recorded::Recorded;
    float MarginLeft() const override { return Call("MarginLeft"), 0.0f; }
    float MarginRight() const override { return Call("MarginRight"), 0.0f; }
    float MarginTop() const override { return Call("MarginTop"), 0.0f; }
    float MarginBottom() const override { return Call("MarginBottom"), 0.0f; }
    void SetMarginLeft(float points) override { Call("SetMarginLeft", Arg(points)); }
    void SetMarginRight(float points) override { Call("SetMarginRight", Arg(points)); }
    void SetMarginTop(float points) override { Call("SetMarginTop", Arg(points)); }
    void SetMarginBottom(float points) override { Call("SetMarginBottom", Arg(points)); }
    int AutoSize() const override { return Call("AutoSize"), ppAutoSizeNone; }
    void SetAutoSize(int autoSize) override { Call("SetAutoSize", Arg(autoSize)); }
    std::unique_ptr<ITextRange> TextRange() override
    {
        return std::make_unique<recording::TextRange>(r, Call("TextRange", "", "range"), m_length, -1);
    }

private:
    std::shared_ptr<int> m_length = std::make_shared<int>(0);
};

class Shape : public IShape, Recorded {
public:
    Shape(Recorder& recorder, std::string name, float width, float height)
        : Recorded(recorder, std::move(name)), m_width(width), m_height(height)
    {
    }
    std::unique_ptr<IFillFormat> Fill() override { return std::make_unique<recording::Fill>(r, Call("Fill", "", "fill")); }
    std::unique_ptr<ILineFormat> Line() override { return std::make_unique<recording::Line>(r, Call("Line", "", "line")); }
    std::unique_ptr<ITextFrame> TextFrame() override
    {
        return std::make_unique<recording::TextFrame>(r, Call("TextFrame", "", "frame"));
    }
    std::unique_ptr<IPictureFormat> PictureFormat() override
    {
        return std::make_unique<recording::PictureFormat>(r, Call("PictureFormat", "", "picture"));
    }
    void ScaleWidth(float factor, MsoTriState relative, int from) override
    {
        Call("ScaleWidth", Args(factor, relative, from));
    }
    void ScaleHeight(float factor, MsoTriState relative, int from) override
    {
        Call("ScaleHeight", Args(factor, relative, from));
    }
    float Left() const override { return Call("Left"), 0.0f; }
    float Top() const override { return Call("Top"), 0.0f; }
    float Width() const override { return Call("Width"), m_width; }
    float Height() const override { return Call("Height"), m_height; }
    void SetLeft(float points) override { Call("SetLeft", Arg(points)); }
    void SetTop(float points) override { Call("SetTop", Arg(points)); }
    void SetWidth(float points) override { Call("SetWidth", Arg(points)), m_width = points; }
    void SetHeight(float points) override { Call("SetHeight", Arg(points)), m_height = points; }

private:
    float m_width;
    float m_height;
};

class Shapes : public IShapes, Recorded {
public:
    using Recorded::Recorded;
    int Count() const override { return Call("Count"), 0; }
    std::unique_ptr<IShape> AddTextbox(int orientation, float left, float top, float width, float height) override
    {
        const std::string name = Call("AddTextbox", Args(orientation, left, top, width, height), "textbox");
        return std::make_unique<Shape>(r, name, width, height);
    }
    std::unique_ptr<IShape> AddPicture(const std::filesystem::path& file, MsoTriState link, MsoTriState save,
                                       float left, float top, float width, float height) override
    {
        const std::string name =
            Call("AddPicture", Args(file.string(), link, save, left, top, width, height), "pictureShape");
        return std::make_unique<Shape>(r, name, width == -1.0f ? r.nativeWidth : width,
                                       height == -1.0f ? r.nativeHeight : height);
    }
};

class Slide : public ISlide, Recorded {
public:
    using Recorded::Recorded;
    MsoTriState FollowMasterBackground() const override { return Call("FollowMasterBackground"), msoTrue; }
    void SetFollowMasterBackground(MsoTriState follow) override { Call("SetFollowMasterBackground", Arg(follow)); }
    std::unique_ptr<IFillFormat> BackgroundFill() override
    {
        return std::make_unique<recording::Fill>(r, Call("BackgroundFill", "", "background"));
    }
    std::unique_ptr<IShapes> Shapes() override
    {
        return std::make_unique<recording::Shapes>(r, Call("Shapes", "", "shapes"));
    }
};

class Slides : public ISlides, Recorded {
public:
    using Recorded::Recorded;
    int Count() const override { return Call("Count"), 0; }
    std::unique_ptr<ISlide> Add(int index, int layout) override
    {
        return std::make_unique<Slide>(r, Call("Add", Args(index, layout), "slide"));
    }
};

class PageSetup : public IPageSetup, Recorded {
public:
    using Recorded::Recorded;
    float SlideWidth() const override { return Call("SlideWidth"), 720.0f; }
    float SlideHeight() const override { return Call("SlideHeight"), 540.0f; }
    void SetSlideWidth(float points) override { Call("SetSlideWidth", Arg(points)); }
    void SetSlideHeight(float points) override { Call("SetSlideHeight", Arg(points)); }
};

class Presentation : public IPresentation, Recorded {
public:
    using Recorded::Recorded;
    std::unique_ptr<IPageSetup> PageSetup() override
    {
        return std::make_unique<recording::PageSetup>(r, Call("PageSetup", "", "pageSetup"));
    }
    std::unique_ptr<ISlides> Slides() override
    {
        return std::make_unique<recording::Slides>(r, Call("Slides", "", "slides"));
    }
    bool SaveAs(const std::filesystem::path& file, int format, MsoTriState embed) noexcept override
    {
        return r.Succeeds(n, "SaveAs", Args(file.string(), format, embed)) && (!r.save || r.save(file));
    }
    bool SaveAsReplacing(const std::filesystem::path& file, int format) noexcept override
    {
        return r.Succeeds(n, "SaveAsReplacing", Args(file.string(), format)) && (!r.save || r.save(file));
    }
    void SetTitle(const std::string& title) override { Call("SetTitle", Arg(title)); }
    void Close() override { Call("Close"); }
};

class Presentations : public IPresentations, Recorded {
public:
    using Recorded::Recorded;
    int Count() const override { return Call("Count"), 0; }
    std::unique_ptr<IPresentation> Add(MsoTriState withWindow) override
    {
        return std::make_unique<Presentation>(r, Call("Add", Arg(withWindow), "presentation"));
    }
};

class Application : public IApplication, Recorded {
public:
    using Recorded::Recorded;
    std::string Version() const override { return Call("Version"), "16.0"; }
    std::string Build() const override { return Call("Build"), "4266"; }
    std::unique_ptr<IPresentations> Presentations() override
    {
        return std::make_unique<recording::Presentations>(r, Call("Presentations", "", "presentations"));
    }
};

}  // namespace

std::unique_ptr<IApplication> MakeApplication(Recorder& recorder)
{
    return std::make_unique<Application>(recorder, "application");
}

std::unique_ptr<IPresentation> MakePresentation(Recorder& recorder)
{
    return std::make_unique<Presentation>(recorder, "presentation");
}

std::unique_ptr<IShapes> MakeShapes(Recorder& recorder)
{
    return std::make_unique<Shapes>(recorder, "shapes");
}

std::unique_ptr<ISlide> MakeSlide(Recorder& recorder)
{
    return std::make_unique<Slide>(recorder, "slide");
}

}  // namespace recording
