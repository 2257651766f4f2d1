// The "/a" mode: the password change, done by the system's password provider library, loaded at run
// time because a system may have none.
#include "tscrnsav.h"

namespace {
using TPwdChangePassword = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved1, DWORD reserved2);
}  // namespace

void TScrnSavApp::ChangePassword(HWND parent) {
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) {
    Debug("MPR.DLL not found: cannot change password.");
    return;
  }
  FARPROC procedure = GetProcAddress(library, "PwdChangePasswordA");
  if (!procedure) {
    FreeLibrary(library);
    Debug("PwdChangeProc not found: cannot change password");
    return;
  }
  // Through a plain function-pointer type, which is exempt from the cast-function-type warning.
  auto changePassword = reinterpret_cast<TPwdChangePassword>(reinterpret_cast<void (*)()>(procedure));
  changePassword("SCRSAVE", parent, 0, 0);
  FreeLibrary(library);
}
