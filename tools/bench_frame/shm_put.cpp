#include "shm_put.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstddef>
#include <cstring>

TShmPut::TShmPut(unsigned long window, TSize size) : Size(size), Target(window) {
  Connection = XOpenDisplay(nullptr);
  if (!Connection || !XShmQueryExtension(Connection)) return;
  const int screen = DefaultScreen(Connection);
  Image = XShmCreateImage(Connection, DefaultVisual(Connection, screen),
                          static_cast<unsigned>(DefaultDepth(Connection, screen)), ZPixmap, nullptr, &Segment,
                          static_cast<unsigned>(size.cx), static_cast<unsigned>(size.cy));
  if (!Image || Image->bits_per_pixel != 32) return;
  Segment.shmid =
      shmget(IPC_PRIVATE, static_cast<std::size_t>(Image->bytes_per_line) * static_cast<std::size_t>(size.cy),
             IPC_CREAT | 0600);
  if (Segment.shmid < 0) return;
  void* address = shmat(Segment.shmid, nullptr, 0);
  // Marked for removal now, so that nothing is left behind however the run ends.
  shmctl(Segment.shmid, IPC_RMID, nullptr);
  if (address == reinterpret_cast<void*>(-1)) return;
  Segment.shmaddr = Image->data = static_cast<char*>(address);
  Segment.readOnly = False;
  if (!XShmAttach(Connection, &Segment)) return;
  Attached = true;
  XSync(Connection, False);
  Context = XCreateGC(Connection, Target, 0, nullptr);
  Ready = true;
}

TShmPut::~TShmPut() {
  if (Connection) {
    if (Context) XFreeGC(Connection, Context);
    if (Attached) XShmDetach(Connection, &Segment);
    XSync(Connection, False);
  }
  if (Segment.shmaddr) shmdt(Segment.shmaddr);
  if (Image) {
    Image->data = nullptr;
    XDestroyImage(Image);
  }
  if (Connection) XCloseDisplay(Connection);
}

void TShmPut::CopyAndPut(const unsigned char* frame) {
  const std::size_t rowBytes = static_cast<std::size_t>(Size.cx) * 4;
  if (static_cast<std::size_t>(Image->bytes_per_line) == rowBytes) {
    std::memcpy(Image->data, frame, rowBytes * static_cast<std::size_t>(Size.cy));
  } else {
    for (int y = 0; y < Size.cy; ++y) {
      std::memcpy(Image->data + static_cast<std::ptrdiff_t>(y) * Image->bytes_per_line,
                  frame + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    }
  }
  XShmPutImage(Connection, Target, Context, Image, 0, 0, 0, 0, static_cast<unsigned>(Size.cx),
               static_cast<unsigned>(Size.cy), False);
  XSync(Connection, False);
}
