#pragma once

namespace ui {

// Hover, press and focus of a self-drawn button, driven by the events the
// widget receives. Every event answers whether the look changed (repaint)
// and whether it was a click.
namespace customcontrols {

struct ButtonEvent {
    bool repaint = false;
    bool clicked = false;
};

class ButtonStateTraits {
public:
    ButtonEvent MouseMove(bool inside);
    ButtonEvent MouseLeave();
    // Left button down inside: the button captures the mouse and is pressed.
    ButtonEvent ButtonDown();
    ButtonEvent DoubleClick() { return ButtonDown(); }
    // Releases the capture; a click when released inside while pressed.
    ButtonEvent ButtonUp(bool inside);
    ButtonEvent CaptureLost();
    ButtonEvent SpaceDown();
    ButtonEvent SpaceUp();
    // Enter presses the button at once.
    ButtonEvent Enter() { return {false, true}; }
    ButtonEvent FocusIn();
    ButtonEvent FocusOut();

    bool IsHot() const { return m_hot && !m_pressed; }
    bool IsPressed() const { return m_pressed; }
    bool IsFocused() const { return m_focused; }
    bool IsCaptured() const { return m_captured; }
    // The raw hover flag: the mouse is over the button, pressed or not.
    bool IsMouseOver() const { return m_hot; }

private:
    ButtonEvent Set(bool& flag, bool value);

    bool m_hot = false;
    bool m_pressed = false;
    bool m_focused = false;
    bool m_captured = false;
    bool m_spaceDown = false;
};

}  // namespace customcontrols

namespace customcontrols {

// Which of a button's images shows: the disabled one when disabled; when
// pressed the pressed one, or the normal one moved by the pressed offset;
// the hot or the focused one when set; otherwise the normal one.
enum class ButtonImage { Normal,
                         NormalPressedOffset,
                         Hot,
                         Pressed,
                         Disabled,
                         Focused };
struct ButtonImagesSet {
    bool hot = false;
    bool pressed = false;
    bool disabled = false;
    bool focused = false;
};
ButtonImage ChooseButtonImage(const ButtonStateTraits& state, bool enabled, const ButtonImagesSet& set);

}  // namespace customcontrols

}  // namespace ui
