// Drawing contexts, pens, brushes, off-screen bitmaps and bitmap files.
// TDC is the interface the engine paints through; each back end supplies the device contexts (the
// members it defines are listed in system_api.h).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "geometry.h"
#include "system_api.h"

// Raised when the platform cannot make a drawing object, such as a bitmap.
class TDrawingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TPen {
 public:
  explicit TPen(TColor color, int width = 1, int style = PS_SOLID) : Color(color), Width(width), Style(style) {}
  TColor GetColor() const { return Color; }
  int GetWidth() const { return Width; }
  int GetStyle() const { return Style; }

 private:
  TColor Color;
  int Width;
  int Style;
};

// A solid brush; a brush of TColor::Transparent is hollow.
class TBrush {
 public:
  explicit TBrush(TColor color) : Color(color) {}
  TColor GetColor() const { return Color; }
  bool IsHollow() const { return Color == TColor::Transparent; }

 private:
  TColor Color;
};

class TDC {
 public:
  virtual ~TDC() = default;

  // False for a context that could not be had (a null HDC); callers then draw nothing.
  virtual bool IsValid() const = 0;
  explicit operator bool() const { return IsValid(); }

  // A selected pen or brush stays in use until the next selection or a restore.
  virtual void SelectObject(const TPen& pen) = 0;
  virtual void SelectObject(const TBrush& brush) = 0;
  // Select the pen (brush) the context had before the first selection of one.
  virtual void RestorePen() = 0;
  virtual void RestoreBrush() = 0;
  virtual int SetROP2(int mode) = 0;

  virtual bool Rectangle(int left, int top, int right, int bottom) = 0;
  virtual bool Ellipse(int left, int top, int right, int bottom) = 0;
  virtual bool MoveTo(int x, int y) = 0;
  virtual bool LineTo(int x, int y) = 0;
  virtual bool Polygon(const TPoint* points, int count) = 0;
  virtual bool BitBlt(int x, int y, int width, int height, const TDC& source, int sourceX, int sourceY,
                      DWORD rop = SRCCOPY) = 0;
};

class TBitmap;

// A context on a real device: a window's client area or an off-screen bitmap.
class TDeviceDC : public TDC {
 public:
  struct TState;  // defined by the back end
  ~TDeviceDC() override;
  TDeviceDC(const TDeviceDC&) = delete;
  TDeviceDC& operator=(const TDeviceDC&) = delete;

  bool IsValid() const override;
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

  TState& GetState() const { return *State; }

 protected:
  explicit TDeviceDC(std::unique_ptr<TState> state);

 private:
  std::unique_ptr<TState> State;
};

// The client area of a window; with a null handle, the whole screen.
class TClientDC : public TDeviceDC {
 public:
  explicit TClientDC(HWND window);
};

class TMemoryDC : public TDeviceDC {
 public:
  // The bitmap stays selected for the context's life.
  explicit TMemoryDC(TBitmap& bitmap);
  // An empty off-screen context compatible with the given one.
  explicit TMemoryDC(const TDC& compatible);
};

// An off-screen picture compatible with a device; black when new.
class TBitmap {
 public:
  struct TState;  // defined by the back end
  // Raises std::bad_alloc when the system has no memory for it, TDrawingError for a size below a
  // pixel.
  TBitmap(const TDC& compatible, int width, int height, bool discardable = false);
  // For tests: the next count bitmaps fail as if memory had run out.
  static void FailNext(int count);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const;
  int Height() const;
  TState& GetState() const { return *State; }

 private:
  // What a bitmap of that size fails with before a back end makes it: TDrawingError for a size below
  // a pixel, std::bad_alloc when FailNext asked for the failure (which counts it off).
  static void CheckRequest(int width, int height);
  std::unique_ptr<TState> State;
};

// A device-independent copy of a bitmap's pixels, written as a standard .bmp file.
class TDib {
 public:
  explicit TDib(const TBitmap& bitmap, const void* palette = nullptr);
  TDib(int width, int height, std::vector<std::uint32_t> pixels);

  int Width() const { return PixelWidth; }
  int Height() const { return PixelHeight; }
  // Top row first, each pixel 0x00RRGGBB.
  const std::vector<std::uint32_t>& Pixels() const { return Data; }

  // A 24-bit bottom-up .bmp; true on success. The file is written under a temporary name and
  // renamed over the old one, so a failed write leaves no half-written file.
  bool WriteFile(const char* path) const;

 private:
  int PixelWidth = 0;
  int PixelHeight = 0;
  std::vector<std::uint32_t> Data;
};

// Reads a .bmp as TDib::WriteFile writes it (24 or 32 bits, uncompressed); false when it is not one.
bool ReadBmpFile(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& pixels);
