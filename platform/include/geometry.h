// Points, sizes, rectangles and colours in screen pixels, shared by the engine and both back ends.
#pragma once

#include <cstdint>

struct TPoint {
  int x = 0;
  int y = 0;

  constexpr TPoint() = default;
  constexpr TPoint(int xValue, int yValue) : x(xValue), y(yValue) {}

  friend constexpr bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
  friend constexpr bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }
};

struct TSize {
  int cx = 0;
  int cy = 0;

  constexpr TSize() = default;
  constexpr TSize(int width, int height) : cx(width), cy(height) {}

  friend constexpr bool operator==(const TSize& a, const TSize& b) { return a.cx == b.cx && a.cy == b.cy; }
};

struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr TRect() = default;
  constexpr TRect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }

  friend constexpr bool operator==(const TRect& a, const TRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

// red | green << 8 | blue << 16; values with a non-zero top byte are special, not RGB.
class TColor {
 public:
  constexpr TColor() = default;
  constexpr TColor(int red, int green, int blue)
      : Value(static_cast<std::uint32_t>(red & 0xFF) | (static_cast<std::uint32_t>(green & 0xFF) << 8) |
              (static_cast<std::uint32_t>(blue & 0xFF) << 16)) {}
  explicit constexpr TColor(std::uint32_t value) : Value(value) {}

  constexpr int Red() const { return static_cast<int>(Value & 0xFF); }
  constexpr int Green() const { return static_cast<int>((Value >> 8) & 0xFF); }
  constexpr int Blue() const { return static_cast<int>((Value >> 16) & 0xFF); }
  constexpr std::uint32_t GetValue() const { return Value; }
  constexpr bool IsSpecial() const { return (Value & 0xFF000000u) != 0; }

  friend constexpr bool operator==(const TColor& a, const TColor& b) { return a.Value == b.Value; }
  friend constexpr bool operator!=(const TColor& a, const TColor& b) { return a.Value != b.Value; }

  // A brush of this colour is hollow: it leaves the inside of a shape as it was.
  static const TColor Transparent;

 private:
  std::uint32_t Value = 0;
};

inline constexpr TColor TColor::Transparent{0xFE000000u};
