// The text frame, text range, font and paragraph format of a text box.
#include "export/engine/objects/EngineObjects.h"

#include "text/Unicode.h"

#include <algorithm>

namespace engine::detail {
namespace {

// "\r\n", "\r" and "\n" become one mark; invalid UTF-8 becomes U+FFFD.
std::u16string ToUtf16(const std::string& text)
{
    const std::u16string raw = unicode::ToUtf16(text);
    std::u16string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n')
            ++i;
        out.push_back(raw[i] == u'\n' ? u'\r' : raw[i]);
    }
    return out;
}

// A range is either the whole text (it follows the text as it grows) or a
// fixed stretch of it; a stale stretch is clamped to the current text.
struct RangeRef {
    PresPtr pres;
    ShapePtr shape;
    bool whole = true;
    std::size_t start = 0, length = 0;

    TextBody& Body() const { return std::get<TextBox>(shape->content).text; }
    std::pair<std::size_t, std::size_t> Span() const
    {
        const std::size_t size = Body().Size();
        if (whole)
            return {0, size};
        const std::size_t s = std::min(start, size);
        return {s, std::min(length, size - s)};
    }
    // The value every character of the range shares; none when mixed or unset.
    template <class T, class Get>
    std::optional<T> Common(Get get) const
    {
        auto [s, n] = Span();
        if (n == 0)
            return std::nullopt;
        const TextBody& t = Body();
        std::optional<T> result;
        for (std::size_t r = t.RunAt(s); r < t.Runs().size() && t.Runs()[r].start < s + n; ++r) {
            const std::optional<T> v = get(t.Runs()[r].props);
            if (!v || (result && *result != *v))
                return std::nullopt;
            result = v;
        }
        return result;
    }
    template <class F>
    void Apply(const char* iface, F f) const
    {
        Check(pres, iface);
        auto [s, n] = Span();
        Body().ApplyRuns(s, n, f);
    }
};

class CFont final : public IFont {
public:
    explicit CFont(RangeRef r) : m_r(std::move(r)) {}
    MsoTriState Bold() const override { return Tri3(&RunProps::bold); }
    void SetBold(MsoTriState v) override
    {
        bool b = Tri(v, "Font");
        m_r.Apply("Font", [b](RunProps& p) { p.bold = b; });
    }
    MsoTriState Italic() const override { return Tri3(&RunProps::italic); }
    void SetItalic(MsoTriState v) override
    {
        bool b = Tri(v, "Font");
        m_r.Apply("Font", [b](RunProps& p) { p.italic = b; });
    }
    int UnderlineStyle() const override
    {
        Check(m_r.pres, "Font");
        const auto style = m_r.Common<Underline>([](const RunProps& p) { return p.underline; });
        return style ? int(*style) : msoTriStateMixed;
    }
    void SetUnderlineStyle(int style) override
    {
        if (style != msoNoUnderline && style != msoUnderlineSingleLine && (style < 1 || style > 17))
            throw ComError(E_INVALIDARG, "Unknown underline style.", "Font");
        m_r.Apply("Font", [style](RunProps& p) { p.underline = Underline(style); });
    }
    float Kerning() const override { return Float(&RunProps::kerning); }
    void SetKerning(float v) override
    {
        Finite(v, 0, 4000, "Font");
        m_r.Apply("Font", [v](RunProps& p) { p.kerning = v; });
    }
    float Spacing() const override { return Float(&RunProps::spacing); }
    void SetSpacing(float v) override
    {
        Finite(v, -4000, 4000, "Font");
        m_r.Apply("Font", [v](RunProps& p) { p.spacing = v; });
    }
    std::string Name() const override
    {
        Check(m_r.pres, "Font");
        return m_r.Common<std::string>([](const RunProps& p) { return p.name; }).value_or("");
    }
    // An empty name leaves the theme's font in force.
    void SetName(const std::string& name) override
    {
        std::optional<std::string> n;
        if (!name.empty())
            n = unicode::ToUtf8(ToUtf16(name));
        m_r.Apply("Font", [&n](RunProps& p) { p.name = n; });
    }
    float Size() const override { return Float(&RunProps::size); }
    void SetSize(float v) override
    {
        Finite(v, 1, 4000, "Font");
        m_r.Apply("Font", [v](RunProps& p) { p.size = v; });
    }
    std::unique_ptr<IFillFormat> Fill() override;

private:
    MsoTriState Tri3(std::optional<bool> RunProps::*m) const
    {
        Check(m_r.pres, "Font");
        auto v = m_r.Common<bool>([m](const RunProps& p) { return p.*m; });
        return v ? (*v ? msoTrue : msoFalse) : msoTriStateMixed;
    }
    float Float(std::optional<float> RunProps::*m) const
    {
        Check(m_r.pres, "Font");
        return m_r.Common<float>([m](const RunProps& p) { return p.*m; }).value_or(-1.0f);
    }
    RangeRef m_r;
};

class CFontColor final : public IColorFormat {
public:
    explicit CFontColor(RangeRef r) : m_r(std::move(r)) {}
    ColorRef RGB() const override
    {
        Check(m_r.pres, "ColorFormat");
        return m_r.Common<ColorRef>([](const RunProps& p) { return p.color; }).value_or(0);
    }
    void SetRGB(ColorRef c) override
    {
        m_r.Apply("ColorFormat", [c](RunProps& p) { p.color = c & 0xFFFFFFu; });
    }

private:
    RangeRef m_r;
};

// The fill of a font: solid colours only.
class CFontFill final : public IFillFormat {
public:
    explicit CFontFill(RangeRef r) : m_r(std::move(r)) {}
    void Solid() override { Check(m_r.pres, "FillFormat"); }
    std::unique_ptr<IColorFormat> ForeColor() override
    {
        Check(m_r.pres, "FillFormat");
        return std::make_unique<CFontColor>(m_r);
    }
    void UserPicture(const std::filesystem::path&) override
    {
        throw ComError(E_NOTIMPL, "Picture fills of text are not supported.", "FillFormat");
    }
    MsoTriState Visible() const override
    {
        Check(m_r.pres, "FillFormat");
        return msoTrue;
    }
    void SetVisible(MsoTriState v) override
    {
        if (!Tri(v, "FillFormat"))
            throw ComError(E_NOTIMPL, "Invisible text is not supported.", "FillFormat");
    }

private:
    RangeRef m_r;
};

std::unique_ptr<IFillFormat> CFont::Fill()
{
    Check(m_r.pres, "Font");
    return std::make_unique<CFontFill>(m_r);
}

class CParagraphFormat final : public IParagraphFormat {
public:
    explicit CParagraphFormat(RangeRef r) : m_r(std::move(r)) {}
    int Alignment() const override
    {
        auto [a, b] = Paragraphs();
        const TextBody& t = m_r.Body();
        const auto first = t.Paragraphs()[a].alignment;
        for (std::size_t i = a + 1; i <= b; ++i)
            if (t.Paragraphs()[i].alignment != first)
                return msoTriStateMixed;
        return first ? int(*first) : 0;
    }
    void SetAlignment(int a) override
    {
        if (a < ppAlignLeft || a > ppAlignJustify)
            throw ComError(E_INVALIDARG, "Unknown alignment.", "ParagraphFormat");
        Apply([a](ParaProps& p) { p.alignment = detail::Alignment(a); });
    }
    float SpaceWithin() const override
    {
        auto [a, b] = Paragraphs();
        const TextBody& t = m_r.Body();
        const auto first = t.Paragraphs()[a].spaceWithin;
        for (std::size_t i = a + 1; i <= b; ++i)
            if (t.Paragraphs()[i].spaceWithin != first)
                return -1.0f;
        return first.value_or(-1.0f);
    }
    void SetSpaceWithin(float v) override
    {
        Finite(v, 0, 9.6f, "ParagraphFormat");
        Apply([v](ParaProps& p) { p.spaceWithin = v; });
    }

private:
    std::pair<std::size_t, std::size_t> Paragraphs() const
    {
        Check(m_r.pres, "ParagraphFormat");
        auto [s, n] = m_r.Span();
        const TextBody& t = m_r.Body();
        const std::size_t first = t.ParagraphOf(s);
        return {first, n ? t.ParagraphOf(s + n - 1) : first};
    }
    template <class F>
    void Apply(F f)
    {
        auto [a, b] = Paragraphs();
        for (std::size_t i = a; i <= b; ++i)
            f(m_r.Body().Paragraph(i));
    }
    RangeRef m_r;
};

class CTextRange final : public ITextRange {
public:
    explicit CTextRange(RangeRef r) : m_r(std::move(r)) {}
    std::string Text() const override
    {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        return unicode::ToUtf8(std::u16string_view(m_r.Body().Chars()).substr(s, n));
    }
    int Length() const override
    {
        Check(m_r.pres, "TextRange");
        return int(m_r.Span().second);
    }
    std::unique_ptr<ITextRange> InsertAfter(const std::string& text) override
    {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        const std::u16string add = ToUtf16(text);
        TextBody& t = m_r.Body();
        if (t.Size() + add.size() > 10'000'000)
            throw ComError(E_OUTOFMEMORY, "The text is too long.", "TextRange");
        t.Insert(s + n, add);
        RangeRef r = m_r;
        r.whole = false;
        r.start = s + n;
        r.length = add.size();
        return std::make_unique<CTextRange>(r);
    }
    std::unique_ptr<ITextRange> Characters(int start, int count) override
    {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        if (start < 1 || count < -1)
            throw ComError(E_INVALIDARG, "The character position is out of range.", "TextRange");
        RangeRef r = m_r;
        r.whole = false;
        r.start = s + std::min<std::size_t>(std::size_t(start) - 1, n);
        const std::size_t rest = s + n - r.start;
        r.length = count == -1 ? rest : std::min<std::size_t>(std::size_t(count), rest);
        return std::make_unique<CTextRange>(r);
    }
    std::unique_ptr<IFont> Font() override
    {
        Check(m_r.pres, "TextRange");
        return std::make_unique<CFont>(m_r);
    }
    std::unique_ptr<IParagraphFormat> ParagraphFormat() override
    {
        Check(m_r.pres, "TextRange");
        return std::make_unique<CParagraphFormat>(m_r);
    }
    void Delete() override
    {
        Check(m_r.pres, "TextRange");
        auto [s, n] = m_r.Span();
        m_r.Body().Erase(s, n);
        if (!m_r.whole)
            m_r.length = 0;
    }

private:
    RangeRef m_r;
};

class CTextFrame final : public ITextFrame {
public:
    CTextFrame(PresPtr p, ShapePtr s) : m_p(std::move(p)), m_s(std::move(s)) {}
    float MarginLeft() const override { return Get(&Insets::left); }
    float MarginRight() const override { return Get(&Insets::right); }
    float MarginTop() const override { return Get(&Insets::top); }
    float MarginBottom() const override { return Get(&Insets::bottom); }
    void SetMarginLeft(float v) override { Set(&Insets::left, v); }
    void SetMarginRight(float v) override { Set(&Insets::right, v); }
    void SetMarginTop(float v) override { Set(&Insets::top, v); }
    void SetMarginBottom(float v) override { Set(&Insets::bottom, v); }
    int AutoSize() const override
    {
        Check(m_p, "TextFrame");
        return int(Box().autoSize);
    }
    void SetAutoSize(int a) override
    {
        Check(m_p, "TextFrame");
        if (a != ppAutoSizeNone && a != ppAutoSizeShapeToFitText)
            throw ComError(E_INVALIDARG, "Unknown auto-size.", "TextFrame");
        Box().autoSize = detail::AutoSize(a);
    }
    std::unique_ptr<ITextRange> TextRange() override
    {
        Check(m_p, "TextFrame");
        RangeRef r;
        r.pres = m_p;
        r.shape = m_s;
        return std::make_unique<CTextRange>(r);
    }

private:
    TextBox& Box() const { return std::get<TextBox>(m_s->content); }
    float Get(float Insets::*m) const
    {
        Check(m_p, "TextFrame");
        return Box().insets.*m;
    }
    void Set(float Insets::*m, float v)
    {
        Check(m_p, "TextFrame");
        Box().insets.*m = Finite(v, 0, 4000, "TextFrame");
    }
    PresPtr m_p;
    ShapePtr m_s;
};

}  // namespace

std::unique_ptr<ITextFrame> MakeTextFrame(PresPtr p, ShapePtr s) { return std::make_unique<CTextFrame>(std::move(p), std::move(s)); }

}  // namespace engine::detail
