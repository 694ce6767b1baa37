#include "ui/Geometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "support/CaseNames.h"

using namespace ui;

namespace {

struct MulDivCase {
    int a, b, c, expected;
};

void PrintTo(const MulDivCase& c, std::ostream* os) { *os << testnames::Name(c.a, "times", c.b, "by", c.c); }
class MulDivTest : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsHalvesAwayFromZero)
{
    const auto& p = GetParam();
    EXPECT_EQ(MulDiv(p.a, p.b, p.c), p.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MulDivTest,
                         ::testing::Values(MulDivCase{32, 144, 96, 48}, MulDivCase{16, 120, 96, 20},
                                           MulDivCase{6, 120, 96, 8},  // 7.5
                                           MulDivCase{-3, 1, 2, -2}, MulDivCase{3, -1, 2, -2},
                                           MulDivCase{5, 1, 0, -1}, MulDivCase{0x40000000, 4, 1, -1}),
                         [](const auto& info) { const auto& c = info.param; return testnames::Name(c.a, "times", c.b, "by", c.c); });

struct UnitsCase {
    const char* name;
    int dpi;
    int units;
    int x, y;
};

void PrintTo(const UnitsCase& c, std::ostream* os) { *os << c.name; }
class DialogUnitsTest : public ::testing::TestWithParam<UnitsCase> {};

TEST_P(DialogUnitsTest, ConvertsBothWays)
{
    const auto& p = GetParam();
    const Dpi dpi{p.dpi, p.dpi};
    EXPECT_EQ(DialogUnitsX(p.units, dpi), p.x);
    EXPECT_EQ(DialogUnitsY(p.units, dpi), p.y);
}

INSTANTIATE_TEST_SUITE_P(Cases, DialogUnitsTest,
                         ::testing::Values(UnitsCase{"TemplateWidthAndHeight96", 96, 327, 491, 531},
                                           UnitsCase{"Height96", 96, 181, 272, 294},
                                           UnitsCase{"Five96", 96, 5, 8, 8},
                                           UnitsCase{"Height144", 144, 181, 407, 441},
                                           UnitsCase{"Width144", 144, 327, 736, 797},
                                           UnitsCase{"Zero", 120, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBoxTemplate, Is490By294At96Dpi)
{
    const MessageBoxTemplate t = MessageBoxTemplateAt({96, 96});
    EXPECT_EQ(t.clientWidth, 491);
    EXPECT_EQ(t.clientHeight, 294);
    EXPECT_EQ(t.panel.bottom, t.clientHeight);
    EXPECT_EQ(t.slots[0], (Rect{407, 252, 482, 288}));
    EXPECT_EQ(t.icon, (Rect{30, 31, 78, 83}));
}

int TenPerCharacter(const std::string& text) { return static_cast<int>(text.size()) * 10; }

struct ButtonCase {
    const char* name;
    std::vector<std::string> captions;
    int leftLimit;
    std::vector<bool> visible;
    std::vector<Rect> slots;
    int widen;
};

void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }
class ButtonLayoutTest : public ::testing::TestWithParam<ButtonCase> {};

// Slots 50 wide, 30 high, 10 apart; text 20 high, so 20 px of padding.
TEST_P(ButtonLayoutTest, SlotsFromTheRight)
{
    const auto& p = GetParam();
    const Rect slots[3] = {{200, 0, 250, 30}, {140, 0, 190, 30}, {80, 0, 130, 30}};
    const ButtonLayout layout = LayOutButtons(slots, p.captions, TenPerCharacter, 20, p.leftLimit);
    EXPECT_EQ(layout.widen, p.widen);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(layout.visible[i], p.visible[i]) << i;
        if (p.visible[i]) {
            EXPECT_EQ(layout.slots[i], p.slots[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonLayoutTest,
    ::testing::Values(
        ButtonCase{"SingleClose", {"Close"}, 20, {true, false, false}, {{180, 0, 250, 30}}, 0},
        ButtonCase{"TwoKeepTheirGap", {"Yes", "No"}, 20, {true, true, false}, {{210, 0, 250, 30}, {150, 0, 200, 30}}, 0},
        ButtonCase{"SlashPartsFitTheWider", {"Open/Close all"}, 20, {true, false, false}, {{140, 0, 250, 30}}, 0},
        ButtonCase{"PastTheLimitWidens",
                   {"A very long caption", "Another long one", "Third caption here"},
                   60,
                   {true, true, true},
                   {{470, 0, 670, 30}, {280, 0, 460, 30}, {60, 0, 270, 30}},
                   420},
        ButtonCase{"NoButtons", {}, 20, {false, false, false}, {}, 0},
        ButtonCase{"OnlyTheLastThreeShow", {"a", "b", "c", "d"}, 0, {true, true, true}, {{220, 0, 250, 30}, {180, 0, 210, 30}, {140, 0, 170, 30}}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptionParts, SplitsAtEverySlash)
{
    EXPECT_EQ(CaptionParts("a/bb//c"), (std::vector<std::string>{"a", "bb", "", "c"}));
    EXPECT_EQ(CaptionParts(""), (std::vector<std::string>{""}));
}

MessageBoxLayoutInput Input(int titleHeight, int bodyHeight)
{
    MessageBoxLayoutInput in;
    in.captions = {"Close"};
    in.buttonTextWidth = TenPerCharacter;
    in.buttonTextHeight = 19;
    in.titleHeight = [titleHeight](int) { return titleHeight; };
    in.bodyHeight = [bodyHeight](int) { return bodyHeight; };
    return in;
}

struct BoxCase {
    const char* name;
    int titleHeight;
    int bodyHeight;
    bool hasTitle;
    bool hasIcon;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }
class MessageBoxLayoutTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxLayoutTest, BodyAndTitleMoveThePanel)
{
    const auto& p = GetParam();
    const MessageBoxTemplate t = MessageBoxTemplateAt({96, 96});
    MessageBoxLayoutInput in = Input(p.titleHeight, p.bodyHeight);
    in.hasTitle = p.hasTitle;
    in.hasIcon = p.hasIcon;
    const MessageBoxLayout l = LayOutMessageBox(in);
    EXPECT_EQ(l.title.Height(), p.titleHeight);
    EXPECT_EQ(l.body.Height(), p.bodyHeight);
    EXPECT_EQ(l.body.top, p.hasTitle ? l.title.bottom + (t.body.top - t.title.bottom) : t.title.top);
    EXPECT_EQ(l.body.left, p.hasIcon ? t.body.left : t.icon.left);
    // The space below the body and the panel's height stay as in the template.
    EXPECT_EQ(l.panel.top - l.body.bottom, t.panel.top - t.body.bottom);
    EXPECT_EQ(l.panel.bottom, l.clientHeight);
    EXPECT_EQ(l.panel.Height(), t.panel.Height());
    EXPECT_EQ(l.buttons.slots[0].top - l.panel.top, t.slots[0].top - t.panel.top);
    EXPECT_EQ(l.clientWidth, t.clientWidth);
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageBoxLayoutTest,
                         ::testing::Values(BoxCase{"TemplateSizes", 39, 112, true, true},
                                           BoxCase{"WrappedTitle", 78, 112, true, true},
                                           BoxCase{"OneShortLine", 39, 17, true, true},
                                           BoxCase{"EmptyTitle", 19, 50, false, true},
                                           BoxCase{"NoIcon", 39, 50, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBoxLayout, LinkSetsTheLeftLimit)
{
    MessageBoxLayoutInput in = Input(39, 112);
    in.captions = {"An extremely long caption for the only button of this box"};
    in.hasLink = true;
    in.linkWidth = 200;
    const MessageBoxLayout l = LayOutMessageBox(in);
    const MessageBoxTemplate t = MessageBoxTemplateAt({96, 96});
    // Link right edge + 5 vertical dialog units (8 px).
    EXPECT_EQ(l.link.right, t.link.left + 200);
    EXPECT_EQ(l.buttons.slots[0].left, l.link.right + 8);
    EXPECT_EQ(l.clientWidth, t.clientWidth + l.buttons.widen);
    EXPECT_EQ(l.panel.right, l.clientWidth);
    EXPECT_EQ(l.buttons.slots[0].right, t.slots[0].right + l.buttons.widen);
    EXPECT_GT(l.buttons.widen, 0);
}

struct CentreCase {
    const char* name;
    Rect area;
    int width, height;
    Point expected;
};

void PrintTo(const CentreCase& c, std::ostream* os) { *os << c.name; }
class CentreTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentreTest, CentresInsideTheWorkArea)
{
    const auto& p = GetParam();
    EXPECT_EQ(CentreInWorkArea(p.area, p.width, p.height), p.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CentreTest,
                         ::testing::Values(CentreCase{"Plain", {0, 0, 1280, 1024}, 491, 213, {395, 406}},
                                           CentreCase{"PanelAtTheTop", {0, 32, 1280, 1024}, 490, 200, {395, 428}},
                                           CentreCase{"SecondMonitor", {1280, 0, 2560, 1024}, 500, 300, {1670, 362}},
                                           CentreCase{"LargerThanTheArea", {0, 0, 400, 300}, 500, 400, {0, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A box taller than the limit: the body gives up the excess, down to one
// line, and what lies below it moves up with the bottom edge.
struct LimitCase {
    const char* name;
    int limit;
    int clientHeight, bodyBottom, panelTop;
};
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }
class LimitHeightTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitHeightTest, BodyGivesWay)
{
    MessageBoxLayout l;
    l.clientHeight = 1000;
    l.body = {10, 50, 400, 900};
    l.title = {10, 10, 400, 40};
    l.panel = {0, 920, 490, 1000};
    l.link = {20, 940, 200, 960};
    l.buttons.slots[0] = {400, 930, 480, 970};
    LimitHeight(l, GetParam().limit, 20);
    EXPECT_EQ(l.clientHeight, GetParam().clientHeight);
    EXPECT_EQ(l.body.bottom, GetParam().bodyBottom);
    EXPECT_EQ(l.panel.top, GetParam().panelTop);
    EXPECT_EQ(l.buttons.slots[0].bottom - l.panel.top, 50);
    EXPECT_EQ(l.link.top - l.panel.top, 20);
    EXPECT_EQ(l.title.top, 10);
}

INSTANTIATE_TEST_SUITE_P(Cases, LimitHeightTest,
                         ::testing::Values(LimitCase{"Fits", 1200, 1000, 900, 920},
                                           LimitCase{"Scrolls", 700, 700, 600, 620},
                                           LimitCase{"KeepsOneLine", 100, 170, 70, 90}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
