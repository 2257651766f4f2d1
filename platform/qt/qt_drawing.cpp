// Drawing contexts, bitmaps and pixel copies on Qt: QPainter on 32-bit QImages, antialiasing off,
// with the geometry of the Windows drawing calls (boxes exclude their right and bottom edges, a
// line excludes its end point). Bitmaps and windows keep what their drawing changed, so that a block
// copy of a bitmap to a window carries only the pixels the window does not already hold.
#include <QPainter>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "drawing.h"
#include "qt_backend.h"

using namespace qt_backend;

struct TBitmap::TState {
  QImage Image;
  TBitmapChanges Changes;
};

struct TDeviceDC::TState {
  enum class TKind { Window, Screen, Image };
  TKind Kind = TKind::Image;
  bool Valid = false;
  QPointer<TWindowWidget> Window;
  QImage* Target = nullptr;  // the bitmap's picture, or Own
  TBitmap::TState* Bitmap = nullptr;  // the bitmap drawn on, if any
  QImage Own;                // the screen's stand-in, or the one-pixel picture of a compatible context
  std::optional<QPainter> Painter;
  QImage* Painted = nullptr;  // what Painter paints on

  TPen Pen{TColor(0, 0, 0), 1, PS_SOLID};
  TBrush Brush{TColor(255, 255, 255)};
  QPoint Position;
  int Rop = R2_COPYPEN;

  // The picture drawn on, or null when there is none (a window that has gone, or has no size).
  QImage* Image() {
    QImage* image = nullptr;
    switch (Kind) {
      case TKind::Window:
        image = Window ? &Window->Picture() : nullptr;
        break;
      case TKind::Screen:
        // Nothing draws on the screen itself; a picture of its size stands in, made when first used.
        if (Own.isNull() && Valid) {
          const QRect screen = ScreenRect();
          Own = QImage(screen.size(), QImage::Format_RGB32);
          if (!Own.isNull()) Own.fill(qRgb(0, 0, 0));
        }
        image = &Own;
        break;
      case TKind::Image:
        image = Target;
        break;
    }
    return image && !image->isNull() ? image : nullptr;
  }

  // A window's picture moves (into its backing store, or on a resize) and is written only between
  // its BeginDrawing and EndDrawing, so a painter stays open only on bitmaps. `touched` is what the
  // drawing may change, in device pixels.
  QPainter* Begin(const QRect& touched) {
    if (!Valid) return nullptr;
    if (Painter && Kind != TKind::Window) return &*Painter;
    QImage* image = nullptr;
    if (Kind == TKind::Window) {
      if (!Window) return nullptr;
      image = Window->BeginDrawing(touched);
    } else {
      image = Image();
    }
    if (image) Painter.emplace(image);
    if (!Painter || !Painter->isActive()) {
      Painter.reset();
      if (image && Kind == TKind::Window) Window->EndDrawing(QRect());
      return nullptr;
    }
    Painted = image;
    Painter->setRenderHint(QPainter::Antialiasing, false);
    return &*Painter;
  }

  // `touched` holds everything the drawing may have changed, the pen's reach included.
  void End(const QRect& touched) {
    if (Kind == TKind::Image && Bitmap) Note(Bitmap->Changes.Changed, touched, Bitmap->Image.size());
    if (Kind != TKind::Window) return;
    Painter.reset();
    if (Window && Painted) Note(Window->Contents.Repaint, touched, Painted->size());
    Painted = nullptr;
    if (Window) Window->EndDrawing(touched);
  }

  static void Note(TDamage& damage, const QRect& touched, const QSize& size) {
    const long long left = touched.x();
    const long long top = touched.y();
    AddDrawing(damage, left, top, left + touched.width(), top + touched.height(), 0, size.width(), size.height());
  }

  int Reach() const { return PenReach(HasPen() ? PenWidth() : 0); }

  QColor RopColor(TColor color) const {
    if (Rop == R2_BLACK) return QColor(0, 0, 0);
    if (Rop == R2_WHITE) return QColor(255, 255, 255);
    return QColor(color.Red(), color.Green(), color.Blue());
  }

  bool HasPen() const { return Pen.GetStyle() != PS_NULL && Pen.GetColor() != TColor::Transparent; }
  int PenWidth() const { return std::max(1, Pen.GetWidth()); }

  void ApplyTools(QPainter& painter, bool line) {
    if (HasPen()) {
      QPen pen(RopColor(Pen.GetColor()));
      pen.setWidth(PenWidth());
      // Wide pens end and join round, like the system's geometric pens; one-pixel ones square.
      pen.setCapStyle(PenWidth() > 1 && line ? Qt::RoundCap : Qt::SquareCap);
      pen.setJoinStyle(PenWidth() > 1 && line ? Qt::RoundJoin : Qt::MiterJoin);
      switch (Pen.GetStyle()) {
        case PS_DASH: pen.setStyle(Qt::DashLine); break;
        case PS_DOT: pen.setStyle(Qt::DotLine); break;
        case PS_DASHDOT: pen.setStyle(Qt::DashDotLine); break;
        case PS_DASHDOTDOT: pen.setStyle(Qt::DashDotDotLine); break;
        default: break;
      }
      painter.setPen(pen);
    } else {
      painter.setPen(Qt::NoPen);
    }
    if (Brush.IsHollow()) {
      painter.setBrush(Qt::NoBrush);
    } else {
      painter.setBrush(RopColor(Brush.GetColor()));
    }
    switch (Rop) {
      case R2_NOT: painter.setCompositionMode(QPainter::RasterOp_NotDestination); break;
      case R2_XORPEN: painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
      default: painter.setCompositionMode(QPainter::CompositionMode_SourceOver); break;
    }
  }
};

namespace {

std::unique_ptr<TDeviceDC::TState> WindowState(HWND window) {
  auto state = std::make_unique<TDeviceDC::TState>();
  if (!window) {
    state->Kind = TDeviceDC::TState::TKind::Screen;
    state->Valid = HasGui() && !ScreenRect().isEmpty();
  } else {
    state->Kind = TDeviceDC::TState::TKind::Window;
    state->Window = WidgetOf(window);
    state->Valid = !state->Window.isNull();
  }
  return state;
}

std::unique_ptr<TDeviceDC::TState> BitmapState(TBitmap& bitmap) {
  auto state = std::make_unique<TDeviceDC::TState>();
  state->Target = &bitmap.GetState().Image;
  state->Bitmap = &bitmap.GetState();
  state->Valid = true;
  return state;
}

// Every picture here is 32-bit RGB, so any context is compatible with any other.
std::unique_ptr<TDeviceDC::TState> CompatibleState() {
  auto state = std::make_unique<TDeviceDC::TState>();
  state->Own = QImage(1, 1, QImage::Format_RGB32);
  state->Own.fill(qRgb(0, 0, 0));
  state->Target = &state->Own;
  state->Valid = !state->Own.isNull();
  return state;
}

// Coordinates far outside any picture are pulled in, so that widths cannot overflow; a shape that
// large is clipped to the picture anyway.
constexpr int CoordinateLimit = 1 << 24;
int Limited(int value) { return std::clamp(value, -CoordinateLimit, CoordinateLimit); }
QPoint Limited(int x, int y) { return QPoint(Limited(x), Limited(y)); }

// Normalises a box given by its edges; false when nothing of it is left.
bool Box(int& left, int& top, int& right, int& bottom) {
  left = Limited(left);
  top = Limited(top);
  right = Limited(right);
  bottom = Limited(bottom);
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  return right > left && bottom > top;
}

}  // namespace

// --- contexts ---------------------------------------------------------------------------------

TDeviceDC::TDeviceDC(std::unique_ptr<TState> state) : State(std::move(state)) {}

TDeviceDC::~TDeviceDC() = default;

TClientDC::TClientDC(HWND window) : TDeviceDC(WindowState(window)) {}

TMemoryDC::TMemoryDC(TBitmap& bitmap) : TDeviceDC(BitmapState(bitmap)) {}

TMemoryDC::TMemoryDC(const TDC& /*compatible*/) : TDeviceDC(CompatibleState()) {}

bool TDeviceDC::IsValid() const {
  if (!State->Valid) return false;
  return State->Kind != TState::TKind::Window || !State->Window.isNull();
}

void TDeviceDC::SelectObject(const TPen& pen) {
  State->Pen = pen;
}

void TDeviceDC::SelectObject(const TBrush& brush) {
  State->Brush = brush;
}

// A context starts with a black one-pixel pen and a white brush.
void TDeviceDC::RestorePen() { SelectObject(TPen(TColor(0, 0, 0), 1, PS_SOLID)); }

void TDeviceDC::RestoreBrush() { SelectObject(TBrush(TColor(255, 255, 255))); }

int TDeviceDC::SetROP2(int mode) {
  // As the system does for a context it could not give: no previous mode, nothing changed.
  if (!IsValid()) return 0;
  switch (mode) {
    case R2_BLACK:
    case R2_NOT:
    case R2_XORPEN:
    case R2_COPYPEN:
    case R2_WHITE: {
      const int previous = State->Rop;
      State->Rop = mode;
      return previous;
    }
    default:
      FrameworkTrace(("SetROP2: drawing mode " + std::to_string(mode) + " is not supported").c_str());
      return 0;
  }
}

// Starts a shape in the box left..right x top..bottom (normalised in place), noting what the pen can
// reach around it; null when nothing of it is left or nothing can be drawn.
static QPainter* BeginShape(TDeviceDC::TState& state, int& left, int& top, int& right, int& bottom,
                            QRect& touched) {
  if (!Box(left, top, right, bottom)) return nullptr;
  const int margin = state.Reach();
  touched = QRect(left, top, right - left, bottom - top).adjusted(-margin, -margin, margin, margin);
  QPainter* painter = state.Begin(touched);
  if (painter) state.ApplyTools(*painter, false);
  return painter;
}

bool TDeviceDC::Rectangle(int left, int top, int right, int bottom) {
  QRect touched;
  QPainter* painter = BeginShape(*State, left, top, right, bottom, touched);
  if (!painter) return false;
  const bool pen = State->HasPen();
  const int width = State->PenWidth();
  // The box covers left..right-1 and top..bottom-1; Qt's aliased outline of a w x h rectangle
  // covers w + 1 pixels, hence the - 1.
  const QRect box(left, top, right - left - 1, bottom - top - 1);
  if (pen && width == 1 && (box.width() == 0 || box.height() == 0)) {
    // Too thin for an inside: the outline is all there is.
    painter->fillRect(QRect(left, top, right - left, bottom - top), painter->pen().color());
  } else if (!pen) {
    // Without a pen the system's box is one pixel smaller on the right and at the bottom.
    if (!State->Brush.IsHollow() && box.width() > 0 && box.height() > 0) painter->fillRect(box, painter->brush());
  } else {
    painter->drawRect(box);
  }
  State->End(touched);
  return true;
}

bool TDeviceDC::Ellipse(int left, int top, int right, int bottom) {
  QRect touched;
  QPainter* painter = BeginShape(*State, left, top, right, bottom, touched);
  if (!painter) return false;
  painter->drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
  State->End(touched);
  return true;
}

bool TDeviceDC::MoveTo(int x, int y) {
  if (!IsValid()) return false;
  State->Position = Limited(x, y);
  return true;
}

bool TDeviceDC::LineTo(int x, int y) {
  const QPoint from = State->Position;
  const QPoint to = Limited(x, y);
  State->Position = to;
  if (from == to || !State->HasPen()) return true;
  const int margin = State->Reach();
  const QRect touched = QRect(from, to).normalized().adjusted(-margin, -margin, margin, margin);
  QPainter* painter = State->Begin(touched);
  if (!painter) return false;
  State->ApplyTools(*painter, true);
  QImage& image = *State->Painted;
  const bool thin = State->PenWidth() == 1;
  // A one-pixel line leaves out its end point: draw it whole, then put the end pixel back.
  const bool keepEnd = thin && image.rect().contains(to);
  const QRgb endPixel = keepEnd ? image.pixel(to) : 0;
  painter->drawLine(from, to);
  if (keepEnd) image.setPixel(to, endPixel);
  State->End(touched);
  return true;
}

bool TDeviceDC::Polygon(const TPoint* points, int count) {
  if (!points || count < 2) return false;
  // The balls' markings have 40 corners: no allocation for polygons of up to 64.
  std::array<QPoint, 64> small;
  std::vector<QPoint> large;
  QPoint* corners = small.data();
  if (count > static_cast<int>(small.size())) {
    large.resize(static_cast<std::size_t>(count));
    corners = large.data();
  }
  QRect bounds(Limited(points[0].x, points[0].y), QSize(1, 1));
  for (int i = 0; i < count; ++i) {
    corners[i] = Limited(points[i].x, points[i].y);
    bounds = bounds.united(QRect(corners[i], QSize(1, 1)));
  }
  const int margin = State->Reach();
  const QRect touched = bounds.adjusted(-margin, -margin, margin, margin);
  QPainter* painter = State->Begin(touched);
  if (!painter) return false;
  State->ApplyTools(*painter, false);
  painter->drawPolygon(corners, count, Qt::OddEvenFill);
  State->End(touched);
  return true;
}

namespace {

QRegion RegionOf(const TCopyPlan& plan) {
  QRegion region;
  for (const TRect& part : plan) region += QRect(part.left, part.top, part.Width(), part.Height());
  return region;
}

// Straight row copies of the region's pixels. The pictures' rows are reached through their first byte:
// a row look-up per row costs a detach check each.
void CopyRows(QImage& target, const QImage& from, const TCopyGeometry& g, const QRegion& region) {
  // Within one picture, copy from the far end when the area moves down.
  const bool upward = &target == &from && g.Y > g.SourceY;
  uchar* const targetBits = target.bits();
  const uchar* const fromBits = from.constBits();
  const auto targetStride = static_cast<std::size_t>(target.bytesPerLine());
  const auto fromStride = static_cast<std::size_t>(from.bytesPerLine());
  for (const QRect& rect : region) {
    const std::size_t rowBytes = static_cast<std::size_t>(rect.width()) * 4;
    const long long fromColumn = static_cast<long long>(rect.x()) - g.X + g.SourceX;
    for (int i = 0; i < rect.height(); ++i) {
      const long long row = upward ? rect.y() + rect.height() - 1 - i : rect.y() + i;
      const long long fromRow = row - g.Y + g.SourceY;
      uchar* to = targetBits + static_cast<std::size_t>(row) * targetStride + static_cast<std::size_t>(rect.x()) * 4;
      const uchar* fromPixels =
          fromBits + static_cast<std::size_t>(fromRow) * fromStride + static_cast<std::size_t>(fromColumn) * 4;
      std::memmove(to, fromPixels, rowBytes);
    }
  }
}

// Into a window on the screen the rows go straight to the backing store that Qt puts on the display.
bool CopyToWindow(TWindowWidget& window, TDeviceDC::TState& source, const TCopyGeometry& g, const TCopyEnds& ends,
                  TCopyPlan& plan) {
  QRegion region = RegionOf(plan);
  QImage* target = window.BeginDrawing(region);
  if (target && !plan.Whole && window.Contents.Repaint.IsAll()) {
    // The picture was lost while it was being made ready: the plan now asks for the whole copy.
    window.EndDrawing(QRegion());
    plan = PlanBlockCopy(g, ends);
    region = RegionOf(plan);
    target = window.BeginDrawing(region);
  }
  // The source is read only now: a window's picture may just have moved into its backing store.
  const QImage* from = source.Image();
  if (!target || !from || target->size() != QSize(g.TargetWidth, g.TargetHeight) ||
      from->size() != QSize(g.SourceWidth, g.SourceHeight)) {
    if (target) window.EndDrawing(QRegion());
    return false;
  }
  CopyRows(*target, *from, g, region);
  window.EndDrawing(region);
  return true;
}

}  // namespace

// The pictures are clipped and the parts planned in damage.cpp: a bitmap copied to the window it was last
// copied to carries only what differs from what the window holds.
bool TDeviceDC::BitBlt(int x, int y, int width, int height, const TDC& source, int sourceX, int sourceY,
                       DWORD rop) {
  if (rop != SRCCOPY) {
    FrameworkTrace("BitBlt: only SRCCOPY is supported");
    return false;
  }
  const auto* sourceDC = dynamic_cast<const TDeviceDC*>(&source);
  if (!sourceDC || !IsValid() || !sourceDC->IsValid() || width < 0 || height < 0) return false;
  TState& from = sourceDC->GetState();
  // Reading a window's picture first settles it: a picture that was lost is marked so before planning.
  QImage* target = State->Image();
  const QImage* fromImage = from.Image();
  if (!target || !fromImage) return false;

  const TCopyGeometry geometry{x, y, width, height, sourceX, sourceY,
                               target->width(), target->height(), fromImage->width(), fromImage->height()};
  TWindowWidget* window = State->Kind == TState::TKind::Window ? State->Window.data() : nullptr;
  TCopyEnds ends;
  if (from.Kind == TState::TKind::Image && from.Bitmap) ends.Source = &from.Bitmap->Changes;
  if (window) {
    ends.Window = reinterpret_cast<std::uintptr_t>(window->Handle);
    ends.Contents = &window->Contents;
  }
  if (State->Kind == TState::TKind::Image && State->Bitmap) ends.Target = &State->Bitmap->Changes;

  TCopyPlan plan = PlanBlockCopy(geometry, ends);
  bool copied = true;
  if (!plan.IsEmpty() && window) {
    copied = CopyToWindow(*window, from, geometry, ends, plan);
  } else if (!plan.IsEmpty()) {
    CopyRows(*target, *fromImage, geometry, RegionOf(plan));
  }
  NoteBlockCopy(geometry, plan, ends, copied);
  return copied;
}

// --- bitmaps ----------------------------------------------------------------------------------

TBitmap::TBitmap(const TDC& /*compatible*/, int width, int height, bool /*discardable*/)
    : State(std::make_unique<TState>()) {
  CheckRequest(width, height);
  State->Image = QImage(width, height, QImage::Format_RGB32);
  if (State->Image.isNull()) throw std::bad_alloc();
  State->Image.fill(qRgb(0, 0, 0));
}

TBitmap::~TBitmap() = default;

int TBitmap::Width() const { return State->Image.width(); }

int TBitmap::Height() const { return State->Image.height(); }

TDib::TDib(const TBitmap& bitmap, const void* /*palette*/)
    : PixelWidth(bitmap.Width()), PixelHeight(bitmap.Height()) {
  const QImage& image = bitmap.GetState().Image;
  Data.resize(static_cast<std::size_t>(PixelWidth) * static_cast<std::size_t>(PixelHeight));
  for (int y = 0; y < PixelHeight; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    std::uint32_t* out = Data.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(PixelWidth);
    for (int x = 0; x < PixelWidth; ++x) out[x] = row[x] & 0x00FFFFFFu;
  }
}
