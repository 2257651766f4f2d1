// Drawing contexts over GDI: a context on a window or the screen, memory contexts, compatible bitmaps
// with their pixels read back, and the pens and brushes the context owns while they are selected.
// Bitmaps and windows keep what their drawing changed, so that a block copy of a bitmap to a window
// carries only the pixels the window does not already hold.
#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "damage.h"
#include "drawing.h"
#include "framework.h"
#include "win32_internal.h"

struct TDeviceDC::TState {
  HDC Dc = nullptr;
  bool Memory = false;
  HWND Window = nullptr;  // the window whose context is released (client contexts)
  HGDIOBJ OriginalPen = nullptr;
  HGDIOBJ OriginalBrush = nullptr;
  HGDIOBJ OriginalBitmap = nullptr;
  HPEN OwnPen = nullptr;      // made here, freed when it is no longer selected
  HBRUSH OwnBrush = nullptr;  // null for stock brushes
  TBitmap::TState* Bitmap = nullptr;
  int PenWidth = 1;  // of the selected pen; 0 for the null pen
};

struct TBitmap::TState {
  HBITMAP Handle = nullptr;
  int Width = 0;
  int Height = 0;
  TDeviceDC::TState* SelectedInto = nullptr;  // the memory context that holds it, if any
  TBitmapChanges Changes;
};

namespace {
COLORREF colorRef(TColor color) { return color.GetValue() & 0x00FFFFFFu; }

HDC handleOf(const TDC& context) {
  const auto* device = dynamic_cast<const TDeviceDC*>(&context);
  return device ? device->GetState().Dc : nullptr;
}

// A bitmap compatible with a memory context that holds no bitmap of its own would be monochrome;
// such a context stands for the screen here.
bool isBareMemoryContext(HDC dc) {
  if (GetObjectType(dc) != OBJ_MEMDC) return false;
  BITMAP selected{};
  const HGDIOBJ current = GetCurrentObject(dc, OBJ_BITMAP);
  return !current || !GetObjectA(current, sizeof selected, &selected) || selected.bmBitsPixel == 1;
}

std::unique_ptr<TDeviceDC::TState> clientState(HWND window) {
  auto state = std::make_unique<TDeviceDC::TState>();
  state->Window = window;
  state->Dc = GetDC(window);
  return state;
}

// What each window's pixels hold of a bitmap, by window handle; forgotten when the window goes, so a
// handle the system reuses starts from nothing known.
std::vector<std::pair<HWND, TWindowContents>>& windowContents() {
  static std::vector<std::pair<HWND, TWindowContents>> contents;
  return contents;
}

TWindowContents& contentsOf(HWND window) {
  auto& all = windowContents();
  for (auto& entry : all) {
    if (entry.first == window) return entry.second;
  }
  all.emplace_back(window, TWindowContents());
  return all.back().second;
}

TSize clientSize(HWND window) {
  RECT client{};
  if (!GetClientRect(window, &client)) return TSize();
  return TSize(client.right - client.left, client.bottom - client.top);
}

// Notes that drawing may have changed the pixels inside that box (device coordinates), `margin`
// around it: in the bitmap of a memory context, in a window, or, for the screen, in any window.
void noteDrawing(const TDeviceDC::TState& s, long long left, long long top, long long right, long long bottom,
                 int margin) {
  if (s.Memory) {
    if (s.Bitmap) AddDrawing(s.Bitmap->Changes.Changed, left, top, right, bottom, margin, s.Bitmap->Width, s.Bitmap->Height);
  } else if (s.Window) {
    const TSize size = clientSize(s.Window);
    AddDrawing(contentsOf(s.Window).Repaint, left, top, right, bottom, margin, size.cx, size.cy);
  } else {
    for (auto& entry : windowContents()) entry.second.Repaint.AddAll();
  }
}

int reach(const TDeviceDC::TState& s) { return PenReach(s.PenWidth); }

std::unique_ptr<TDeviceDC::TState> memoryState(HDC compatible) {
  auto state = std::make_unique<TDeviceDC::TState>();
  state->Memory = true;
  state->Dc = CreateCompatibleDC(compatible);
  if (!state->Dc) FrameworkTrace("cannot make a memory drawing context");
  return state;
}
}  // namespace

// --- drawing contexts -------------------------------------------------------------------------

TDeviceDC::TDeviceDC(std::unique_ptr<TState> state) : State(std::move(state)) {}

TDeviceDC::~TDeviceDC() {
  TState& s = *State;
  if (!s.Dc) return;
  RestorePen();
  RestoreBrush();
  if (s.Memory) {
    if (s.Bitmap) {
      ::SelectObject(s.Dc, s.OriginalBitmap);
      s.Bitmap->SelectedInto = nullptr;
    }
    DeleteDC(s.Dc);
  } else {
    ReleaseDC(s.Window, s.Dc);
  }
}

bool TDeviceDC::IsValid() const { return State->Dc != nullptr; }

namespace {
// Selects a pen or brush: one the context made (`made`, which it then owns in place of the one it owned)
// or a stock object. The tool the context had before its first selection is kept for the restore.
template <class Handle>
void selectTool(HDC dc, HGDIOBJ chosen, Handle made, HGDIOBJ& original, Handle& own) {
  const HGDIOBJ previous = ::SelectObject(dc, chosen);
  if (!original) original = previous;
  if (own) DeleteObject(own);
  own = made;
}

template <class Handle>
void restoreTool(HDC dc, HGDIOBJ& original, Handle& own) {
  if (original) ::SelectObject(dc, original);
  original = nullptr;
  if (own) DeleteObject(own);
  own = nullptr;
}
}  // namespace

void TDeviceDC::SelectObject(const TPen& pen) {
  TState& s = *State;
  if (!s.Dc) return;
  HPEN made = nullptr;
  if (pen.GetColor() != TColor::Transparent) {
    made = CreatePen(pen.GetStyle(), pen.GetWidth(), colorRef(pen.GetColor()));
    if (!made) {
      FrameworkTrace("cannot make a pen");
      return;
    }
  }
  selectTool(s.Dc, made ? made : GetStockObject(NULL_PEN), made, s.OriginalPen, s.OwnPen);
  s.PenWidth = made ? std::max(1, pen.GetWidth()) : 0;
}

void TDeviceDC::SelectObject(const TBrush& brush) {
  TState& s = *State;
  if (!s.Dc) return;
  HBRUSH made = nullptr;
  if (!brush.IsHollow()) {
    made = CreateSolidBrush(colorRef(brush.GetColor()));
    if (!made) {
      FrameworkTrace("cannot make a brush");
      return;
    }
  }
  selectTool(s.Dc, made ? made : GetStockObject(NULL_BRUSH), made, s.OriginalBrush, s.OwnBrush);
}

void TDeviceDC::RestorePen() {
  restoreTool(State->Dc, State->OriginalPen, State->OwnPen);
  State->PenWidth = 1;  // a new context's pen
}

void TDeviceDC::RestoreBrush() { restoreTool(State->Dc, State->OriginalBrush, State->OwnBrush); }

int TDeviceDC::SetROP2(int mode) { return State->Dc ? ::SetROP2(State->Dc, mode) : 0; }

bool TDeviceDC::Rectangle(int left, int top, int right, int bottom) {
  if (!State->Dc) return false;
  noteDrawing(*State, left, top, right, bottom, reach(*State));
  return ::Rectangle(State->Dc, left, top, right, bottom);
}

bool TDeviceDC::Ellipse(int left, int top, int right, int bottom) {
  if (!State->Dc) return false;
  noteDrawing(*State, left, top, right, bottom, reach(*State));
  return ::Ellipse(State->Dc, left, top, right, bottom);
}

bool TDeviceDC::MoveTo(int x, int y) { return State->Dc && MoveToEx(State->Dc, x, y, nullptr); }

bool TDeviceDC::LineTo(int x, int y) {
  if (!State->Dc) return false;
  POINT from{};
  GetCurrentPositionEx(State->Dc, &from);
  noteDrawing(*State, from.x, from.y, x, y, reach(*State));
  return ::LineTo(State->Dc, x, y);
}

bool TDeviceDC::Polygon(const TPoint* points, int count) {
  if (!State->Dc || !points || count < 2) return false;
  // The engine's polygons are small; the stack takes them without an allocation per frame.
  POINT local[16];
  std::vector<POINT> large;
  POINT* converted = local;
  if (count > 16) {
    large.resize(static_cast<std::size_t>(count));
    converted = large.data();
  }
  long long left = points[0].x, top = points[0].y, right = left, bottom = top;
  for (int i = 0; i < count; ++i) {
    converted[i] = POINT{points[i].x, points[i].y};
    left = std::min<long long>(left, points[i].x);
    top = std::min<long long>(top, points[i].y);
    right = std::max<long long>(right, points[i].x);
    bottom = std::max<long long>(bottom, points[i].y);
  }
  noteDrawing(*State, left, top, right + 1, bottom + 1, reach(*State));
  return ::Polygon(State->Dc, converted, count);
}

// A bitmap copied to a window goes through the plan of damage.cpp: to the window it was last copied to,
// with the same request, it carries only what differs from what the window holds. Anything else is the
// system's own copy, with any raster operation.
bool TDeviceDC::BitBlt(int x, int y, int width, int height, const TDC& source, int sourceX, int sourceY,
                       DWORD rop) {
  const auto* sourceDevice = dynamic_cast<const TDeviceDC*>(&source);
  const HDC sourceDc = sourceDevice ? sourceDevice->GetState().Dc : nullptr;
  TState& s = *State;
  if (!s.Dc || !sourceDc) return false;
  const TState& from = sourceDevice->GetState();
  using Wide = long long;

  if (s.Memory || !s.Window || rop != SRCCOPY || !from.Memory || !from.Bitmap || width < 0 || height < 0) {
    const bool copied = ::BitBlt(s.Dc, x, y, width, height, sourceDc, sourceX, sourceY, rop);
    noteDrawing(s, x, y, Wide{x} + width, Wide{y} + height, 0);
    return copied;
  }

  const TSize client = clientSize(s.Window);
  TWindowContents& contents = contentsOf(s.Window);
  // What the system has yet to ask for may already be gone from the screen.
  RECT pending{};
  if (GetUpdateRect(s.Window, &pending, FALSE)) {
    contents.Repaint.Add(TRect(pending.left, pending.top, pending.right, pending.bottom));
  }
  const TCopyGeometry geometry{x, y, width, height, sourceX, sourceY,
                               client.cx, client.cy, from.Bitmap->Width, from.Bitmap->Height};
  TCopyEnds ends;
  ends.Source = &from.Bitmap->Changes;
  ends.Window = reinterpret_cast<std::uintptr_t>(s.Window);
  ends.Contents = &contents;
  const TCopyPlan plan = PlanBlockCopy(geometry, ends);
  bool copied = true;
  if (plan.Whole) {
    // As asked: the system clips a whole copy to the window itself.
    copied = ::BitBlt(s.Dc, x, y, width, height, sourceDc, sourceX, sourceY, SRCCOPY);
  } else {
    for (const TRect& part : plan) {
      copied = ::BitBlt(s.Dc, part.left, part.top, part.Width(), part.Height(), sourceDc, part.left - x + sourceX,
                        part.top - y + sourceY, SRCCOPY) &&
               copied;
    }
  }
  NoteBlockCopy(geometry, plan, ends, copied);
  return copied;
}

TClientDC::TClientDC(HWND window) : TDeviceDC(clientState(window)) {}

namespace win32 {

void NoteRepaint(HWND window, const RECT& area) {
  contentsOf(window).Repaint.Add(TRect(area.left, area.top, area.right, area.bottom));
}

void ForgetContents(HWND window) {
  auto& all = windowContents();
  all.erase(std::remove_if(all.begin(), all.end(), [window](const auto& entry) { return entry.first == window; }),
            all.end());
}

}  // namespace win32

TMemoryDC::TMemoryDC(TBitmap& bitmap) : TDeviceDC(memoryState(nullptr)) {
  TState& s = GetState();
  if (!s.Dc) return;
  TBitmap::TState& b = bitmap.GetState();
  const HGDIOBJ previous = b.SelectedInto ? nullptr : ::SelectObject(s.Dc, b.Handle);
  if (!previous) {
    // GDI holds a bitmap in one context at a time; a context without it must not pretend to draw.
    FrameworkTrace("cannot select the bitmap into a memory context (another one may hold it)");
    DeleteDC(s.Dc);
    s.Dc = nullptr;
    return;
  }
  s.OriginalBitmap = previous;
  s.Bitmap = &b;
  b.SelectedInto = &s;
}

TMemoryDC::TMemoryDC(const TDC& compatible) : TDeviceDC(memoryState(handleOf(compatible))) {}

// --- bitmaps ----------------------------------------------------------------------------------

TBitmap::TBitmap(const TDC& compatible, int width, int height, bool /*discardable*/)
    : State(std::make_unique<TState>()) {
  CheckRequest(width, height);
  HDC reference = handleOf(compatible);
  HDC screen = nullptr;
  if (!reference || isBareMemoryContext(reference)) reference = screen = GetDC(nullptr);
  const HBITMAP handle = CreateCompatibleBitmap(reference, width, height);
  if (handle) {
    // A new compatible bitmap holds whatever the memory held; the picture starts black.
    const HDC painter = CreateCompatibleDC(reference);
    const HGDIOBJ previous = painter ? ::SelectObject(painter, handle) : nullptr;
    if (previous) {
      PatBlt(painter, 0, 0, width, height, BLACKNESS);
      ::SelectObject(painter, previous);
    }
    if (painter) DeleteDC(painter);
  }
  if (screen) ReleaseDC(nullptr, screen);
  // With a context to match and a size of at least a pixel, what is missing is memory.
  if (!handle) throw std::bad_alloc();
  State->Handle = handle;
  State->Width = width;
  State->Height = height;
}

TBitmap::~TBitmap() {
  if (State->SelectedInto) {
    FrameworkTrace("a bitmap was deleted while a memory context held it");
    ::SelectObject(State->SelectedInto->Dc, State->SelectedInto->OriginalBitmap);
    State->SelectedInto->Bitmap = nullptr;
  }
  DeleteObject(State->Handle);
}

int TBitmap::Width() const { return State->Width; }

int TBitmap::Height() const { return State->Height; }

// On failure the picture is left empty, so that writing it reports the failure.
TDib::TDib(const TBitmap& bitmap, const void* /*palette*/) {
  const TBitmap::TState& b = bitmap.GetState();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(b.Width) * static_cast<std::size_t>(b.Height));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = b.Width;
  info.bmiHeader.biHeight = -b.Height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  // The bits of a bitmap are read while no context holds it.
  HDC holder = b.SelectedInto ? b.SelectedInto->Dc : nullptr;
  if (holder) ::SelectObject(holder, b.SelectedInto->OriginalBitmap);
  const HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, b.Handle, 0, static_cast<UINT>(b.Height), pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (holder) ::SelectObject(holder, b.Handle);

  if (rows != b.Height) {
    FrameworkTrace("cannot read the pixels of a bitmap");
    return;
  }
  for (std::uint32_t& pixel : pixels) pixel &= 0x00FFFFFFu;
  PixelWidth = b.Width;
  PixelHeight = b.Height;
  Data = std::move(pixels);
}
