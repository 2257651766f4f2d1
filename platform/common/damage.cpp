// Boxes of changed pixels and the bookkeeping that lets a block copy to a window skip what the window
// already holds.
#include "damage.h"

#include <algorithm>

namespace {

long long Area(const TRect& box) { return static_cast<long long>(box.Width()) * box.Height(); }

TRect Union(const TRect& a, const TRect& b) {
  return TRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom));
}

bool Contains(const TRect& outer, const TRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

std::uint64_t NextSerial() {
  static std::uint64_t last = 0;
  return ++last;
}

// The overlap of two boxes; empty (zero width or height) when there is none.
TRect Intersection(const TRect& a, const TRect& b) {
  const TRect overlap(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom));
  if (overlap.right <= overlap.left || overlap.bottom <= overlap.top) return TRect();
  return overlap;
}

}  // namespace

void TDamage::Add(const TRect& box) {
  if (All || box.right <= box.left || box.bottom <= box.top) return;
  TRect adding = box;
  // Two boxes become one when that copies no more pixels than both would (their overlap counts
  // twice); the merged box may in turn take in others.
  for (bool merged = true; merged;) {
    merged = false;
    for (int i = 0; i < Used; ++i) {
      if (Contains(Boxes[i], adding)) return;
      const TRect both = Union(Boxes[i], adding);
      if (Area(both) > Area(Boxes[i]) + Area(adding)) continue;
      adding = both;
      Boxes[i] = Boxes[--Used];
      merged = true;
      break;
    }
  }
  if (Used < Capacity) {
    Boxes[Used++] = adding;
    return;
  }
  // Full: the box joins the one it grows least.
  int best = 0;
  long long bestGrowth = -1;
  for (int i = 0; i < Used; ++i) {
    const long long growth = Area(Union(Boxes[i], adding)) - Area(Boxes[i]);
    if (bestGrowth < 0 || growth < bestGrowth) {
      best = i;
      bestGrowth = growth;
    }
  }
  const TRect grown = Union(Boxes[best], adding);
  Boxes[best] = Boxes[--Used];
  Add(grown);
}

void AddDrawing(TDamage& damage, long long left, long long top, long long right, long long bottom, int margin,
                int width, int height) {
  if (width <= 0 || height <= 0) return;
  const auto far = [](long long value) { return value < -FarCoordinate || value > FarCoordinate; };
  if (far(left) || far(top) || far(right) || far(bottom) || margin > FarCoordinate) {
    damage.Add(TRect(0, 0, width, height));
    return;
  }
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const long long clippedLeft = std::max(0LL, left - margin);
  const long long clippedTop = std::max(0LL, top - margin);
  const long long clippedRight = std::min<long long>(width, right + margin);
  const long long clippedBottom = std::min<long long>(height, bottom + margin);
  if (clippedRight <= clippedLeft || clippedBottom <= clippedTop) return;
  damage.Add(TRect(static_cast<int>(clippedLeft), static_cast<int>(clippedTop), static_cast<int>(clippedRight),
                   static_cast<int>(clippedBottom)));
}

TBitmapChanges::TBitmapChanges() : Serial(NextSerial()) { Changed.AddAll(); }

namespace {

// The parts, in window pixels, that a copy must carry so that the window ends up as after a full copy;
// false when only a full copy is sure to (another bitmap, window or request than last time).
bool PlanCopy(const TBitmapChanges& bitmap, std::uintptr_t window, const TWindowContents& contents,
              const TCopyGeometry& geometry, TDamage& parts) {
  parts.Clear();
  if (window == 0 || bitmap.Window != window || contents.Source != bitmap.Serial || !(contents.Geometry == geometry) ||
      bitmap.Changed.IsAll() || contents.Repaint.IsAll()) {
    return false;
  }
  const int dx = geometry.X - geometry.SourceX;
  const int dy = geometry.Y - geometry.SourceY;
  for (const TRect& box : bitmap.Changed) {
    // In 64 bits: the request's offsets may be anything.
    AddDrawing(parts, static_cast<long long>(box.left) + dx, static_cast<long long>(box.top) + dy,
               static_cast<long long>(box.right) + dx, static_cast<long long>(box.bottom) + dy, 0,
               geometry.TargetWidth, geometry.TargetHeight);
  }
  for (const TRect& box : contents.Repaint) parts.Add(box);
  return true;
}

void NoteCopy(TBitmapChanges& bitmap, std::uintptr_t window, TWindowContents& contents, const TCopyGeometry& geometry) {
  bitmap.Window = window;
  bitmap.Changed.Clear();
  contents.Source = bitmap.Serial;
  contents.Geometry = geometry;
  contents.Repaint.Clear();
}

// The request clipped to the target and the source picture; empty when they do not meet.
TRect ClippedArea(const TCopyGeometry& g) {
  using Wide = long long;
  const Wide left = std::max({Wide{g.X}, Wide{0}, Wide{g.X} - g.SourceX});
  const Wide top = std::max({Wide{g.Y}, Wide{0}, Wide{g.Y} - g.SourceY});
  const Wide right = std::min({Wide{g.X} + g.Width, Wide{g.TargetWidth}, Wide{g.X} - g.SourceX + g.SourceWidth});
  const Wide bottom = std::min({Wide{g.Y} + g.Height, Wide{g.TargetHeight}, Wide{g.Y} - g.SourceY + g.SourceHeight});
  if (right <= left || bottom <= top) return TRect();
  return TRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom));
}

}  // namespace

TCopyPlan PlanBlockCopy(const TCopyGeometry& geometry, const TCopyEnds& ends) {
  TCopyPlan plan;
  plan.Area = ClippedArea(geometry);
  if (plan.Area.Width() <= 0) return plan;
  TDamage parts;
  if (ends.Source && ends.Contents && PlanCopy(*ends.Source, ends.Window, *ends.Contents, geometry, parts)) {
    plan.Whole = false;
    for (const TRect& part : parts) {
      const TRect inside = Intersection(part, plan.Area);
      if (inside.Width() > 0) plan.Parts[plan.Count++] = inside;
    }
  } else {
    plan.Parts[plan.Count++] = plan.Area;
  }
  return plan;
}

void NoteBlockCopy(const TCopyGeometry& geometry, const TCopyPlan& plan, const TCopyEnds& ends, bool copied) {
  if (ends.Contents) {
    if (!copied) {
      ends.Contents->Source = 0;
    } else if (ends.Source) {
      NoteCopy(*ends.Source, ends.Window, *ends.Contents, geometry);
    } else {
      // Another window's picture or a context's own: nothing to count against later copies.
      ends.Contents->Repaint.Add(plan.Area);
    }
  }
  if (ends.Target) ends.Target->Changed.Add(plan.Area);
}
