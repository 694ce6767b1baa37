#include "ui/Geometry.h"

#include <algorithm>
#include <limits>

namespace ui {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const std::uint64_t magnitude = product < 0 ? static_cast<std::uint64_t>(-product) : static_cast<std::uint64_t>(product);
    const std::uint64_t divisor = c < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(c)) : static_cast<std::uint64_t>(c);
    const std::uint64_t rounded = (magnitude + divisor / 2) / divisor;
    if (rounded > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
        return -1;
    return negative ? -static_cast<int>(rounded) : static_cast<int>(rounded);
}

// Base units of the 8-point dialog font at 96 dpi: 6 px across per 4 units,
// 13 px down per 8 units.
int DialogUnitsX(int units, const Dpi& dpi) { return MulDiv(units, 6 * dpi.x, 4 * 96); }
int DialogUnitsY(int units, const Dpi& dpi) { return MulDiv(units, 13 * dpi.y, 8 * 96); }

Rect MapDialogRect(const Rect& units, const Dpi& dpi)
{
    return {DialogUnitsX(units.left, dpi), DialogUnitsY(units.top, dpi), DialogUnitsX(units.right, dpi),
            DialogUnitsY(units.bottom, dpi)};
}

namespace {

Rect Units(int x, int y, int width, int height) { return {x, y, x + width, y + height}; }

}  // namespace

MessageBoxTemplate MessageBoxTemplateAt(const Dpi& dpi)
{
    MessageBoxTemplate t;
    t.clientWidth = DialogUnitsX(327, dpi);
    t.clientHeight = DialogUnitsY(181, dpi);
    t.panel = MapDialogRect(Units(0, 150, 327, 31), dpi);
    t.title = MapDialogRect(Units(50, 22, 247, 24), dpi);
    t.body = MapDialogRect(Units(50, 56, 254, 69), dpi);
    t.icon = MapDialogRect(Units(20, 19, 32, 32), dpi);
    t.slots[0] = MapDialogRect(Units(271, 155, 50, 22), dpi);
    t.slots[1] = MapDialogRect(Units(212, 155, 50, 22), dpi);
    t.slots[2] = MapDialogRect(Units(153, 155, 50, 22), dpi);
    t.link = MapDialogRect(Units(16, 160, 108, 14), dpi);
    return t;
}

std::vector<std::string> CaptionParts(const std::string& caption)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto slash = caption.find('/', start);
        parts.push_back(caption.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

ButtonLayout LayOutButtons(const Rect (&slots)[3], const std::vector<std::string>& captions,
                           const std::function<int(const std::string&)>& textWidth, int textHeight, int leftLimit)
{
    ButtonLayout layout;
    int shift = 0;
    int lastLeft = 0;
    bool placed = false;
    for (std::size_t position = 0; position < 3; ++position) {
        layout.slots[position] = slots[position];
        if (captions.size() <= position)
            continue;
        layout.visible[position] = true;
        const std::string& caption = captions[captions.size() - 1 - position];
        Rect r = slots[position];
        r.left += shift;
        r.right += shift;
        int widest = 0;
        for (const auto& part : CaptionParts(caption))
            widest = std::max(widest, textWidth(part));
        const int oldWidth = r.Width();
        const int width = widest + 2 * (r.Height() - textHeight);
        r.left = r.right - width;
        layout.slots[position] = r;
        shift += oldWidth - width;
        lastLeft = r.left;
        placed = true;
    }
    if (placed && lastLeft < leftLimit) {
        layout.widen = leftLimit - lastLeft;
        for (auto& r : layout.slots) {
            r.left += layout.widen;
            r.right += layout.widen;
        }
    }
    return layout;
}

void LimitHeight(MessageBoxLayout& layout, int maxClientHeight, int minBodyHeight)
{
    const int excess = std::min(layout.clientHeight - maxClientHeight, layout.body.Height() - minBodyHeight);
    if (excess <= 0)
        return;
    const int below = layout.body.bottom;
    layout.body.bottom -= excess;
    for (Rect* r : {&layout.panel, &layout.link, &layout.buttons.slots[0], &layout.buttons.slots[1],
                    &layout.buttons.slots[2]})
        if (r->top >= below) {
            r->top -= excess;
            r->bottom -= excess;
        }
    layout.clientHeight -= excess;
}

MessageBoxLayout LayOutMessageBox(const MessageBoxLayoutInput& in)
{
    const MessageBoxTemplate t = MessageBoxTemplateAt(in.dpi);
    MessageBoxLayout out;
    out.clientWidth = t.clientWidth;
    out.clientHeight = t.clientHeight;
    out.panel = t.panel;
    out.title = t.title;
    out.body = t.body;
    out.icon = t.icon;
    out.link = t.link;
    if (in.hasLink)
        out.link.right = out.link.left + in.linkWidth;

    // The margin after the link is converted as a vertical distance.
    const int leftLimit = in.hasLink ? out.link.right + DialogUnitsY(5, in.dpi) : t.icon.left;
    out.buttons = LayOutButtons(t.slots, in.captions, in.buttonTextWidth, in.buttonTextHeight, leftLimit);
    out.clientWidth += out.buttons.widen;
    out.panel.right += out.buttons.widen;
    out.title.right += out.buttons.widen;
    out.body.right += out.buttons.widen;

    const int startHeight = out.clientHeight;
    // A wrapping title pushes the body down.
    const int titleHeight = in.titleHeight ? in.titleHeight(out.title.Width()) : out.title.Height();
    const int d = titleHeight - out.title.Height();
    out.title.bottom = out.title.top + titleHeight;
    out.clientHeight += d;
    out.body.top += d;
    out.body.bottom += d;

    if (!in.hasTitle) {
        out.body.top = out.title.top;
    }
    if (!in.hasIcon)
        out.body.left = out.icon.left;
    // The body takes exactly the height of its text, and the dialog with it.
    const int bodyHeight = in.bodyHeight ? in.bodyHeight(out.body.Width()) : out.body.Height();
    const int previous = out.body.Height();
    out.body.bottom = out.body.top + bodyHeight;
    out.clientHeight += bodyHeight - previous;

    // The panel, the buttons and the link stay at the bottom.
    const int moved = out.clientHeight - startHeight;
    for (Rect* r : {&out.panel, &out.link, &out.buttons.slots[0], &out.buttons.slots[1], &out.buttons.slots[2]}) {
        r->top += moved;
        r->bottom += moved;
    }
    return out;
}

Point CentreInWorkArea(const Rect& area, int width, int height)
{
    Point p{(area.left + area.right) / 2 - width / 2, (area.top + area.bottom) / 2 - height / 2};
    p.x = std::max(area.left, std::min(p.x, area.right - width));
    p.y = std::max(area.top, std::min(p.y, area.bottom - height));
    return p;
}

}  // namespace ui
