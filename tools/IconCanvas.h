// A small vector canvas for the icon generator: shapes are signed distance
// functions (negative inside, in icon units where the icon is 1 x 1, y down),
// so every edge is antialiased at any pixel size without supersampling.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

namespace icons {

struct Vec {
    float x = 0;
    float y = 0;
};
inline Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
inline Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
inline Vec operator*(Vec a, float s) { return {a.x * s, a.y * s}; }
inline float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline float Length(Vec a) { return std::sqrt(Dot(a, a)); }
inline float Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};
// 0xRRGGBB with an opacity.
inline Color Rgb(std::uint32_t rgb, float alpha = 1)
{
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}
inline Color Mix(Color a, Color b, float t)
{
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

using Shape = std::function<float(Vec)>;
using Paint = std::function<Color(Vec)>;

inline Paint Solid(Color c)
{
    return [c](Vec) { return c; };
}
// Top colour at y0, bottom colour at y1.
inline Paint Vertical(Color top, Color bottom, float y0, float y1)
{
    return [=](Vec p) { return Mix(top, bottom, (p.y - y0) / (y1 - y0)); };
}

inline Shape Circle(Vec c, float r)
{
    return [=](Vec p) { return Length(p - c) - r; };
}
inline Shape Box(float x0, float y0, float x1, float y1, float radius = 0)
{
    return [=](Vec p) {
        Vec c{(x0 + x1) / 2, (y0 + y1) / 2};
        Vec q{std::fabs(p.x - c.x) - (x1 - x0) / 2 + radius, std::fabs(p.y - c.y) - (y1 - y0) / 2 + radius};
        Vec out{std::max(q.x, 0.0f), std::max(q.y, 0.0f)};
        return Length(out) + std::min(std::max(q.x, q.y), 0.0f) - radius;
    };
}
// A stroke from a to b with round ends, half as thick as `half`.
inline Shape Capsule(Vec a, Vec b, float half)
{
    return [=](Vec p) {
        Vec pa = p - a, ba = b - a;
        float h = std::clamp(Dot(pa, ba) / Dot(ba, ba), 0.0f, 1.0f);
        return Length(pa - ba * h) - half;
    };
}
inline Shape Triangle(Vec a, Vec b, Vec c, float radius = 0)
{
    return [=](Vec p) {
        Vec e0 = b - a, e1 = c - b, e2 = a - c;
        Vec v0 = p - a, v1 = p - b, v2 = p - c;
        auto edge = [](Vec v, Vec e) { return v - e * std::clamp(Dot(v, e) / Dot(e, e), 0.0f, 1.0f); };
        Vec q0 = edge(v0, e0), q1 = edge(v1, e1), q2 = edge(v2, e2);
        float s = Cross(e0, e2) < 0 ? -1.0f : 1.0f;
        float d = std::min({Dot(q0, q0), Dot(q1, q1), Dot(q2, q2)});
        bool inside = s * Cross(v0, e0) >= 0 && s * Cross(v1, e1) >= 0 && s * Cross(v2, e2) >= 0;
        return (inside ? -std::sqrt(d) : std::sqrt(d)) - radius;
    };
}
// A round-ended stroke along a circle, leaving out the angles from gapFrom to
// gapTo (degrees, clockwise from the +x axis since y points down).
inline Shape Arc(Vec c, float r, float half, float gapFrom, float gapTo)
{
    return [=](Vec p) {
        Vec d = p - c;
        float angle = std::atan2(d.y, d.x) * 180.0f / std::numbers::pi_v<float>;
        if (angle < 0)
            angle += 360;
        if (angle < gapFrom || angle > gapTo)
            return std::fabs(Length(d) - r) - half;
        auto end = [&](float deg) {
            float rad = deg * std::numbers::pi_v<float> / 180.0f;
            return Length(p - Vec{c.x + r * std::cos(rad), c.y + r * std::sin(rad)});
        };
        return std::min(end(gapFrom), end(gapTo)) - half;
    };
}
// Inside where the point lies left of the direction from a to b.
inline Shape HalfPlane(Vec a, Vec b)
{
    return [=](Vec p) {
        Vec n{b.y - a.y, a.x - b.x};
        return Dot(p - a, n) / Length(n);
    };
}
inline Shape Union(Shape a, Shape b)
{
    return [=](Vec p) { return std::min(a(p), b(p)); };
}
inline Shape Intersect(Shape a, Shape b)
{
    return [=](Vec p) { return std::max(a(p), b(p)); };
}
inline Shape Subtract(Shape a, Shape b)
{
    return [=](Vec p) { return std::max(a(p), -b(p)); };
}
// The shape's outline band, `width` wide, just inside its edge.
inline Shape Inset(Shape a, float width)
{
    return [=](Vec p) { return a(p) + width; };
}

class Canvas {
public:
    explicit Canvas(int size) : size_(size), pixels_(static_cast<std::size_t>(size) * size * 4, 0.0f) {}

    int Size() const { return size_; }
    float Pixel() const { return 1.0f / static_cast<float>(size_) / scale_; }

    // Later fills are drawn in the square (x, y, x + scale, y + scale).
    void Place(Vec origin, float scale)
    {
        origin_ = origin;
        scale_ = scale;
    }

    // Paints the shape over what is there; `soft` widens the edge ramp (in
    // icon units) for shadows.
    void Fill(const Shape& shape, const Paint& paint, float soft = 0)
    {
        float ramp = std::max(1.0f, soft * size_ * scale_);
        for (int y = 0; y < size_; ++y)
            for (int x = 0; x < size_; ++x) {
                Vec p{((x + 0.5f) / size_ - origin_.x) / scale_, ((y + 0.5f) / size_ - origin_.y) / scale_};
                float coverage = std::clamp(0.5f - shape(p) * size_ * scale_ / ramp, 0.0f, 1.0f);
                if (coverage <= 0)
                    continue;
                Color c = paint(p);
                float a = c.a * coverage;
                float* px = &pixels_[(static_cast<std::size_t>(y) * size_ + x) * 4];
                px[0] = c.r * a + px[0] * (1 - a);
                px[1] = c.g * a + px[1] * (1 - a);
                px[2] = c.b * a + px[2] * (1 - a);
                px[3] = a + px[3] * (1 - a);
            }
    }
    void Fill(const Shape& shape, Color color, float soft = 0) { Fill(shape, Solid(color), soft); }

    // Straight (not premultiplied) 8-bit RGBA, top row first.
    std::vector<std::uint8_t> Rgba() const
    {
        std::vector<std::uint8_t> out(pixels_.size());
        auto byte = [](float v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
        for (std::size_t i = 0; i < pixels_.size(); i += 4) {
            float a = pixels_[i + 3];
            for (int k = 0; k < 3; ++k)
                out[i + k] = a > 0 ? byte(pixels_[i + k] / a) : 0;
            out[i + 3] = byte(a);
        }
        return out;
    }

private:
    int size_;
    std::vector<float> pixels_;
    Vec origin_{0, 0};
    float scale_ = 1;
};

}  // namespace icons
