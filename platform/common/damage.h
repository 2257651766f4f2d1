// What changed in a picture since it was last shown, and what a window holds of a bitmap, so that a
// block copy of a frame carries only the pixels that differ from what the window already shows.
#pragma once

#include <array>
#include <cstdint>

#include "geometry.h"

// A few boxes of changed pixels. Nearby changes share a box and distant ones keep their own, so that
// nine small balls in the corners of a large picture do not add up to a box as large as the picture.
class TDamage {
 public:
  static constexpr int Capacity = 16;

  // An empty box is ignored.
  void Add(const TRect& box);
  // Everything changed: the picture's size need not be known.
  void AddAll() { All = true; }
  void Clear() {
    Used = 0;
    All = false;
  }

  bool IsAll() const { return All; }
  bool IsEmpty() const { return !All && Used == 0; }
  const TRect* begin() const { return Boxes.data(); }
  const TRect* end() const { return Boxes.data() + Used; }

 private:
  std::array<TRect, Capacity> Boxes{};
  int Used = 0;
  bool All = false;
};

// Drawing whose coordinates reach this far may be rasterised anywhere by the system (overflow inside
// it), so it counts as a change of the whole picture.
constexpr long long FarCoordinate = 1 << 20;

// The pixels a drawing call may change: the box around its coordinates grown by `margin` on each side
// (the pen's reach), clipped to a picture of width x height. Whole picture when a coordinate is far.
void AddDrawing(TDamage& damage, long long left, long long top, long long right, long long bottom, int margin,
                int width, int height);
// How far a pen of that width may reach beyond the geometry it strokes: half the width along an edge,
// but a mitred spike of a sharp corner reaches out to twice the width, and a pixel of rounding.
inline int PenReach(int penWidth) { return 2 * (penWidth > 1 ? penWidth : 1) + 1; }

// A block copy's request: where it goes, where it reads, and the sizes of both pictures.
struct TCopyGeometry {
  int X = 0, Y = 0, Width = 0, Height = 0, SourceX = 0, SourceY = 0;
  int TargetWidth = 0, TargetHeight = 0, SourceWidth = 0, SourceHeight = 0;

  friend bool operator==(const TCopyGeometry&, const TCopyGeometry&) = default;
};

// A bitmap's changes since it was last copied to a window, counted for the last window it went to.
struct TBitmapChanges {
  TBitmapChanges();
  const std::uint64_t Serial;  // never reused, unlike an address
  std::uintptr_t Window = 0;   // 0: not counted for any window
  TDamage Changed;             // bitmap pixels
};

// What a window's pixels hold: a bitmap's copy through one request, except where Repaint says the
// system or other drawing changed them since.
struct TWindowContents {
  std::uint64_t Source = 0;  // the bitmap's serial; 0: nothing known
  TCopyGeometry Geometry;
  TDamage Repaint;  // window pixels
};

// What a block copy joins, for the bookkeeping of changes: a member stays null (0) where that side is
// not a bitmap (not a window).
struct TCopyEnds {
  TBitmapChanges* Source = nullptr;     // the source bitmap's changes
  std::uintptr_t Window = 0;            // the target window's key, never reused by another window
  TWindowContents* Contents = nullptr;  // what the target window holds
  TBitmapChanges* Target = nullptr;     // the target bitmap's changes
};

// The rectangles a block copy carries, in target pixels.
struct TCopyPlan {
  TRect Area;         // the request clipped to both pictures; empty where they do not meet
  bool Whole = true;  // the parts are the whole Area, not only what the window lacks of it
  std::array<TRect, TDamage::Capacity> Parts{};
  int Count = 0;

  bool IsEmpty() const { return Count == 0; }
  const TRect* begin() const { return Parts.data(); }
  const TRect* end() const { return Parts.data() + Count; }
};

// Clips the request to both pictures (in 64 bits, so that no offset can overflow). A bitmap copied to
// the window it was last copied to, with the same request, carries only what changed on either side
// since: what its drawing changed and what the window lost. Anything else is copied whole.
TCopyPlan PlanBlockCopy(const TCopyGeometry& geometry, const TCopyEnds& ends);

// Records what the copy through that plan left: a window holds the source bitmap's copy (or, from
// anything else, lost the area), a target bitmap changed in the area. After a failed copy what reached
// a window is not known, so its next copy goes whole.
void NoteBlockCopy(const TCopyGeometry& geometry, const TCopyPlan& plan, const TCopyEnds& ends, bool copied);
