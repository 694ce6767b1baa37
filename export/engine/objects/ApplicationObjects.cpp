// The automation objects of the application, presentations, slides and page setup.
#include "export/engine/objects/EngineObjects.h"
#include "Version.h"

namespace engine {
namespace {

using namespace detail;

class CSlide final : public ISlide {
public:
    CSlide(PresPtr p, std::shared_ptr<Slide> s) : m_p(std::move(p)), m_s(std::move(s)) {}
    MsoTriState FollowMasterBackground() const override
    {
        Check(m_p, "Slide");
        return m_s->followMaster ? msoTrue : msoFalse;
    }
    void SetFollowMasterBackground(MsoTriState v) override
    {
        Check(m_p, "Slide");
        m_s->followMaster = Tri(v, "Slide");
    }
    std::unique_ptr<IFillFormat> BackgroundFill() override
    {
        Check(m_p, "Slide");
        return MakeFillFormat({m_p, nullptr, m_s});
    }
    std::unique_ptr<IShapes> Shapes() override
    {
        Check(m_p, "Slide");
        return MakeShapes(m_p, m_s);
    }

private:
    PresPtr m_p;
    std::shared_ptr<Slide> m_s;
};

class CSlides final : public ISlides {
public:
    explicit CSlides(PresPtr p) : m_p(std::move(p)) {}
    int Count() const override
    {
        Check(m_p, "Slides");
        return int(m_p->slides.size());
    }
    std::unique_ptr<ISlide> Add(int index, int layout) override
    {
        Check(m_p, "Slides");
        if (index < 1 || index > int(m_p->slides.size()) + 1)
            throw ComError(E_INVALIDARG, "The index is out of range.", "Slides");
        if (layout != ppLayoutBlank)
            throw ComError(E_NOTIMPL, "Only the blank layout is available.", "Slides");
        if (m_p->slides.size() >= 100000)
            throw ComError(E_OUTOFMEMORY, "Too many slides.", "Slides");
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
    float SlideWidth() const override
    {
        Check(m_p, "PageSetup");
        return m_p->width;
    }
    float SlideHeight() const override
    {
        Check(m_p, "PageSetup");
        return m_p->height;
    }
    void SetSlideWidth(float v) override
    {
        Check(m_p, "PageSetup");
        m_p->width = Finite(v, 72, 4032, "PageSetup");
    }
    void SetSlideHeight(float v) override
    {
        Check(m_p, "PageSetup");
        m_p->height = Finite(v, 72, 4032, "PageSetup");
    }

private:
    PresPtr m_p;
};

class CPresentation final : public IPresentation {
public:
    explicit CPresentation(PresPtr p) : m_p(std::move(p)) {}
    std::unique_ptr<IPageSetup> PageSetup() override
    {
        Check(m_p, "Presentation");
        return std::make_unique<CPageSetup>(m_p);
    }
    std::unique_ptr<ISlides> Slides() override
    {
        Check(m_p, "Presentation");
        return std::make_unique<CSlides>(m_p);
    }
    bool SaveAs(const std::filesystem::path& file, int format, MsoTriState embed) noexcept override
    {
        if (!m_p || m_p->closed || format != ppSaveAsOpenXMLPresentation || embed != msoFalse || file.empty())
            return false;
        return SavePackage(*m_p, file, false);
    }
    bool SaveAsReplacing(const std::filesystem::path& file, int format) noexcept override
    {
        if (!m_p || m_p->closed || format != ppSaveAsOpenXMLPresentation || file.empty())
            return false;
        return SavePackage(*m_p, file, true);
    }
    // The core properties' title (dc:title); empty writes none.
    void SetTitle(const std::string& title) override
    {
        Check(m_p, "Presentation");
        m_p->title = title;
    }
    void Close() override
    {
        Check(m_p, "Presentation");
        m_p->closed = true;
        m_p->slides.clear();
        m_p->media.Clear();
    }

private:
    PresPtr m_p;
};

class CPresentations final : public IPresentations {
public:
    explicit CPresentations(std::shared_ptr<std::vector<std::weak_ptr<Presentation>>> all) : m_all(std::move(all)) {}
    int Count() const override
    {
        int n = 0;
        for (auto& w : *m_all)
            if (auto p = w.lock(); p && !p->closed)
                ++n;
        return n;
    }
    std::unique_ptr<IPresentation> Add(MsoTriState withWindow) override
    {
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
    std::string Build() const override
    {
        const std::string v = TRALVEX_VERSION_STRING;
        std::size_t pos = 0;
        for (int i = 0; i < 3 && pos != std::string::npos; ++i) {
            pos = v.find('.', pos);
            if (pos != std::string::npos)
                ++pos;
        }
        return pos == std::string::npos ? "0" : v.substr(pos);
    }
    std::unique_ptr<IPresentations> Presentations() override { return std::make_unique<CPresentations>(m_all); }

private:
    std::shared_ptr<std::vector<std::weak_ptr<Presentation>>> m_all =
        std::make_shared<std::vector<std::weak_ptr<Presentation>>>();
};

}  // namespace

std::unique_ptr<IApplication> detail::MakeApplication() { return std::make_unique<CApplication>(); }

}  // namespace engine
