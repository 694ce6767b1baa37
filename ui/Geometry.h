#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The arithmetic of the desktop face, free of any window system so that it
// can be checked without a display.

namespace ui {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c
// is 0 or the result does not fit.
int MulDiv(int a, int b, int c);

// Logical resolution of the screen, read once by the desktop; 96 = 100 %.
struct Dpi {
    int x = 96;
    int y = 96;
    int ScaleX(int n) const { return MulDiv(n, x, 96); }
    int ScaleY(int n) const { return MulDiv(n, y, 96); }
};

// Dialog units of the 8-point dialog font: 1 unit is 1.5 px across and
// 1.625 px down at 96 dpi, in proportion above it.
int DialogUnitsX(int units, const Dpi& dpi);
int DialogUnitsY(int units, const Dpi& dpi);
Rect MapDialogRect(const Rect& units, const Dpi& dpi);

// The message box template, in pixels for a resolution.
struct MessageBoxTemplate {
    int clientWidth = 0;
    int clientHeight = 0;
    Rect panel, title, body, icon, link;
    Rect slots[3];  // from the right: ids 1, 3, 4
};
MessageBoxTemplate MessageBoxTemplateAt(const Dpi& dpi);

// Lays the buttons into the slots from the right, each slot as wide as the
// widest "/" part of its caption plus twice (slot height - text height), and
// widens the dialog when the leftmost slot would cross leftLimit.
struct ButtonLayout {
    bool visible[3] = {false, false, false};
    Rect slots[3];
    int widen = 0;  // added to the client width; everything right-anchored moves by it
};
ButtonLayout LayOutButtons(const Rect (&slots)[3], const std::vector<std::string>& captions,
                           const std::function<int(const std::string&)>& textWidth, int textHeight, int leftLimit);

// The caption split at every "/".
std::vector<std::string> CaptionParts(const std::string& caption);

// Where the message box and its parts go, given how its texts measure.
struct MessageBoxLayoutInput {
    Dpi dpi;
    std::vector<std::string> captions;
    std::function<int(const std::string&)> buttonTextWidth;
    int buttonTextHeight = 0;
    bool hasLink = false;
    int linkWidth = 0;  // the link-style button after fitting
    bool hasIcon = true;
    bool hasTitle = true;
    std::function<int(int width)> titleHeight;  // wrapped height of the title in a width
    std::function<int(int width)> bodyHeight;  // height of the body's text in a width
};
struct MessageBoxLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    Rect panel, title, body, icon, link;
    ButtonLayout buttons;
};
MessageBoxLayout LayOutMessageBox(const MessageBoxLayoutInput& input);

// Keeps the box within maxClientHeight: the body gives up the excess (it
// scrolls then) and everything below it moves up; never below one line of
// minBodyHeight.
void LimitHeight(MessageBoxLayout& layout, int maxClientHeight, int minBodyHeight);

// Top-left corner that centres a window in a work area, kept inside it.
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
Point CentreInWorkArea(const Rect& workArea, int width, int height);

}  // namespace ui
