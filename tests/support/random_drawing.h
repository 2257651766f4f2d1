// Random drawing with every tool the engine and the frame use, for tests that compare pictures: wide
// pens, hollow brushes, the inverting mode, shapes partly outside the picture and, now and then,
// coordinates far outside it. The same generator state draws the same shapes.
#pragma once

#include <random>
#include <vector>

#include "drawing.h"

inline int RandomBetween(std::mt19937& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

// Mostly near the picture (a little outside included); one in forty far outside it.
inline int RandomCoordinate(std::mt19937& random, int extent) {
  if (RandomBetween(random, 0, 39) == 0) return RandomBetween(random, 0, 1) ? 30000000 : -30000000;
  return RandomBetween(random, -extent / 4, extent + extent / 4);
}

inline void DrawRandomShape(TDC& dc, std::mt19937& random, int width, int height) {
  static const int penWidths[] = {1, 1, 1, 2, 3, 6, 11};
  const TColor pen(RandomBetween(random, 0, 255), RandomBetween(random, 0, 255), RandomBetween(random, 0, 255));
  const TColor brush(RandomBetween(random, 0, 255), RandomBetween(random, 0, 255), RandomBetween(random, 0, 255));
  dc.SelectObject(TPen(RandomBetween(random, 0, 9) == 0 ? TColor::Transparent : pen,
                       penWidths[RandomBetween(random, 0, 6)], PS_SOLID));
  dc.SelectObject(TBrush(RandomBetween(random, 0, 4) == 0 ? TColor::Transparent : brush));
  dc.SetROP2(RandomBetween(random, 0, 7) == 0 ? R2_NOT : R2_COPYPEN);

  // Small shapes, so that most of the picture stays as it was.
  const int x = RandomCoordinate(random, width);
  const int y = RandomCoordinate(random, height);
  const int right = x + RandomBetween(random, -width / 5, width / 5);
  const int bottom = y + RandomBetween(random, -height / 5, height / 5);
  switch (RandomBetween(random, 0, 3)) {
    case 0:
      dc.Rectangle(x, y, right, bottom);
      break;
    case 1:
      dc.Ellipse(x, y, right, bottom);
      break;
    case 2:
      // Half the lines end inside the picture, so that those from far away cross it.
      dc.MoveTo(x, y);
      if (RandomBetween(random, 0, 1)) {
        dc.LineTo(right, bottom);
      } else {
        dc.LineTo(RandomBetween(random, 0, width), RandomBetween(random, 0, height));
      }
      break;
    default: {
      std::vector<TPoint> corners(static_cast<std::size_t>(RandomBetween(random, 3, 9)));
      for (TPoint& corner : corners) {
        corner = TPoint(x + RandomBetween(random, -width / 6, width / 6), y + RandomBetween(random, -height / 6, height / 6));
      }
      dc.Polygon(corners.data(), static_cast<int>(corners.size()));
      break;
    }
  }
  dc.SetROP2(R2_COPYPEN);
  dc.RestorePen();
  dc.RestoreBrush();
}
