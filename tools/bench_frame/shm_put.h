// The X baseline of the frame benchmark: one copy of a frame into a shared-memory image and one put
// of it to a window, the least a program can do to show a frame of its own on X.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include "geometry.h"

class TShmPut {
 public:
  // On a connection of its own; IsReady says whether the display offers shared memory.
  TShmPut(unsigned long window, TSize size);
  ~TShmPut();
  TShmPut(const TShmPut&) = delete;
  TShmPut& operator=(const TShmPut&) = delete;

  bool IsReady() const { return Ready; }
  // Copies the frame (4 bytes a pixel, rows without padding) in, puts it, and waits for the server.
  void CopyAndPut(const unsigned char* frame);

 private:
  TSize Size;
  Display* Connection = nullptr;
  XImage* Image = nullptr;
  XShmSegmentInfo Segment{};
  bool Attached = false;
  bool Ready = false;
  unsigned long Target = 0;
  GC Context = nullptr;
};
