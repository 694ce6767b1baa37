#include "ui/ButtonState.h"

namespace ui {

namespace customcontrols {

ButtonEvent ButtonStateTraits::Set(bool& flag, bool value)
{
    const bool changed = flag != value;
    flag = value;
    return {changed, false};
}

ButtonEvent ButtonStateTraits::MouseMove(bool inside)
{
    ButtonEvent event;
    if (inside && !m_hot)
        event.repaint |= Set(m_hot, true).repaint;
    if (m_captured)
        event.repaint |= Set(m_pressed, inside).repaint;
    return event;
}

ButtonEvent ButtonStateTraits::MouseLeave()
{
    // While captured the button still follows the mouse through MouseMove.
    return Set(m_hot, false);
}

ButtonEvent ButtonStateTraits::ButtonDown()
{
    m_captured = true;
    return Set(m_pressed, true);
}

ButtonEvent ButtonStateTraits::ButtonUp(bool inside)
{
    const bool wasPressed = m_pressed && m_captured;
    ButtonEvent event = CaptureLost();
    event.clicked = wasPressed && inside;
    return event;
}

ButtonEvent ButtonStateTraits::CaptureLost()
{
    m_captured = false;
    return m_spaceDown ? ButtonEvent{} : Set(m_pressed, false);
}

ButtonEvent ButtonStateTraits::SpaceDown()
{
    m_spaceDown = true;
    return Set(m_pressed, true);
}

ButtonEvent ButtonStateTraits::SpaceUp()
{
    if (!m_spaceDown)
        return {};
    m_spaceDown = false;
    ButtonEvent event = Set(m_pressed, false);
    event.clicked = true;
    return event;
}

ButtonEvent ButtonStateTraits::FocusIn() { return Set(m_focused, true); }

ButtonEvent ButtonStateTraits::FocusOut()
{
    m_spaceDown = false;
    m_captured = false;
    ButtonEvent event = Set(m_focused, false);
    event.repaint |= Set(m_pressed, false).repaint;
    return event;
}

}  // namespace customcontrols

namespace customcontrols {

ButtonImage ChooseButtonImage(const ButtonStateTraits& state, bool enabled, const ButtonImagesSet& set)
{
    if (!enabled && set.disabled)
        return ButtonImage::Disabled;
    if (state.IsPressed())
        return set.pressed ? ButtonImage::Pressed : ButtonImage::NormalPressedOffset;
    if (state.IsHot() && set.hot)
        return ButtonImage::Hot;
    if (state.IsFocused() && set.focused)
        return ButtonImage::Focused;
    return ButtonImage::Normal;
}

}  // namespace customcontrols

}  // namespace ui
