// This saver's window: its settings, engine and bitmap, the first frames that draw the box, each
// animation step, the picture on Enter, a restart after the reinit timer or a host's resize, and the
// final save.
#include "owlscrn25.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "phys52.h"
#include "profile.h"
#include "saver_files.h"
#include "settings.h"
#include "trace.h"

const char AppName[] = "tes_mar_ScreenSaver";

int leftframe = 0;
int rightframe = 0;
int topframe = 0;
int bottomframe = 0;
int frontframe = 0;
int rearframe = 1000;

int first = 1;

void saver_trace(const char* label) { Trace(TTraceHook::Saver, label); }

TMyScrnSavWindow::TMyScrnSavWindow(TWindow* parent, const char* title, TModule* module)
    : TScrnSavWindow(parent, title, module) {
  // The window has no handle yet, so this is a context of the whole screen.
  TClientDC screen(GetHandle());

  ScreenSize = TSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (IsHosted()) {
    // The box is the host's window, or the window of its own; never smaller than one pixel inside.
    RECT area{0, 0, 640, 480};
    if (parent) GetClientRect(parent->GetHandle(), &area);
    ScreenSize = TSize(std::max<LONG>(area.right - area.left, 2), std::max<LONG>(area.bottom - area.top, 2));
    Attr.X = Attr.Y = 0;
    Attr.W = ScreenSize.cx;
    Attr.H = ScreenSize.cy;
  }

  ReadSettings();
  StartBox(screen);
}

void TMyScrnSavWindow::StartBox(TDC& screen) {
  rightframe = ScreenSize.cx - 1;
  bottomframe = ScreenSize.cy - 1;

  char noFile[] = "";
  const char* overridden = StartFileOverride();
  std::vector<char> startFile(param_file, param_file + ParamFileSize);
  if (overridden) startFile.assign(overridden, overridden + std::strlen(overridden) + 1);
  char* fileName = (what_file && !overridden) ? noFile : startFile.data();

  RetryOrExit<const std::bad_alloc&>(
      *this,
      [&] {
        saver_trace("init run");
        Sim = std::make_unique<sim3d>(leftframe, rightframe, topframe, bottomframe, frontframe, rearframe, fileName);
      },
      [](const std::bad_alloc&) { return "not enough memory for main simulation engine!"; });

  RetryOrExit<const std::bad_alloc&>(
      *this, [&] { Bitmap = std::make_unique<TBitmap>(screen, ScreenSize.cx - 1, ScreenSize.cy - 1, false); },
      [](const std::bad_alloc&) { return "Can't allocate bitmap!"; });
}

const TResponseTable& TMyScrnSavWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TMyScrnSavWindow::EvSize>(WM_SIZE),
      Respond<&TMyScrnSavWindow::EvEndSession>(WM_ENDSESSION),
  };
  static const TResponseTable table{entries, std::size(entries), &TScrnSavWindow::ResponseTable()};
  return table;
}

// WM_SIZE packs the client width and height as a point's x and y.
void TMyScrnSavWindow::EvSize(UINT /*sizeType*/, TPoint& size) {
  if (!IsHosted() || !GetHandle() || size.x < 2 || size.y < 2) return;
  if (size.x == ScreenSize.cx && size.y == ScreenSize.cy) return;
  RestartRun(TSize(size.x, size.y));
}

void TMyScrnSavWindow::reinit() {
  // After the end of the session has saved the run, nothing starts again.
  if (!Sim) return;
  RestartRun(ScreenSize);
}

void TMyScrnSavWindow::RestartRun(TSize size) {
  // The old run's final state is saved before the new one writes its start.
  EndRun();
  Bitmap.reset();
  ScreenSize = size;
  TClientDC screen(GetHandle());
  StartBox(screen);
  // The new bitmap starts black: the first frames draw the box's edges before anything is shown, and
  // the window's black background shows until then.
  first = 1;
  if (GetHandle()) Invalidate(true);
}

void TMyScrnSavWindow::ReadSettings() {
  TProfile profile(SettingsSection, SettingsFile);
  int speed = ReadStoredSettings(profile, 2, "");
  if (param_file[0] == '\0') CopyCut(param_file, sizeof param_file, DefaultParamFile);

  const TRunChoices& runChoices = RunChoices();
  if (runChoices.Speed >= 0) speed = runChoices.Speed;
  if (auto* application = dynamic_cast<TScrnSavApp*>(GetApplication())) application->SetSpeed(speed);
  if (runChoices.FrameOn >= 0) frame_on = runChoices.FrameOn;
  if (runChoices.WhatFile >= 0) what_file = runChoices.WhatFile;
  // The framework arms its timer from these once the window exists.
  TimerId = 1;
  ReinitMinutes = static_cast<float>(std::clamp(reinit_minutes, 0, MaxReinitMinutes));
}

TMyScrnSavWindow::~TMyScrnSavWindow() {
  // The engine saves its final state as it goes; the bitmap after it.
  Sim.reset();
  Bitmap.reset();
}

// Once this message returns the system may end the process at any moment, so the engine writes its
// final state now; the close that follows takes the ordinary path, with nothing left to save.
void TMyScrnSavWindow::EvEndSession(bool ending, DWORD /*flags*/) {
  if (!ending || !Sim) return;
  saver_trace("Closing because the session ends");
  EndRun();
  CloseSaver();
}

std::string TMyScrnSavWindow::EndRun() {
  if (!Sim) return {};
  std::string written = Sim->save_final();
  Sim.reset();
  return written;
}

const char* TMyScrnSavWindow::GetClassName() { return AppName; }

void TMyScrnSavWindow::GetWindowClass(WNDCLASS& windowClass) {
  TScrnSavWindow::GetWindowClass(windowClass);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

// The first four steps only draw the box into the bitmap; from the fifth on each step shows what
// the previous one painted. Nothing clears the bitmap, so the balls leave trails.
void TMyScrnSavWindow::AnimateScreen() {
  // After the end of the session has saved the engine, nothing moves until the window closes.
  if (!Sim) return;
  TClientDC screen(GetHandle());
  TMemoryDC memory(*Bitmap);

  if (screen.IsValid()) {
    screen.SetROP2(R2_COPYPEN);
    if (first) {
      DrawFrame(memory);
      first = first > 3 ? 0 : first + 1;
    } else {
      // The full screen size, though the bitmap is a pixel smaller each way.
      screen.BitBlt(0, 0, ScreenSize.cx, ScreenSize.cy, memory, 0, 0, SRCCOPY);
    }
  }

  RetryOrExit<const char*>(
      *this,
      [&] {
        saver_trace("starting run");
        Sim->run(memory);
      },
      [](const char* text) { return text ? text : ""; });
}

// The rear wall is the box's far face as the projection shows it, in integer arithmetic.
void TMyScrnSavWindow::DrawFrame(TDC& dc) {
  const int right = ScreenSize.cx - 1;
  const int bottom = ScreenSize.cy - 1;
  const int wallWidth = (ScreenSize.cx * 1000) / 2000;
  const int wallHeight = (ScreenSize.cy * 1000) / 2000;
  const int x1 = static_cast<int>((right - wallWidth) * 0.5);
  const int x2 = right - x1;
  const int y1 = static_cast<int>((bottom - wallHeight) * 0.5);
  const int y2 = bottom - y1;

  const TBrush hollow(TColor::Transparent);
  const TPen black(TColor(0, 0, 0), 2, PS_SOLID);
  const TPen red(TColor(255, 0, 0), 2, PS_SOLID);

  dc.SelectObject(hollow);
  dc.SelectObject(black);
  dc.Rectangle(1, 1, right, bottom);

  if (frame_on) {
    dc.SelectObject(red);
    dc.Rectangle(1, 1, right, bottom);
    dc.Rectangle(x1, y1, x2, y2);
    dc.MoveTo(1, 1);
    dc.LineTo(x1, y1);
    dc.MoveTo(right, 1);
    dc.LineTo(x2, y1);
    dc.MoveTo(1, bottom);
    dc.LineTo(x1, y2);
    dc.MoveTo(right, bottom);
    dc.LineTo(x2, y2);
  }

  dc.RestorePen();
  dc.RestoreBrush();
}

// The picture goes to the full path, however long the Windows directory is; when it cannot be
// written the user is told and the saver goes on.
void TMyScrnSavWindow::SaveScreen() {
  TClientDC screen(GetHandle());
  if (!screen.IsValid()) return;
  const std::string path = SaverFolderFile("tmp.bmp");
  const bool written = !path.empty() && TDib(*Bitmap).WriteFile(path.c_str());
  if (!written) MessageBox("Disk error saving bitmap!", AppName, MB_OK);
}
