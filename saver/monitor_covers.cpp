// The covers of the other monitors: where they go, and the saver window keeping one on each part of the
// desktop its box leaves showing.
#include "monitor_covers.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "monitors.h"
#include "tscrnsav.h"

namespace {
bool Inside(const TRect& inner, const TRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// What of `area` lies outside `hole`: up to four bands, above, below, left and right of it.
std::vector<TRect> Outside(const TRect& area, const TRect& hole) {
  const TRect cut(std::max(area.left, hole.left), std::max(area.top, hole.top), std::min(area.right, hole.right),
                  std::min(area.bottom, hole.bottom));
  if (cut.left >= cut.right || cut.top >= cut.bottom) return {area};
  std::vector<TRect> bands;
  if (area.top < cut.top) bands.emplace_back(area.left, area.top, area.right, cut.top);
  if (cut.bottom < area.bottom) bands.emplace_back(area.left, cut.bottom, area.right, area.bottom);
  if (area.left < cut.left) bands.emplace_back(area.left, cut.top, cut.left, cut.bottom);
  if (cut.right < area.right) bands.emplace_back(cut.right, cut.top, area.right, cut.bottom);
  return bands;
}
}  // namespace

std::vector<TRect> CoverAreas(const std::vector<TRect>& monitors, const TRect& box) {
  std::vector<TRect> areas;
  for (const TRect& monitor : monitors) {
    // A monitor inside the box shows the box. One that overlaps it (X may list a split screen's
    // whole output beside its parts) is covered only where the box is not.
    if (Inside(monitor, box)) continue;
    for (const TRect& area : Outside(monitor, box)) {
      if (std::find(areas.begin(), areas.end(), area) == areas.end()) areas.push_back(area);
    }
  }
  return areas;
}

TScrnSavCover::TScrnSavCover(TScrnSavWindow& saver, const TRect& area)
    : TWindow(&saver, nullptr, saver.GetModule()), Saver(saver), Area(area) {
  // Owned by the saver window, so it goes with it; never active, so the keys stay with the saver.
  Attr.Style = WS_POPUP;
  Attr.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  Attr.X = area.left;
  Attr.Y = area.top;
  Attr.W = area.Width();
  Attr.H = area.Height();
}

// Keys reach a cover only where the system gives it the focus after all; Enter then saves the picture
// as it does on the saver window.
const TResponseTable& TScrnSavCover::ResponseTable() {
  static const TResponseEntry entries[] = {
      {WM_MOUSEMOVE, 0, &ForwardInput},
      {WM_LBUTTONDOWN, 0, &ForwardInput},
      {WM_RBUTTONDOWN, 0, &ForwardInput},
      {WM_MBUTTONDOWN, 0, &ForwardInput},
      {WM_KEYDOWN, 0, &ForwardInput},
      {WM_SYSKEYDOWN, 0, &ForwardInput},
      {WM_SYSCOMMAND, 0, &ForwardInput},
  };
  static const TResponseTable table{entries, std::size(entries), &TWindow::ResponseTable()};
  return table;
}

void TScrnSavCover::ForwardInput(TWindow& window, TMessage& message) {
  auto& cover = static_cast<TScrnSavCover&>(window);
  cover.Saver.HandleCoverInput(cover, message);
}

const char* TScrnSavCover::GetClassName() { return "tesmar_SaverCover"; }

void TScrnSavCover::GetWindowClass(WNDCLASS& windowClass) {
  TWindow::GetWindowClass(windowClass);
  windowClass.hIcon = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

void TScrnSavWindow::CoverOtherMonitors() {
  std::vector<std::unique_ptr<TScrnSavCover>> covers;
  // A saver inside another program's window covers nothing else: that program has each monitor.
  const bool child = (Attr.Style & WS_CHILD) != 0 || GetParent() != nullptr;
  for (const TRect& monitor : child ? std::vector<TRect>() : CoverAreas(GetMonitorRects(), ScreenArea)) {
    auto kept = std::find_if(Covers.begin(), Covers.end(), [&monitor](const std::unique_ptr<TScrnSavCover>& cover) {
      return cover && cover->GetHandle() && cover->GetArea() == monitor;
    });
    if (kept != Covers.end()) {
      covers.push_back(std::move(*kept));
      continue;
    }
    auto cover = std::make_unique<TScrnSavCover>(*this, monitor);
    // A monitor without its cover keeps showing the desktop, which is no reason to stop the saver.
    if (!cover->Create()) continue;
    // Shown without activation: the saver window losing it would end the saver.
    cover->ShowWindow(SW_SHOWNA);
    covers.push_back(std::move(cover));
  }
  Covers = std::move(covers);
}

void TScrnSavWindow::EvDisplayChange() { CoverOtherMonitors(); }
