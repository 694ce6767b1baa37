#pragma once
#include "imaging/ArgbBitmap.h"
#include "ui/ButtonState.h"
#include "ui/GtkSupport.h"

#include <functional>
#include <optional>
#include <string>

namespace ui {

// The program's own drawn controls: a label in its own colour on a
// transparent background, and push buttons that track hover, press and
// focus. Each owns its GTK widget (a drawing area); a container that holds
// the widget keeps it alive as long as needed.
namespace customcontrols {

using ui::Colour;

class CColoredLabel : public ui::ITextWidget {
public:
    CColoredLabel();
    ~CColoredLabel() override;
    CColoredLabel(const CColoredLabel&) = delete;
    CColoredLabel& operator=(const CColoredLabel&) = delete;

    GtkWidget* Widget() const { return m_widget; }
    std::string GetText() const override { return m_text; }
    void SetText(const std::string& text) override;
    void SetTextColour(Colour colour);
    Colour GetTextColour() const { return m_colour; }
    int GetPixelHeight() const { return m_pixelHeight; }
    void SetFont(const std::string& face, int pixelHeight);
    // Height of the text wrapped at word breaks within width.
    int MeasureHeight(int width) const;

private:
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, CColoredLabel* self);
    PangoLayout* MakeLayout(int width) const;

    GtkWidget* m_widget;
    std::string m_text;
    Colour m_colour = 0;
    std::string m_face = "Sans";
    int m_pixelHeight = 12;
};

// A self-drawn push button: a themed button face, or images per state.
class CCustomButton : public ui::ITextWidget {
public:
    CCustomButton();
    ~CCustomButton() override;
    CCustomButton(const CCustomButton&) = delete;
    CCustomButton& operator=(const CCustomButton&) = delete;

    GtkWidget* Widget() const { return m_widget; }
    std::string GetText() const override { return m_text; }
    void SetText(const std::string& text) override;

    void SetOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }
    // The name assistive technology gives the click ("click", "activate").
    void SetAccessibleAction(const char* name);
    void SetBackgroundColour(std::optional<Colour> colour)
    {
        m_background = colour;
        Repaint();
    }
    void SetStretch(bool stretch) { m_stretch = stretch; }
    void SetImages(imaging::ArgbBitmap normal, imaging::ArgbBitmap hot, imaging::ArgbBitmap pressed,
                   imaging::ArgbBitmap disabled, imaging::ArgbBitmap focused);
    void Show(bool visible);

    const ButtonStateTraits& State() const { return m_state; }
    bool IsEnabled() const;

protected:
    // Draws the face; false when nothing was drawn.
    virtual bool Draw(cairo_t* cr);
    virtual void OnStateChanged() {}
    virtual void UpdateCursor() {}
    void Repaint();
    int Width() const;
    int Height() const;
    void DrawThemedFace(cairo_t* cr, bool pressed, bool hot, bool focused);
    std::string m_text;

private:
    void Apply(const ButtonEvent& event);
    static gboolean OnDrawSignal(GtkWidget*, cairo_t* cr, CCustomButton* self);
    static gboolean OnEvent(GtkWidget* widget, GdkEvent* event, CCustomButton* self);

    GtkWidget* m_widget;
    ButtonStateTraits m_state;
    std::function<void()> m_onClick;
    std::optional<Colour> m_background;
    bool m_stretch = false;
    imaging::ArgbBitmap m_images[5];  // normal, hot, pressed, disabled, focused
};

// A button with text drawn in per-state fonts and colours, optionally with
// an image before or after it, or looking like a link.
class CCustomButtonEx : public CCustomButton {
public:
    CCustomButtonEx() = default;

    void SetImage(imaging::ArgbBitmap image)
    {
        m_image = std::move(image);
        Repaint();
    }
    void SetDisabledImage(imaging::ArgbBitmap image)
    {
        m_disabledImage = std::move(image);
        Repaint();
    }
    void SetTextShown(bool shown)
    {
        m_textShown = shown;
        Repaint();
    }
    void SetNormalText(int height, std::optional<Colour> colour, const std::string& face, int weight = 400);
    void SetHoverText(int height, std::optional<Colour> colour, const std::string& face);
    void SetDisabledTextColour(Colour colour)
    {
        m_disabledColour = colour;
        Repaint();
    }
    void SetHoverEffects(bool on)
    {
        m_hoverEffects = on;
        Repaint();
    }
    void SetWordEllipsis(bool on)
    {
        m_wordEllipsis = on;
        Repaint();
    }
    void SetAlignment(int alignment)
    {
        m_alignment = alignment;
        Repaint();
    }  // 0 left, 1 centre, 2 right
    void SetFocusRectangle(bool on)
    {
        m_focusRect = on;
        Repaint();
    }
    void SetImagePlacement(int placement)
    {
        m_placement = placement;
        Repaint();
    }  // 0 image first
    void SetBackgroundMode(int mode)
    {
        m_backgroundMode = mode;
        Repaint();
    }  // 0 themed, 1 face, 2 none
    void SetMinimumGap(int gap)
    {
        m_minimumGap = gap;
        Repaint();
    }
    void SetMargins(int left, int top, int right, int bottom);
    // Width of image, text and margins; the height stays.
    void FitWidth();

    // What the next paint uses: the underlined hover font while hot.
    bool UsesHoverFont() const;
    std::optional<Colour> CurrentTextColour() const;
    int TextWidth() const;
    const imaging::ArgbBitmap& CurrentImage() const;

protected:
    bool Draw(cairo_t* cr) override;
    void UpdateCursor() override;

private:
    PangoLayout* MakeLayout(bool hover) const;
    int Gap(int textWidth) const;

    imaging::ArgbBitmap m_image;
    imaging::ArgbBitmap m_disabledImage;
    bool m_textShown = true;
    int m_normalHeight = -1;
    std::optional<Colour> m_normalColour;
    Colour m_disabledColour = 0x6D6D6D;
    std::string m_normalFace;
    int m_normalWeight = 400;
    int m_hoverHeight = -1;
    std::optional<Colour> m_hoverColour;
    std::string m_hoverFace;
    bool m_hoverEffects = false;
    bool m_wordEllipsis = false;
    int m_alignment = 1;
    bool m_focusRect = false;
    int m_placement = 0;
    int m_backgroundMode = 0;
    int m_minimumGap = 0;
    int m_margins[4] = {0, 0, 0, 0};
};

}  // namespace customcontrols

}  // namespace ui
