// What the end-to-end cases need from the Windows side that no shell tool gives: the system's
// screen-saver-running flag as the system sets it when it starts a saver, the end of a session as
// the system sends it, and a close sent by another process.
//   tesmar_wine_probe flag set|clear|get
//   tesmar_wine_probe end-session     (then ends the saver's process at once, as the system may)
//   tesmar_wine_probe close
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char SaverClass[] = "tes_mar_ScreenSaver";
constexpr UINT SpiGetScreenSaverRunning = 0x0072;
constexpr UINT SpiSetScreenSaverRunning = 0x0061;

int Flag(const char* what) {
  if (std::strcmp(what, "get") == 0) {
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SpiGetScreenSaverRunning, 0, &running, 0)) return 2;
    std::printf("%d\n", running ? 1 : 0);
    return 0;
  }
  const BOOL value = std::strcmp(what, "set") == 0 ? TRUE : FALSE;
  return SystemParametersInfoA(SpiSetScreenSaverRunning, static_cast<UINT>(value), nullptr, 0) ? 0 : 2;
}

int EndSession(HWND saver) {
  DWORD pid = 0;
  GetWindowThreadProcessId(saver, &pid);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!process) {
    std::fprintf(stderr, "cannot open the saver's process\n");
    return 2;
  }
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(saver, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer)) {
    std::fprintf(stderr, "the saver did not answer WM_QUERYENDSESSION\n");
    return 3;
  }
  if (!answer) {
    std::fprintf(stderr, "the saver refused the end of the session\n");
    return 3;
  }
  SendMessageTimeoutA(saver, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  // The system need not wait once WM_ENDSESSION has returned.
  TerminateProcess(process, 99);
  WaitForSingleObject(process, 10000);
  CloseHandle(process);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "flag") == 0) return Flag(argv[2]);
  if (argc == 2 && (std::strcmp(argv[1], "end-session") == 0 || std::strcmp(argv[1], "close") == 0)) {
    HWND saver = FindWindowA(SaverClass, nullptr);
    if (!saver) {
      std::fprintf(stderr, "no saver window\n");
      return 2;
    }
    if (std::strcmp(argv[1], "close") == 0) return PostMessageA(saver, WM_CLOSE, 0, 0) ? 0 : 2;
    return EndSession(saver);
  }
  std::fprintf(stderr, "usage: tesmar_wine_probe flag set|clear|get | end-session | close\n");
  return 1;
}
