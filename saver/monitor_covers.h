// The covers of the other monitors: black windows over what the saver's box leaves of the desktop, which
// hide it there and hand their input to the saver window.
#pragma once

#include <vector>

#include "framework.h"

class TScrnSavWindow;

// The parts of the monitors that the box at `box` leaves showing, each to get a cover.
std::vector<TRect> CoverAreas(const std::vector<TRect>& monitors, const TRect& box);

class TScrnSavCover : public TWindow {
 public:
  TScrnSavCover(TScrnSavWindow& saver, const TRect& area);

  const char* GetClassName() override;
  void GetWindowClass(WNDCLASS& windowClass) override;
  const TRect& GetArea() const { return Area; }

  DECLARE_WINDOW_RESPONSES()

 private:
  // Input on a cover ends the saver as input on the saver window does, so the saver window handles it.
  static void ForwardInput(TWindow& window, TMessage& message);

  TScrnSavWindow& Saver;
  TRect Area;
};
