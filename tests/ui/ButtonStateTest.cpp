#include "ui/ButtonState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ui;

using namespace customcontrols;

namespace {

enum class E { In,
               Out,
               Leave,
               Down,
               Dbl,
               UpIn,
               UpOut,
               Lost,
               SpaceDown,
               SpaceUp,
               Enter,
               Focus,
               Blur };

struct StateCase {
    const char* name;
    std::vector<E> events;
    bool hot, pressed, focused;
    int clicks;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }
class ButtonStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ButtonStateTest, FollowsTheEvents)
{
    ButtonStateTraits s;
    int clicks = 0;
    for (const E e : GetParam().events) {
        ButtonEvent r;
        switch (e) {
        case E::In:
            r = s.MouseMove(true);
            break;
        case E::Out:
            r = s.MouseMove(false);
            break;
        case E::Leave:
            r = s.MouseLeave();
            break;
        case E::Down:
            r = s.ButtonDown();
            break;
        case E::Dbl:
            r = s.DoubleClick();
            break;
        case E::UpIn:
            r = s.ButtonUp(true);
            break;
        case E::UpOut:
            r = s.ButtonUp(false);
            break;
        case E::Lost:
            r = s.CaptureLost();
            break;
        case E::SpaceDown:
            r = s.SpaceDown();
            break;
        case E::SpaceUp:
            r = s.SpaceUp();
            break;
        case E::Enter:
            r = s.Enter();
            break;
        case E::Focus:
            r = s.FocusIn();
            break;
        case E::Blur:
            r = s.FocusOut();
            break;
        }
        clicks += r.clicked ? 1 : 0;
    }
    EXPECT_EQ(s.IsHot(), GetParam().hot);
    EXPECT_EQ(s.IsPressed(), GetParam().pressed);
    EXPECT_EQ(s.IsFocused(), GetParam().focused);
    EXPECT_EQ(clicks, GetParam().clicks);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonStateTest,
    ::testing::Values(StateCase{"HoverMakesHot", {E::In}, true, false, false, 0},
                      StateCase{"LeaveEndsHot", {E::In, E::Leave}, false, false, false, 0},
                      StateCase{"PressedIsNotHot", {E::In, E::Down}, false, true, false, 0},
                      StateCase{"ClickInside", {E::In, E::Down, E::UpIn}, true, false, false, 1},
                      StateCase{"DragOffReleases", {E::In, E::Down, E::Leave, E::Out}, false, false, false, 0},
                      StateCase{"DragBackPresses", {E::In, E::Down, E::Leave, E::Out, E::In}, false, true, false, 0},
                      StateCase{"ReleaseOutsideNoClick", {E::In, E::Down, E::Out, E::UpOut}, true, false, false, 0},
                      StateCase{"MoveWithoutCaptureDoesNotPress", {E::In, E::Out, E::In}, true, false, false, 0},
                      StateCase{"CaptureLostReleases", {E::Down, E::Lost, E::UpIn}, false, false, false, 0},
                      StateCase{"SpaceHeld", {E::Focus, E::SpaceDown}, false, true, true, 0},
                      StateCase{"SpaceReleasedClicks", {E::Focus, E::SpaceDown, E::SpaceUp}, false, false, true, 1},
                      StateCase{"SpaceUpAloneNoClick", {E::Focus, E::SpaceUp}, false, false, true, 0},
                      StateCase{"EnterClicksAtOnce", {E::Focus, E::Enter}, false, false, true, 1},
                      StateCase{"DoubleClickPresses", {E::Dbl}, false, true, false, 0},
                      StateCase{"FocusLostReleases", {E::Focus, E::SpaceDown, E::Blur, E::SpaceUp}, false, false, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct ImageCase {
    const char* name;
    std::vector<E> events;
    bool enabled;
    ButtonImagesSet set;
    ButtonImage expected;
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }
class ButtonImageTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ButtonImageTest, ChoosesByState)
{
    ButtonStateTraits s;
    for (const E e : GetParam().events)
        e == E::In ? s.MouseMove(true) : e == E::Down ? s.ButtonDown()
                                                      : s.FocusIn();
    EXPECT_EQ(ChooseButtonImage(s, GetParam().enabled, GetParam().set), GetParam().expected);
}

constexpr ButtonImagesSet kAll{true, true, true, true};
constexpr ButtonImagesSet kNone{};

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonImageTest,
    ::testing::Values(ImageCase{"DisabledFirst", {E::Down}, false, kAll, ButtonImage::Disabled},
                      ImageCase{"DisabledWithoutImage", {}, false, kNone, ButtonImage::Normal},
                      ImageCase{"Pressed", {E::Down}, true, kAll, ButtonImage::Pressed},
                      ImageCase{"PressedMovesNormal", {E::Down}, true, kNone, ButtonImage::NormalPressedOffset},
                      ImageCase{"Hot", {E::In, E::Focus}, true, kAll, ButtonImage::Hot},
                      ImageCase{"FocusedWhenNoHotImage", {E::In, E::Focus}, true, {false, true, true, true}, ButtonImage::Focused},
                      ImageCase{"Normal", {}, true, kAll, ButtonImage::Normal}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
