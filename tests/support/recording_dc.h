// Drawing contexts for tests and benchmarks: one that logs every call with its arguments, and one
// that draws nothing.
#pragma once

#include <string>
#include <vector>

#include "drawing.h"

// One logged call. Only the fields of its kind are filled.
struct RecordedCall {
  enum class Kind { SelectPen, SelectBrush, RestorePen, RestoreBrush, SetROP2, Rectangle, Ellipse, MoveTo, LineTo, Polygon, BitBlt };

  Kind kind = Kind::SelectPen;
  TColor color;               // pen or brush colour
  int width = 0;              // pen width
  int style = 0;              // pen style
  bool hollow = false;        // brush
  TRect box;                  // Rectangle, Ellipse; BitBlt: x, y, width, height
  TPoint point;               // MoveTo, LineTo; BitBlt: source x, y
  std::vector<TPoint> points; // Polygon corners
  int mode = 0;               // SetROP2 mode; BitBlt raster operation

  std::string Describe() const;
};

class RecordingDC : public TDC {
 public:
  std::vector<RecordedCall> Calls;

  bool IsValid() const override { return true; }
  void SelectObject(const TPen& pen) override;
  void SelectObject(const TBrush& brush) override;
  void RestorePen() override;
  void RestoreBrush() override;
  int SetROP2(int mode) override;
  bool Rectangle(int left, int top, int right, int bottom) override;
  bool Ellipse(int left, int top, int right, int bottom) override;
  bool MoveTo(int x, int y) override;
  bool LineTo(int x, int y) override;
  bool Polygon(const TPoint* points, int count) override;
  bool BitBlt(int x, int y, int width, int height, const TDC& source, int sourceX, int sourceY,
              DWORD rop = SRCCOPY) override;

  // The logged calls of one kind, in order.
  std::vector<RecordedCall> OfKind(RecordedCall::Kind kind) const;
  int Count(RecordedCall::Kind kind) const;
  // The whole log, one call a line, for failure messages.
  std::string Describe() const;

 private:
  int Rop = 13;  // R2_COPYPEN
};

// Draws nothing and allocates nothing.
class NullDC : public TDC {
 public:
  bool IsValid() const override { return true; }
  void SelectObject(const TPen&) override {}
  void SelectObject(const TBrush&) override {}
  void RestorePen() override {}
  void RestoreBrush() override {}
  int SetROP2(int mode) override {
    const int previous = Rop;
    Rop = mode;
    return previous;
  }
  bool Rectangle(int, int, int, int) override { return true; }
  bool Ellipse(int, int, int, int) override { return true; }
  bool MoveTo(int, int) override { return true; }
  bool LineTo(int, int) override { return true; }
  bool Polygon(const TPoint*, int) override { return true; }
  bool BitBlt(int, int, int, int, const TDC&, int, int, DWORD) override { return true; }

 private:
  int Rop = 13;
};
