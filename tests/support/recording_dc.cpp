// The recording drawing context: each call appended to the log with its arguments.
#include "recording_dc.h"

#include <sstream>

namespace {

const char* KindName(RecordedCall::Kind kind) {
  switch (kind) {
    case RecordedCall::Kind::SelectPen: return "SelectPen";
    case RecordedCall::Kind::SelectBrush: return "SelectBrush";
    case RecordedCall::Kind::RestorePen: return "RestorePen";
    case RecordedCall::Kind::RestoreBrush: return "RestoreBrush";
    case RecordedCall::Kind::SetROP2: return "SetROP2";
    case RecordedCall::Kind::Rectangle: return "Rectangle";
    case RecordedCall::Kind::Ellipse: return "Ellipse";
    case RecordedCall::Kind::MoveTo: return "MoveTo";
    case RecordedCall::Kind::LineTo: return "LineTo";
    case RecordedCall::Kind::Polygon: return "Polygon";
    case RecordedCall::Kind::BitBlt: return "BitBlt";
  }
  return "?";
}

void WriteColor(std::ostream& out, TColor color) {
  out << "rgb(" << color.Red() << ',' << color.Green() << ',' << color.Blue() << ')';
}

}  // namespace

std::string RecordedCall::Describe() const {
  std::ostringstream out;
  out << KindName(kind);
  switch (kind) {
    case Kind::SelectPen:
      out << ' ';
      WriteColor(out, color);
      out << " width " << width << " style " << style;
      break;
    case Kind::SelectBrush:
      out << ' ';
      if (hollow) {
        out << "hollow";
      } else {
        WriteColor(out, color);
      }
      break;
    case Kind::Rectangle:
    case Kind::Ellipse:
      out << ' ' << box.left << ' ' << box.top << ' ' << box.right << ' ' << box.bottom;
      break;
    case Kind::MoveTo:
    case Kind::LineTo:
      out << ' ' << point.x << ' ' << point.y;
      break;
    case Kind::Polygon:
      out << ' ' << points.size();
      for (const TPoint& corner : points) out << " (" << corner.x << ',' << corner.y << ')';
      break;
    case Kind::SetROP2:
      out << ' ' << mode;
      break;
    case Kind::BitBlt:
      out << ' ' << box.left << ' ' << box.top << ' ' << box.right << ' ' << box.bottom << " from " << point.x << ' '
          << point.y << " rop " << mode;
      break;
    case Kind::RestorePen:
    case Kind::RestoreBrush:
      break;
  }
  return out.str();
}

void RecordingDC::SelectObject(const TPen& pen) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::SelectPen;
  call.color = pen.GetColor();
  call.width = pen.GetWidth();
  call.style = pen.GetStyle();
  Calls.push_back(call);
}

void RecordingDC::SelectObject(const TBrush& brush) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::SelectBrush;
  call.color = brush.GetColor();
  call.hollow = brush.IsHollow();
  Calls.push_back(call);
}

void RecordingDC::RestorePen() {
  RecordedCall call;
  call.kind = RecordedCall::Kind::RestorePen;
  Calls.push_back(call);
}

void RecordingDC::RestoreBrush() {
  RecordedCall call;
  call.kind = RecordedCall::Kind::RestoreBrush;
  Calls.push_back(call);
}

int RecordingDC::SetROP2(int mode) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::SetROP2;
  call.mode = mode;
  Calls.push_back(call);
  const int previous = Rop;
  Rop = mode;
  return previous;
}

bool RecordingDC::Rectangle(int left, int top, int right, int bottom) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::Rectangle;
  call.box = TRect(left, top, right, bottom);
  Calls.push_back(call);
  return true;
}

bool RecordingDC::Ellipse(int left, int top, int right, int bottom) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::Ellipse;
  call.box = TRect(left, top, right, bottom);
  Calls.push_back(call);
  return true;
}

bool RecordingDC::MoveTo(int x, int y) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::MoveTo;
  call.point = TPoint(x, y);
  Calls.push_back(call);
  return true;
}

bool RecordingDC::LineTo(int x, int y) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::LineTo;
  call.point = TPoint(x, y);
  Calls.push_back(call);
  return true;
}

bool RecordingDC::Polygon(const TPoint* points, int count) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::Polygon;
  if (points != nullptr && count > 0) call.points.assign(points, points + count);
  Calls.push_back(call);
  return true;
}

bool RecordingDC::BitBlt(int x, int y, int width, int height, const TDC& /*source*/, int sourceX, int sourceY,
                         DWORD rop) {
  RecordedCall call;
  call.kind = RecordedCall::Kind::BitBlt;
  call.box = TRect(x, y, width, height);
  call.point = TPoint(sourceX, sourceY);
  call.mode = static_cast<int>(rop);
  Calls.push_back(call);
  return true;
}

std::vector<RecordedCall> RecordingDC::OfKind(RecordedCall::Kind kind) const {
  std::vector<RecordedCall> found;
  for (const RecordedCall& call : Calls) {
    if (call.kind == kind) found.push_back(call);
  }
  return found;
}

int RecordingDC::Count(RecordedCall::Kind kind) const {
  int count = 0;
  for (const RecordedCall& call : Calls) {
    if (call.kind == kind) ++count;
  }
  return count;
}

std::string RecordingDC::Describe() const {
  std::string text;
  for (const RecordedCall& call : Calls) {
    text += call.Describe();
    text += '\n';
  }
  return text;
}
