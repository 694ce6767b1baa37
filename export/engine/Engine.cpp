#include "export/engine/Automation.h"
#include "export/engine/Model.h"
#include "Version.h"

#include <utf8cpp/utf8.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace engine {
namespace {

using namespace detail;
using PresPtr = std::shared_ptr<Presentation>;

constexpr float kMaxCoordinate = 169000.0f;

void Check(const PresPtr& p, const char* iface) {
    if (!p || p->closed) throw ComError(E_POINTER, "The object does not exist.", iface);
}

bool Tri(MsoTriState v, const char* iface) {
    if (v == msoTrue || v == 1) return true;
    if (v == msoFalse) return false;
    throw ComError(E_INVALIDARG, "Not a boolean value.", iface);
}

float Finite(float v, float lo, float hi, const char* iface) {
    if (!std::isfinite(v) || v < lo || v > hi) throw ComError(E_INVALIDARG, "The value is out of range.", iface);
    return v;
}

std::u16string ToUtf16(const std::string& text) {
    std::string valid;
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
    std::u16string raw;
    utf8::utf8to16(valid.begin(), valid.end(), std::back_inserter(raw));
    std::u16string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n') ++i;
        out.push_back(raw[i] == u'\n' ? u'\r' : raw[i]);
    }
    return out;
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        utf8::append(c, std::back_inserter(out));
    }
    return out;
}

int ParagraphOf(const Text& t, std::size_t pos) {
    int n = 0;
    for (std::size_t i = 0; i < pos && i < t.chars.size(); ++i) n += t.chars[i] == u'\r';
    return n;
}

// A range is either the whole text (it follows the text as it grows) or a
// fixed stretch of it; a stale stretch is clamped to the current text.
struct RangeRef {
    PresPtr pres;
    std::shared_ptr<Shape> shape;
    bool whole = true;
    std::size_t start = 0, length = 0;

    std::pair<std::size_t, std::size_t> Span() const {
        const std::size_t size = shape->text.chars.size();
        if (whole) return {0, size};
        const std::size_t s = std::min(start, size);
        return {s, std::min(length, size - s)};
    }
};

class CColorFormat final : public IColorFormat {
public:
    CColorFormat(PresPtr p, std::function<Fill*()> fill) : m_p(std::move(p)), m_fill(std::move(fill)) {}
    ColorRef RGB() const override { Check(m_p, "ColorFormat"); return m_fill()->color; }
    void SetRGB(ColorRef c) override {
        Check(m_p, "ColorFormat");
        Fill* f = m_fill();
        f->kind = Fill::Kind::Solid;
        f->color = c & 0xFFFFFFu;
    }
private:
    PresPtr m_p;
    std::function<Fill*()> m_fill;
};

class CFillFormat final : public IFillFormat {
public:
    CFillFormat(PresPtr p, std::function<Fill*()> fill, bool pictures)
        : m_p(std::move(p)), m_fill(std::move(fill)), m_pictures(pictures) {}
    void Solid() override { Check(m_p, "FillFormat"); m_fill()->kind = Fill::Kind::Solid; }
    std::unique_ptr<IColorFormat> ForeColor() override {
        Check(m_p, "FillFormat");
        return std::make_unique<CColorFormat>(m_p, m_fill);
    }
    void UserPicture(const std::filesystem::path& file) override {
        Check(m_p, "FillFormat");
        if (!m_pictures) throw ComError(E_NOTIMPL, "Picture fills are not supported here.", "FillFormat");
        float w, h;
        const int media = AddMedia(*m_p, file, &w, &h);
        Fill* f = m_fill();
        f->kind = Fill::Kind::Picture;
        f->media = media;
    }
    MsoTriState Visible() const override { Check(m_p, "FillFormat"); return m_fill()->visible ? msoTrue : msoFalse; }
    void SetVisible(MsoTriState v) override {
        Check(m_p, "FillFormat");
        Fill* f = m_fill();
        f->visible = Tri(v, "FillFormat");
        f->visibleSet = true;
    }
private:
    PresPtr m_p;
    std::function<Fill*()> m_fill;
    bool m_pictures;
};

class CLineFormat final : public ILineFormat {
public:
    CLineFormat(PresPtr p, std::shared_ptr<Shape> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    MsoTriState Visible() const override {
        Check(m_p, "LineFormat");
        return m_s->lineVisible.value_or(false) ? msoTrue : msoFalse;
    }
    void SetVisible(MsoTriState v) override { Check(m_p, "LineFormat"); m_s->lineVisible = Tri(v, "LineFormat"); }
private:
    PresPtr m_p;
    std::shared_ptr<Shape> m_s;
};

class CPictureFormat final : public IPictureFormat {
public:
    CPictureFormat(PresPtr p, std::shared_ptr<Shape> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    float CropLeft() const override { return Get(0); }
    float CropRight() const override { return Get(1); }
    float CropTop() const override { return Get(2); }
    float CropBottom() const override { return Get(3); }
    void SetCropLeft(float v) override { Set(0, v); }
    void SetCropRight(float v) override { Set(1, v); }
    void SetCropTop(float v) override { Set(2, v); }
    void SetCropBottom(float v) override { Set(3, v); }
private:
    float Get(int i) const { Check(m_p, "PictureFormat"); return m_s->crop[i]; }
    // Keeps the scale: the frame edge on the cropped side moves by the
    // change times the scale of that axis.
    void Set(int i, float v) {
        Check(m_p, "PictureFormat");
        Finite(v, -kMaxCoordinate, kMaxCoordinate, "PictureFormat");
        Shape& s = *m_s;
        const bool horizontal = i < 2;
        const double native = horizontal ? s.nativeWidth : s.nativeHeight;
        const double visibleBefore = native - s.crop[horizontal ? 0 : 2] - s.crop[horizontal ? 1 : 3];
        const double visibleAfter = visibleBefore - (double(v) - s.crop[i]);
        if (!(visibleAfter > 0)) throw ComError(E_INVALIDARG, "The crop leaves nothing visible.", "PictureFormat");
        const double extent = horizontal ? s.width : s.height;
        const double scale = extent / visibleBefore;
        const double delta = (double(v) - s.crop[i]) * scale;
        if (horizontal) {
            if (i == 0) s.left = float(s.left + delta);
            s.width = float(s.width - delta);
        } else {
            if (i == 2) s.top = float(s.top + delta);
            s.height = float(s.height - delta);
        }
        s.crop[i] = v;
    }
    PresPtr m_p;
    std::shared_ptr<Shape> m_s;
};

template <class T, class Get>
std::optional<T> Common(const Text& t, std::pair<std::size_t, std::size_t> span, Get get) {
    std::optional<T> result;
    for (std::size_t i = span.first; i < span.first + span.second; ++i) {
        auto v = get(t.props[i]);
        if (!v) return std::nullopt;
        if (result && *result != *v) return std::nullopt;
        result = v;
    }
    return result;
}

class CFont final : public IFont {
public:
    explicit CFont(RangeRef r) : m_r(std::move(r)) {}
    MsoTriState Bold() const override { return Tri3(&CharProps::bold); }
    void SetBold(MsoTriState v) override { bool b = Tri(v, "Font"); Apply([b](CharProps& p) { p.bold = b; }); }
    MsoTriState Italic() const override { return Tri3(&CharProps::italic); }
    void SetItalic(MsoTriState v) override { bool b = Tri(v, "Font"); Apply([b](CharProps& p) { p.italic = b; }); }
    int UnderlineStyle() const override {
        Check(m_r.pres, "Font");
        return Common<int>(m_r.shape->text, m_r.Span(), [](const CharProps& p) { return p.underline; }).value_or(msoTriStateMixed);
    }
    void SetUnderlineStyle(int style) override {
        if (style != msoNoUnderline && style != msoUnderlineSingleLine && (style < 1 || style > 17))
            throw ComError(E_INVALIDARG, "Unknown underline style.", "Font");
        Apply([style](CharProps& p) { p.underline = style; });
    }
    float Kerning() const override { return Float(&CharProps::kerning); }
    void SetKerning(float v) override { Finite(v, 0, 4000, "Font"); Apply([v](CharProps& p) { p.kerning = v; }); }
    float Spacing() const override { return Float(&CharProps::spacing); }
    void SetSpacing(float v) override { Finite(v, -4000, 4000, "Font"); Apply([v](CharProps& p) { p.spacing = v; }); }
    std::string Name() const override {
        Check(m_r.pres, "Font");
        return Common<std::string>(m_r.shape->text, m_r.Span(), [](const CharProps& p) { return p.name; }).value_or("");
    }
    // An empty name leaves the theme's font in force.
    void SetName(const std::string& name) override {
        std::optional<std::string> n;
        if (!name.empty()) n = ToUtf8(ToUtf16(name));
        Apply([&n](CharProps& p) { p.name = n; });
    }
    float Size() const override { return Float(&CharProps::size); }
    void SetSize(float v) override { Finite(v, 1, 4000, "Font"); Apply([v](CharProps& p) { p.size = v; }); }
    std::unique_ptr<IFillFormat> Fill() override;

    void SetColor(ColorRef c) { Apply([c](CharProps& p) { p.color = c; }); }

private:
    template <class F>
    void Apply(F f) {
        Check(m_r.pres, "Font");
        auto [s, n] = m_r.Span();
        for (std::size_t i = s; i < s + n; ++i) f(m_r.shape->text.props[i]);
    }
    MsoTriState Tri3(std::optional<bool> CharProps::*m) const {
        Check(m_r.pres, "Font");
        auto v = Common<bool>(m_r.shape->text, m_r.Span(), [m](const CharProps& p) { return p.*m; });
        return v ? (*v ? msoTrue : msoFalse) : msoTriStateMixed;
    }
    float Float(std::optional<float> CharProps::*m) const {
        Check(m_r.pres, "Font");
        return Common<float>(m_r.shape->text, m_r.Span(), [m](const CharProps& p) { return p.*m; }).value_or(-1.0f);
    }
    RangeRef m_r;
};

// The fill of a font: solid colours only.
class CFontFill final : public IFillFormat {
public:
    explicit CFontFill(RangeRef r) : m_r(std::move(r)) {}
    void Solid() override { Check(m_r.pres, "FillFormat"); }
    std::unique_ptr<IColorFormat> ForeColor() override;
    void UserPicture(const std::filesystem::path&) override {
        throw ComError(E_NOTIMPL, "Picture fills of text are not supported.", "FillFormat");
    }
    MsoTriState Visible() const override { Check(m_r.pres, "FillFormat"); return msoTrue; }
    void SetVisible(MsoTriState v) override {
        if (!Tri(v, "FillFormat")) throw ComError(E_NOTIMPL, "Invisible text is not supported.", "FillFormat");
    }
    RangeRef m_r;
};

class CFontColor final : public IColorFormat {
public:
    explicit CFontColor(RangeRef r) : m_r(std::move(r)) {}
    ColorRef RGB() const override {
        Check(m_r.pres, "ColorFormat");
        return Common<ColorRef>(m_r.shape->text, m_r.Span(), [](const CharProps& p) { return p.color; }).value_or(0);
    }
    void SetRGB(ColorRef c) override { CFont(m_r).SetColor(c & 0xFFFFFFu); }
    RangeRef m_r;
};

std::unique_ptr<IColorFormat> CFontFill::ForeColor() { Check(m_r.pres, "FillFormat"); return std::make_unique<CFontColor>(m_r); }
std::unique_ptr<IFillFormat> CFont::Fill() { Check(m_r.pres, "Font"); return std::make_unique<CFontFill>(m_r); }

class CParagraphFormat final : public IParagraphFormat {
public:
    explicit CParagraphFormat(RangeRef r) : m_r(std::move(r)) {}
    int Alignment() const override {
        auto v = Collect<int>(&ParaProps::alignment);
        return v ? *v : msoTriStateMixed;
    }
    void SetAlignment(int a) override {
        if (a < ppAlignLeft || a > ppAlignJustify) throw ComError(E_INVALIDARG, "Unknown alignment.", "ParagraphFormat");
        Apply([a](ParaProps& p) { p.alignment = a; });
    }
    float SpaceWithin() const override { return Collect<float>(&ParaProps::spaceWithin).value_or(-1.0f); }
    void SetSpaceWithin(float v) override {
        Finite(v, 0, 9.6f, "ParagraphFormat");
        Apply([v](ParaProps& p) { p.spaceWithin = v; });
    }
private:
    std::pair<int, int> Paragraphs() const {
        Check(m_r.pres, "ParagraphFormat");
        auto [s, n] = m_r.Span();
        const Text& t = m_r.shape->text;
        const int first = ParagraphOf(t, s);
        const int last = n ? ParagraphOf(t, s + n - 1) : first;
        return {first, last};
    }
    template <class F>
    void Apply(F f) {
        auto [a, b] = Paragraphs();
        for (int i = a; i <= b; ++i) f(m_r.shape->text.paras[i]);
    }
    template <class T>
    std::optional<T> Collect(std::optional<T> ParaProps::*m) const {
        auto [a, b] = Paragraphs();
        std::optional<T> r = m_r.shape->text.paras[a].*m;
        for (int i = a + 1; i <= b; ++i)
            if (m_r.shape->text.paras[i].*m != r) return std::nullopt;
        if (!r && std::is_same_v<T, int>) return T{};
        return r;
    }
    RangeRef m_r;
};

class CTextRange final : public ITextRange {
public:
    explicit CTextRange(RangeRef r) : m_r(std::move(r)) {}
    std::string Text() const override {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        return ToUtf8(m_r.shape->text.chars.substr(s, n));
    }
    int Length() const override { Check(m_r.pres, "TextRange"); return int(m_r.Span().second); }
    std::unique_ptr<ITextRange> InsertAfter(const std::string& text) override {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        const std::size_t at = s + n;
        detail::Text& t = m_r.shape->text;
        const std::u16string add = ToUtf16(text);
        if (t.chars.size() + add.size() > 10'000'000) throw ComError(E_OUTOFMEMORY, "The text is too long.", "TextRange");
        // Split paragraphs keep the properties of the paragraph they came from.
        const int para = ParagraphOf(t, at);
        const std::size_t marks = std::count(add.begin(), add.end(), u'\r');
        t.paras.insert(t.paras.begin() + para + 1, marks, t.paras[para]);
        // Inserted text and marks take the properties of the character before
        // them; only the first text of an empty box starts with none.
        const CharProps inherited = at > 0 ? t.props[at - 1] : t.props.empty() ? CharProps{} : t.props[0];
        t.chars.insert(at, add);
        t.props.insert(t.props.begin() + at, add.size(), inherited);
        RangeRef r = m_r;
        r.whole = false;
        r.start = at;
        r.length = add.size();
        return std::make_unique<CTextRange>(r);
    }
    std::unique_ptr<ITextRange> Characters(int start, int count) override {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        if (start < 1 || count < -1) throw ComError(E_INVALIDARG, "The character position is out of range.", "TextRange");
        RangeRef r = m_r;
        r.whole = false;
        r.start = s + std::min<std::size_t>(std::size_t(start) - 1, n);
        const std::size_t rest = s + n - r.start;
        r.length = count == -1 ? rest : std::min<std::size_t>(std::size_t(count), rest);
        return std::make_unique<CTextRange>(r);
    }
    std::unique_ptr<IFont> Font() override { Check(m_r.pres, "TextRange"); return std::make_unique<CFont>(m_r); }
    std::unique_ptr<IParagraphFormat> ParagraphFormat() override {
        Check(m_r.pres, "TextRange");
        return std::make_unique<CParagraphFormat>(m_r);
    }
    // Merged paragraphs keep the properties of the first of them.
    void Delete() override {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        detail::Text& t = m_r.shape->text;
        const int para = ParagraphOf(t, s);
        const std::size_t marks = std::count(t.chars.begin() + s, t.chars.begin() + s + n, u'\r');
        t.paras.erase(t.paras.begin() + para + 1, t.paras.begin() + para + 1 + marks);
        t.chars.erase(s, n);
        t.props.erase(t.props.begin() + s, t.props.begin() + s + n);
        if (!m_r.whole) m_r.length = 0;
    }
private:
    RangeRef m_r;
};

class CTextFrame final : public ITextFrame {
public:
    CTextFrame(PresPtr p, std::shared_ptr<Shape> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    float MarginLeft() const override { return Get(0); }
    float MarginRight() const override { return Get(1); }
    float MarginTop() const override { return Get(2); }
    float MarginBottom() const override { return Get(3); }
    void SetMarginLeft(float v) override { Set(0, v); }
    void SetMarginRight(float v) override { Set(1, v); }
    void SetMarginTop(float v) override { Set(2, v); }
    void SetMarginBottom(float v) override { Set(3, v); }
    int AutoSize() const override { Check(m_p, "TextFrame"); return m_s->autoSize; }
    void SetAutoSize(int a) override {
        Check(m_p, "TextFrame");
        if (a != ppAutoSizeNone && a != ppAutoSizeShapeToFitText) throw ComError(E_INVALIDARG, "Unknown auto-size.", "TextFrame");
        m_s->autoSize = a;
    }
    std::unique_ptr<ITextRange> TextRange() override {
        Check(m_p, "TextFrame");
        RangeRef r;
        r.pres = m_p;
        r.shape = m_s;
        return std::make_unique<CTextRange>(r);
    }
private:
    float Get(int i) const { Check(m_p, "TextFrame"); return m_s->margin[i]; }
    void Set(int i, float v) { Check(m_p, "TextFrame"); m_s->margin[i] = Finite(v, 0, 4000, "TextFrame"); }
    PresPtr m_p;
    std::shared_ptr<Shape> m_s;
};

class CShape final : public IShape {
public:
    CShape(PresPtr p, std::shared_ptr<Shape> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    std::unique_ptr<IFillFormat> Fill() override {
        Check(m_p, "Shape");
        auto s = m_s;
        return std::make_unique<CFillFormat>(m_p, [s] { return &s->fill; }, false);
    }
    std::unique_ptr<ILineFormat> Line() override { Check(m_p, "Shape"); return std::make_unique<CLineFormat>(m_p, m_s); }
    std::unique_ptr<ITextFrame> TextFrame() override {
        Check(m_p, "Shape");
        if (m_s->picture) throw ComError(E_FAIL, "This shape has no text frame.", "Shape");
        return std::make_unique<CTextFrame>(m_p, m_s);
    }
    std::unique_ptr<IPictureFormat> PictureFormat() override {
        Check(m_p, "Shape");
        if (!m_s->picture) throw ComError(E_FAIL, "This shape is not a picture.", "Shape");
        return std::make_unique<CPictureFormat>(m_p, m_s);
    }
    void ScaleWidth(float f, MsoTriState rel, int from) override { Scale(f, rel, from, true); }
    void ScaleHeight(float f, MsoTriState rel, int from) override { Scale(f, rel, from, false); }
    float Left() const override { Check(m_p, "Shape"); return m_s->left; }
    float Top() const override { Check(m_p, "Shape"); return m_s->top; }
    float Width() const override { Check(m_p, "Shape"); return m_s->width; }
    float Height() const override { Check(m_p, "Shape"); return m_s->height; }
    void SetLeft(float v) override { Check(m_p, "Shape"); m_s->left = Finite(v, -kMaxCoordinate, kMaxCoordinate, "Shape"); }
    void SetTop(float v) override { Check(m_p, "Shape"); m_s->top = Finite(v, -kMaxCoordinate, kMaxCoordinate, "Shape"); }
    void SetWidth(float v) override { Check(m_p, "Shape"); m_s->width = Finite(v, 0, kMaxCoordinate, "Shape"); }
    void SetHeight(float v) override { Check(m_p, "Shape"); m_s->height = Finite(v, 0, kMaxCoordinate, "Shape"); }
private:
    void Scale(float f, MsoTriState rel, int from, bool horizontal) {
        Check(m_p, "Shape");
        Finite(f, 0, 1000, "Shape");
        const bool relative = Tri(rel, "Shape");
        if (from < msoScaleFromTopLeft || from > msoScaleFromBottomRight) throw ComError(E_INVALIDARG, "Unknown anchor.", "Shape");
        if (relative && !m_s->picture) throw ComError(E_INVALIDARG, "Only pictures have a native size.", "Shape");
        Shape& s = *m_s;
        float& extent = horizontal ? s.width : s.height;
        float& origin = horizontal ? s.left : s.top;
        double base = extent;
        if (relative)
            base = horizontal ? s.nativeWidth - s.crop[0] - s.crop[1] : s.nativeHeight - s.crop[2] - s.crop[3];
        const double target = base * f;
        Finite(float(target), 0, kMaxCoordinate, "Shape");
        const double grow = target - extent;
        if (from == msoScaleFromMiddle) origin = float(origin - grow / 2);
        if (from == msoScaleFromBottomRight) origin = float(origin - grow);
        extent = float(target);
    }
    PresPtr m_p;
    std::shared_ptr<Shape> m_s;
};

class CShapes final : public IShapes {
public:
    CShapes(PresPtr p, std::shared_ptr<Slide> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    int Count() const override { Check(m_p, "Shapes"); return int(m_s->shapes.size()); }
    std::unique_ptr<IShape> AddTextbox(int orientation, float l, float t, float w, float h) override {
        Check(m_p, "Shapes");
        if (orientation != msoTextOrientationHorizontal) throw ComError(E_NOTIMPL, "Only horizontal text is supported.", "Shapes");
        auto s = std::make_shared<Shape>();
        Place(*s, l, t, w, h);
        return Append(s);
    }
    std::unique_ptr<IShape> AddPicture(const std::filesystem::path& file, MsoTriState link, MsoTriState save,
                                       float l, float t, float w, float h) override {
        Check(m_p, "Shapes");
        if (Tri(link, "Shapes")) throw ComError(E_NOTIMPL, "Linked pictures are not supported.", "Shapes");
        if (!Tri(save, "Shapes")) throw ComError(E_INVALIDARG, "A picture must be linked or saved.", "Shapes");
        auto s = std::make_shared<Shape>();
        s->picture = true;
        s->media = AddMedia(*m_p, file, &s->nativeWidth, &s->nativeHeight);
        if (w == -1.0f && h == -1.0f) { w = s->nativeWidth; h = s->nativeHeight; }
        else if (w == -1.0f) w = float(double(h) * s->nativeWidth / s->nativeHeight);
        else if (h == -1.0f) h = float(double(w) * s->nativeHeight / s->nativeWidth);
        Place(*s, l, t, w, h);
        return Append(s);
    }
private:
    static void Place(Shape& s, float l, float t, float w, float h) {
        s.left = Finite(l, -kMaxCoordinate, kMaxCoordinate, "Shapes");
        s.top = Finite(t, -kMaxCoordinate, kMaxCoordinate, "Shapes");
        s.width = Finite(w, 0, kMaxCoordinate, "Shapes");
        s.height = Finite(h, 0, kMaxCoordinate, "Shapes");
    }
    std::unique_ptr<IShape> Append(const std::shared_ptr<Shape>& s) {
        s->id = m_s->nextId++;
        m_s->shapes.push_back(s);
        return std::make_unique<CShape>(m_p, s);
    }
    PresPtr m_p;
    std::shared_ptr<Slide> m_s;
};

class CSlide final : public ISlide {
public:
    CSlide(PresPtr p, std::shared_ptr<Slide> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    MsoTriState FollowMasterBackground() const override { Check(m_p, "Slide"); return m_s->followMaster ? msoTrue : msoFalse; }
    void SetFollowMasterBackground(MsoTriState v) override { Check(m_p, "Slide"); m_s->followMaster = Tri(v, "Slide"); }
    std::unique_ptr<IFillFormat> BackgroundFill() override {
        Check(m_p, "Slide");
        auto s = m_s;
        return std::make_unique<CFillFormat>(m_p, [s] { s->followMaster = false; return &s->background; }, true);
    }
    std::unique_ptr<IShapes> Shapes() override { Check(m_p, "Slide"); return std::make_unique<CShapes>(m_p, m_s); }
private:
    PresPtr m_p;
    std::shared_ptr<Slide> m_s;
};

class CSlides final : public ISlides {
public:
    explicit CSlides(PresPtr p) : m_p(std::move(p)) {}
    int Count() const override { Check(m_p, "Slides"); return int(m_p->slides.size()); }
    std::unique_ptr<ISlide> Add(int index, int layout) override {
        Check(m_p, "Slides");
        if (index < 1 || index > int(m_p->slides.size()) + 1) throw ComError(E_INVALIDARG, "The index is out of range.", "Slides");
        if (layout != ppLayoutBlank) throw ComError(E_NOTIMPL, "Only the blank layout is available.", "Slides");
        if (m_p->slides.size() >= 100000) throw ComError(E_OUTOFMEMORY, "Too many slides.", "Slides");
        auto s = std::make_shared<Slide>();
        m_p->slides.insert(m_p->slides.begin() + (index - 1), s);
        return std::make_unique<CSlide>(m_p, s);
    }
private:
    PresPtr m_p;
};

class CPageSetup final : public IPageSetup {
public:
    explicit CPageSetup(PresPtr p) : m_p(std::move(p)) {}
    float SlideWidth() const override { Check(m_p, "PageSetup"); return m_p->width; }
    float SlideHeight() const override { Check(m_p, "PageSetup"); return m_p->height; }
    void SetSlideWidth(float v) override { Check(m_p, "PageSetup"); m_p->width = Finite(v, 72, 4032, "PageSetup"); }
    void SetSlideHeight(float v) override { Check(m_p, "PageSetup"); m_p->height = Finite(v, 72, 4032, "PageSetup"); }
private:
    PresPtr m_p;
};

class CPresentation final : public IPresentation {
public:
    explicit CPresentation(PresPtr p) : m_p(std::move(p)) {}
    std::unique_ptr<IPageSetup> PageSetup() override { Check(m_p, "Presentation"); return std::make_unique<CPageSetup>(m_p); }
    std::unique_ptr<ISlides> Slides() override { Check(m_p, "Presentation"); return std::make_unique<CSlides>(m_p); }
    bool SaveAs(const std::filesystem::path& file, int format, MsoTriState embed) noexcept override {
        if (!m_p || m_p->closed || format != ppSaveAsOpenXMLPresentation || embed != msoFalse || file.empty()) return false;
        return SavePackage(*m_p, file, false);
    }
    bool SaveAsReplacing(const std::filesystem::path& file, int format) noexcept override {
        if (!m_p || m_p->closed || format != ppSaveAsOpenXMLPresentation || file.empty()) return false;
        return SavePackage(*m_p, file, true);
    }
    void Close() override {
        Check(m_p, "Presentation");
        m_p->closed = true;
        m_p->slides.clear();
        m_p->media.clear();
        m_p->mediaByContent.clear();
    }
private:
    PresPtr m_p;
};

class CPresentations final : public IPresentations {
public:
    explicit CPresentations(std::shared_ptr<std::vector<std::weak_ptr<Presentation>>> all) : m_all(std::move(all)) {}
    int Count() const override {
        int n = 0;
        for (auto& w : *m_all)
            if (auto p = w.lock(); p && !p->closed) ++n;
        return n;
    }
    std::unique_ptr<IPresentation> Add(MsoTriState withWindow) override {
        Tri(withWindow, "Presentations");
        auto p = std::make_shared<Presentation>();
        m_all->push_back(p);
        return std::make_unique<CPresentation>(p);
    }
private:
    std::shared_ptr<std::vector<std::weak_ptr<Presentation>>> m_all;
};

class CApplication final : public IApplication {
public:
    std::string Version() const override { return TRALVEX_VERSION_STRING; }
    std::string Build() const override {
        const std::string v = TRALVEX_VERSION_STRING;
        std::size_t pos = 0;
        for (int i = 0; i < 3 && pos != std::string::npos; ++i) {
            pos = v.find('.', pos);
            if (pos != std::string::npos) ++pos;
        }
        return pos == std::string::npos ? "0" : v.substr(pos);
    }
    std::unique_ptr<IPresentations> Presentations() override { return std::make_unique<CPresentations>(m_all); }
private:
    std::shared_ptr<std::vector<std::weak_ptr<Presentation>>> m_all =
        std::make_shared<std::vector<std::weak_ptr<Presentation>>>();
};

} // namespace

std::unique_ptr<IApplication> StartApplication() { return std::make_unique<CApplication>(); }

} // namespace engine
