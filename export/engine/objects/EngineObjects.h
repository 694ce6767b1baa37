#pragma once
// Shared by the automation objects of the engine: argument checks and the
// factories of the objects one file hands to another.
#include "export/Automation.h"
#include "export/engine/package/SavePackage.h"
#include "export/engine/parts/Model.h"

#include <cmath>
#include <memory>

namespace engine::detail {

using PresPtr = std::shared_ptr<Presentation>;
using ShapePtr = std::shared_ptr<Shape>;

inline constexpr float kMaxCoordinate = 169000.0f;

inline void Check(const PresPtr& p, const char* iface)
{
    if (!p || p->closed)
        throw ComError(E_POINTER, "The object does not exist.", iface);
}

inline bool Tri(MsoTriState v, const char* iface)
{
    if (v == msoTrue || v == 1)
        return true;
    if (v == msoFalse)
        return false;
    throw ComError(E_INVALIDARG, "Not a boolean value.", iface);
}

inline float Finite(float v, float lo, float hi, const char* iface)
{
    if (!std::isfinite(v) || v < lo || v > hi)
        throw ComError(E_INVALIDARG, "The value is out of range.", iface);
    return v;
}

// Which fill an object edits: a shape's or a slide background's.
struct FillRef {
    PresPtr pres;
    ShapePtr shape;  // a shape's fill when set
    std::shared_ptr<Slide> slide;  // else the background of this slide
    Fill& Get() const;
};

std::unique_ptr<IFillFormat> MakeFillFormat(FillRef fill);
std::unique_ptr<ITextFrame> MakeTextFrame(PresPtr p, ShapePtr s);
std::unique_ptr<IShapes> MakeShapes(PresPtr p, std::shared_ptr<Slide> s);
std::unique_ptr<IApplication> MakeApplication();

}  // namespace engine::detail
