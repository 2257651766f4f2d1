// This saver's window (settings, engine, off-screen bitmap, box frame, animation step, picture file),
// its settings dialog, its application class and the program entry.
#include "owlscrn25.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "phys52.h"
#include "profile.h"
#include "resource.h"
#include "saver_files.h"
#include "saver_instance.h"
#include "trace.h"

const char AppName[] = "tes_mar_ScreenSaver";
const char SettingsFile[] = "tes-mar.ini";
const char SettingsSection[] = "tes-mar_ScreenSaver";

int leftframe = 0;
int rightframe = 0;
int topframe = 0;
int bottomframe = 0;
int frontframe = 0;
int rearframe = 1000;

int frame_on = 0;
int what_file = 0;
char param_file[ParamFileSize] = "";
int reinit_minutes = 0;
int first = 1;

namespace {
// Every reader takes a setting's value into a buffer of this size, so at most 31 characters count.
constexpr unsigned SettingBufferSize = 32;
// What the dialog stores of the file-name field: at most 39 characters.
constexpr int StoredFileNameSize = 40;
constexpr char DefaultParamFile[] = "default.tmr";

constexpr int IdSlow = IDC_SLOW;
constexpr int IdMedium = IDC_MEDIUM;
constexpr int IdFast = IDC_FAST;
constexpr int IdShowFrame = IDC_SHOW_FRAME;
constexpr int IdFileName = IDC_FILE_NAME;
constexpr int IdStartWithFile = IDC_START_WITH_FILE;
constexpr int IdBrowse = IDC_BROWSE;
constexpr int IdStartRandom = IDC_START_RANDOM;
constexpr int IdReinitMinutes = IDC_REINIT_MINUTES;

std::string startFileOverride;
bool startFileOverridden = false;
TRunChoices runChoices;

bool WriteSettingInt(TProfile& profile, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return profile.WriteString(key, text);
}
}  // namespace

void saver_trace(const char* label) { Trace(TTraceHook::Saver, label); }

// --- settings ---------------------------------------------------------------------------------

int ReadSettingInt(const char* text, int fallback) {
  if (!text) return fallback;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text) return fallback;
  // Clamped rather than undefined when the digits exceed an int.
  if (value > INT_MAX || (errno == ERANGE && value > 0)) return INT_MAX;
  if (value < INT_MIN || (errno == ERANGE && value < 0)) return INT_MIN;
  return static_cast<int>(value);
}

void ReadSettingWord(const char* text, char* word, std::size_t size) {
  if (size == 0) return;
  std::size_t length = 0;
  if (text) {
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n' || *text == '\v' || *text == '\f') ++text;
    while (text[length] && text[length] != ' ' && text[length] != '\t' && text[length] != '\r' &&
           text[length] != '\n' && text[length] != '\v' && text[length] != '\f' && length + 1 < size) {
      ++length;
    }
    std::memcpy(word, text, length);
  }
  word[length] = '\0';
}

int ReadStoredSettings(TProfile& profile, int speedDefault, const char* paramFileDefault) {
  char buffer[SettingBufferSize] = "";
  char speedText[16];
  std::snprintf(speedText, sizeof speedText, "%d", speedDefault);
  profile.GetString("Speed", buffer, sizeof buffer, speedText);
  const int speed = ReadSettingInt(buffer, speedDefault);

  // Like "%d": a value with no number leaves the setting as it was.
  profile.GetString("Frame_on", buffer, sizeof buffer, "1");
  frame_on = ReadSettingInt(buffer, frame_on);
  profile.GetString("what_file", buffer, sizeof buffer, "1");
  what_file = ReadSettingInt(buffer, what_file);

  profile.GetString("param_file", buffer, sizeof buffer, paramFileDefault);
  ReadSettingWord(buffer, param_file, sizeof param_file);
  profile.GetString("Reinit_minutes", buffer, sizeof buffer, "0");
  reinit_minutes = ReadSettingInt(buffer, reinit_minutes);
  return speed;
}

void CopyCut(char* target, std::size_t size, const char* text) {
  if (size == 0) return;
  const std::size_t length = text ? strnlen(text, size - 1) : 0;
  if (length) std::memcpy(target, text, length);
  target[length] = '\0';
}

void SetStartFileOverride(const char* fileName) {
  startFileOverridden = fileName != nullptr;
  startFileOverride = fileName ? fileName : "";
}

void SetRunChoices(const TRunChoices& choices) { runChoices = choices; }

// --- the saver window -------------------------------------------------------------------------

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
  std::vector<char> startFile(param_file, param_file + ParamFileSize);
  if (startFileOverridden) {
    startFile.assign(startFileOverride.begin(), startFileOverride.end());
    startFile.push_back('\0');
  }
  char* fileName = (what_file && !startFileOverridden) ? noFile : startFile.data();

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
  const int speed = ReadStoredSettings(profile, 2, "");
  if (param_file[0] == '\0') CopyCut(param_file, sizeof param_file, DefaultParamFile);
  if (auto* application = dynamic_cast<TScrnSavApp*>(GetApplication())) application->SetSpeed(speed);

  if (runChoices.Speed >= 0) {
    if (auto* application = dynamic_cast<TScrnSavApp*>(GetApplication())) application->SetSpeed(runChoices.Speed);
  }
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

// --- the settings dialog ----------------------------------------------------------------------

TScrnSavDlg::TScrnSavDlg(TWindow* parent, const char* templateName, TModule* module)
    : TDialog(parent, templateName, module) {}

const TResponseTable& TScrnSavDlg::ResponseTable() {
  static const TResponseEntry entries[] = {
      RespondCommand<&TDialog::CmCancel>(IDCANCEL),
      RespondCommand<&TScrnSavDlg::SetFileName>(IdBrowse),
  };
  static const TResponseTable table{entries, std::size(entries), &TDialog::ResponseTable()};
  return table;
}

// The dialog's defaults differ from the window's: Medium speed, and "default.tmr" shown only when
// the key is missing.
void TScrnSavDlg::SetupWindow() {
  TDialog::SetupWindow();
  TProfile profile(SettingsSection, SettingsFile);
  const int speed = ReadStoredSettings(profile, 1, DefaultParamFile);
  // A speed outside 0 to 2 leaves all three buttons clear.
  CheckRadioButton(IdSlow, IdFast, (speed >= 0 && speed <= 2) ? IdSlow + speed : 0);
  CheckDlgButton(IdShowFrame, frame_on ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(IdStartWithFile, IdStartRandom, what_file == 1 ? IdStartRandom : IdStartWithFile);
  SetDlgItemText(IdFileName, param_file);
  char minutes[16];
  std::snprintf(minutes, sizeof minutes, "%d", std::clamp(reinit_minutes, 0, MaxReinitMinutes));
  SetDlgItemText(IdReinitMinutes, minutes);
}

void TScrnSavDlg::SetFileName() {
  const std::string directory = SaverFolder();
  TOpenSaveDialog::TData data(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                              "Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*", nullptr,
                              directory.c_str(), "*");
  if (TFileOpenDialog(this, data).Execute() == IDOK) {
    data.FileName[data.MaxPath - 1] = '\0';
    SetDlgItemText(IdFileName, data.FileName);
  }
}

// Reached through OK; Cancel, Escape and the close box end the dialog without coming here. Settings
// that could not be stored are not closed over in silence: the user is told, and the dialog stays
// open with the choices in it, to try again or cancel.
void TScrnSavDlg::CloseWindow(int returnValue) {
  if (returnValue == IDOK) {
    TProfile profile(SettingsSection, SettingsFile);
    bool stored = WriteSettingInt(profile, "Speed", IsDlgButtonChecked(IdSlow) ? 0 : IsDlgButtonChecked(IdMedium) ? 1 : 2);
    stored = WriteSettingInt(profile, "Frame_on", IsDlgButtonChecked(IdShowFrame) == BST_CHECKED ? 1 : 0) && stored;
    stored = WriteSettingInt(profile, "what_file", IsDlgButtonChecked(IdStartWithFile) ? 0 : 1) && stored;
    GetDlgItemText(IdFileName, param_file, StoredFileNameSize);
    stored = profile.WriteString("param_file", param_file) && stored;
    // A whole number of minutes: what has none, or less than none, is never.
    char minutes[SettingBufferSize] = "";
    GetDlgItemText(IdReinitMinutes, minutes, sizeof minutes);
    reinit_minutes = std::clamp(ReadSettingInt(minutes, 0), 0, MaxReinitMinutes);
    stored = WriteSettingInt(profile, "Reinit_minutes", reinit_minutes) && stored;
    if (!profile.Flush() || !stored) {
      const std::string text = "The settings could not be saved to " + profile.GetFileName() + ".";
      MessageBox(text.c_str(), AppName, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  TDialog::CloseWindow(returnValue);
}

// --- the application and the entry -------------------------------------------------------------

TMyScrnSavApp::TMyScrnSavApp(const char* name) : TScrnSavApp(name) {}

TMyScrnSavApp::~TMyScrnSavApp() = default;

void TMyScrnSavApp::SetHostParent(TWindow* hostWindow) {
  HostParent = hostWindow;
  SetHosted(hostWindow ? hostWindow->GetHandle() : nullptr);
}

// Unlike the framework's version, this arms no timer itself: the window arms it once it exists, from
// the minutes its settings give.
void TMyScrnSavApp::InitScrnSavWindow() { ScrnSavWindow = new TMyScrnSavWindow(HostParent, AppName, nullptr); }

void TMyScrnSavApp::InitConfigDialog() { ConfigDialog = new TScrnSavDlg(nullptr, "IDD_CONFIGURE", this); }

bool IsSaverRunning() {
  // There the system has set the flag for this very start, so only this program's own claim tells.
  if (SaverFlagBelongsToSystem()) return SaverClaimedElsewhere(AppName);
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
  BOOL ignored = FALSE;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(previous), &ignored, 0);
  return previous != FALSE;
}

// A failure that would otherwise end the process through terminate (no main window, a bitmap the
// platform cannot make, a math error while the engine builds its start) is reported and ends it
// with a non-zero code, after the saver window has restored the cursor and the running flag.
int OwlMain(int /*argc*/, char* /*argv*/[]) {
  if (IsSaverRunning()) return 0;
  // Taken at once, so two savers started together never both run.
  long parent = 0;
  if (ReadScrMode(GetCommandLineA(), parent) == ScrModeSave && !ClaimSaver(AppName)) return 0;
  return RunSaverApplication(nullptr, nullptr);
}

int RunSaverApplication(void (*prepare)(TMyScrnSavApp& application, void* context), void* context) {
  InstallMathErrorHook();
  try {
    TMyScrnSavApp application(AppName);
    if (prepare) prepare(application, context);
    return application.Run();
  } catch (const std::exception& error) {
    FrameworkTrace(error.what());
  } catch (const char* text) {
    FrameworkTrace(text ? text : "unknown error");
  }
  return 1;
}
