// Shapes, their fills, lines and picture formats.
#include "export/engine/objects/EngineObjects.h"

namespace engine::detail {

Fill& FillRef::Get() const
{
    if (shape)
        return shape->fill;
    slide->followMaster = false;
    return slide->background;
}

namespace {

class CColorFormat final : public IColorFormat {
public:
    explicit CColorFormat(FillRef f) : m_f(std::move(f)) {}
    ColorRef RGB() const override
    {
        Check(m_f.pres, "ColorFormat");
        return m_f.Get().color;
    }
    void SetRGB(ColorRef c) override
    {
        Check(m_f.pres, "ColorFormat");
        Fill& f = m_f.Get();
        f.kind = Fill::Kind::Solid;
        f.color = c & 0xFFFFFFu;
    }

private:
    FillRef m_f;
};

class CFillFormat final : public IFillFormat {
public:
    explicit CFillFormat(FillRef f) : m_f(std::move(f)) {}
    void Solid() override
    {
        Check(m_f.pres, "FillFormat");
        m_f.Get().kind = Fill::Kind::Solid;
    }
    std::unique_ptr<IColorFormat> ForeColor() override
    {
        Check(m_f.pres, "FillFormat");
        return std::make_unique<CColorFormat>(m_f);
    }
    // Only a slide background takes a picture.
    void UserPicture(const std::filesystem::path& file) override
    {
        Check(m_f.pres, "FillFormat");
        if (m_f.shape)
            throw ComError(E_NOTIMPL, "Picture fills are not supported here.", "FillFormat");
        const AddedMedia added = m_f.pres->media.Add(file);
        Fill& f = m_f.Get();
        f.kind = Fill::Kind::Picture;
        f.media = added.id;
    }
    MsoTriState Visible() const override
    {
        Check(m_f.pres, "FillFormat");
        return m_f.Get().visible.value_or(true) ? msoTrue : msoFalse;
    }
    void SetVisible(MsoTriState v) override
    {
        Check(m_f.pres, "FillFormat");
        m_f.Get().visible = Tri(v, "FillFormat");
    }

private:
    FillRef m_f;
};

class CLineFormat final : public ILineFormat {
public:
    CLineFormat(PresPtr p, ShapePtr s) : m_p(std::move(p)), m_s(std::move(s)) {}
    MsoTriState Visible() const override
    {
        Check(m_p, "LineFormat");
        return m_s->lineVisible.value_or(false) ? msoTrue : msoFalse;
    }
    void SetVisible(MsoTriState v) override
    {
        Check(m_p, "LineFormat");
        m_s->lineVisible = Tri(v, "LineFormat");
    }

private:
    PresPtr m_p;
    ShapePtr m_s;
};

class CPictureFormat final : public IPictureFormat {
public:
    CPictureFormat(PresPtr p, ShapePtr s) : m_p(std::move(p)), m_s(std::move(s)) {}
    float CropLeft() const override { return Get(&Crop::left); }
    float CropRight() const override { return Get(&Crop::right); }
    float CropTop() const override { return Get(&Crop::top); }
    float CropBottom() const override { return Get(&Crop::bottom); }
    void SetCropLeft(float v) override { Set(&Crop::left, v); }
    void SetCropRight(float v) override { Set(&Crop::right, v); }
    void SetCropTop(float v) override { Set(&Crop::top, v); }
    void SetCropBottom(float v) override { Set(&Crop::bottom, v); }

private:
    Picture& Pic() const { return std::get<Picture>(m_s->content); }
    float Get(float Crop::*side) const
    {
        Check(m_p, "PictureFormat");
        return Pic().crop.*side;
    }
    // Keeps the scale: the frame edge on the cropped side moves by the
    // change times the scale of that axis.
    void Set(float Crop::*side, float v)
    {
        Check(m_p, "PictureFormat");
        Finite(v, -kMaxCoordinate, kMaxCoordinate, "PictureFormat");
        Picture& pic = Pic();
        Rect& frame = m_s->frame;
        const bool horizontal = side == &Crop::left || side == &Crop::right;
        const double native = horizontal ? pic.nativeWidth : pic.nativeHeight;
        const double visibleBefore = native - (horizontal ? pic.crop.left + pic.crop.right : pic.crop.top + pic.crop.bottom);
        const double change = double(v) - pic.crop.*side;
        if (!(visibleBefore - change > 0))
            throw ComError(E_INVALIDARG, "The crop leaves nothing visible.", "PictureFormat");
        const double scale = (horizontal ? frame.width : frame.height) / visibleBefore;
        const double delta = change * scale;
        if (horizontal) {
            if (side == &Crop::left)
                frame.left = float(frame.left + delta);
            frame.width = float(frame.width - delta);
        } else {
            if (side == &Crop::top)
                frame.top = float(frame.top + delta);
            frame.height = float(frame.height - delta);
        }
        pic.crop.*side = v;
    }
    PresPtr m_p;
    ShapePtr m_s;
};

class CShape final : public IShape {
public:
    CShape(PresPtr p, ShapePtr s) : m_p(std::move(p)), m_s(std::move(s)) {}
    std::unique_ptr<IFillFormat> Fill() override
    {
        Check(m_p, "Shape");
        return MakeFillFormat({m_p, m_s, nullptr});
    }
    std::unique_ptr<ILineFormat> Line() override
    {
        Check(m_p, "Shape");
        return std::make_unique<CLineFormat>(m_p, m_s);
    }
    std::unique_ptr<ITextFrame> TextFrame() override
    {
        Check(m_p, "Shape");
        if (!m_s->AsTextBox())
            throw ComError(E_FAIL, "This shape has no text frame.", "Shape");
        return MakeTextFrame(m_p, m_s);
    }
    std::unique_ptr<IPictureFormat> PictureFormat() override
    {
        Check(m_p, "Shape");
        if (!m_s->AsPicture())
            throw ComError(E_FAIL, "This shape is not a picture.", "Shape");
        return std::make_unique<CPictureFormat>(m_p, m_s);
    }
    void ScaleWidth(float f, MsoTriState rel, int from) override { Scale(f, rel, from, true); }
    void ScaleHeight(float f, MsoTriState rel, int from) override { Scale(f, rel, from, false); }
    float Left() const override
    {
        Check(m_p, "Shape");
        return m_s->frame.left;
    }
    float Top() const override
    {
        Check(m_p, "Shape");
        return m_s->frame.top;
    }
    float Width() const override
    {
        Check(m_p, "Shape");
        return m_s->frame.width;
    }
    float Height() const override
    {
        Check(m_p, "Shape");
        return m_s->frame.height;
    }
    void SetLeft(float v) override
    {
        Check(m_p, "Shape");
        m_s->frame.left = Finite(v, -kMaxCoordinate, kMaxCoordinate, "Shape");
    }
    void SetTop(float v) override
    {
        Check(m_p, "Shape");
        m_s->frame.top = Finite(v, -kMaxCoordinate, kMaxCoordinate, "Shape");
    }
    void SetWidth(float v) override
    {
        Check(m_p, "Shape");
        m_s->frame.width = Finite(v, 0, kMaxCoordinate, "Shape");
    }
    void SetHeight(float v) override
    {
        Check(m_p, "Shape");
        m_s->frame.height = Finite(v, 0, kMaxCoordinate, "Shape");
    }

private:
    void Scale(float f, MsoTriState rel, int from, bool horizontal)
    {
        Check(m_p, "Shape");
        Finite(f, 0, 1000, "Shape");
        const bool relative = Tri(rel, "Shape");
        if (from < msoScaleFromTopLeft || from > msoScaleFromBottomRight)
            throw ComError(E_INVALIDARG, "Unknown anchor.", "Shape");
        const Picture* pic = m_s->AsPicture();
        if (relative && !pic)
            throw ComError(E_INVALIDARG, "Only pictures have a native size.", "Shape");
        Rect& r = m_s->frame;
        float& extent = horizontal ? r.width : r.height;
        float& origin = horizontal ? r.left : r.top;
        double base = extent;
        if (relative)
            base = horizontal ? pic->nativeWidth - pic->crop.left - pic->crop.right
                              : pic->nativeHeight - pic->crop.top - pic->crop.bottom;
        const double target = base * f;
        Finite(float(target), 0, kMaxCoordinate, "Shape");
        const double grow = target - extent;
        if (from == msoScaleFromMiddle)
            origin = float(origin - grow / 2);
        if (from == msoScaleFromBottomRight)
            origin = float(origin - grow);
        extent = float(target);
    }
    PresPtr m_p;
    ShapePtr m_s;
};

class CShapes final : public IShapes {
public:
    CShapes(PresPtr p, std::shared_ptr<Slide> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    int Count() const override
    {
        Check(m_p, "Shapes");
        return int(m_s->shapes.size());
    }
    std::unique_ptr<IShape> AddTextbox(int orientation, float l, float t, float w, float h) override
    {
        Check(m_p, "Shapes");
        if (orientation != msoTextOrientationHorizontal)
            throw ComError(E_NOTIMPL, "Only horizontal text is supported.", "Shapes");
        auto s = std::make_shared<Shape>();
        s->content = TextBox{};
        s->frame = Place(l, t, w, h);
        return Append(s);
    }
    std::unique_ptr<IShape> AddPicture(const std::filesystem::path& file, MsoTriState link, MsoTriState save,
                                       float l, float t, float w, float h) override
    {
        Check(m_p, "Shapes");
        if (Tri(link, "Shapes"))
            throw ComError(E_NOTIMPL, "Linked pictures are not supported.", "Shapes");
        if (!Tri(save, "Shapes"))
            throw ComError(E_INVALIDARG, "A picture must be linked or saved.", "Shapes");
        const AddedMedia added = m_p->media.Add(file);
        Picture pic{added.id, added.nativeWidth, added.nativeHeight, {}};
        if (w == -1.0f && h == -1.0f) {
            w = pic.nativeWidth;
            h = pic.nativeHeight;
        } else if (w == -1.0f)
            w = float(double(h) * pic.nativeWidth / pic.nativeHeight);
        else if (h == -1.0f)
            h = float(double(w) * pic.nativeHeight / pic.nativeWidth);
        auto s = std::make_shared<Shape>();
        s->frame = Place(l, t, w, h);
        s->content = pic;
        return Append(s);
    }

private:
    static Rect Place(float l, float t, float w, float h)
    {
        return {Finite(l, -kMaxCoordinate, kMaxCoordinate, "Shapes"), Finite(t, -kMaxCoordinate, kMaxCoordinate, "Shapes"),
                Finite(w, 0, kMaxCoordinate, "Shapes"), Finite(h, 0, kMaxCoordinate, "Shapes")};
    }
    std::unique_ptr<IShape> Append(const ShapePtr& s)
    {
        s->id = m_s->nextId++;
        m_s->shapes.push_back(s);
        return std::make_unique<CShape>(m_p, s);
    }
    PresPtr m_p;
    std::shared_ptr<Slide> m_s;
};

}  // namespace

std::unique_ptr<IFillFormat> MakeFillFormat(FillRef fill) { return std::make_unique<CFillFormat>(std::move(fill)); }
std::unique_ptr<IShapes> MakeShapes(PresPtr p, std::shared_ptr<Slide> s) { return std::make_unique<CShapes>(std::move(p), std::move(s)); }

}  // namespace engine::detail
