// The file-open dialog over the common dialog library, and the conversion of the request's filter.
#include <string>

#include "framework.h"  // brings <windows.h> before the common dialog errors
#include <cderr.h>
#include "framework_backend.h"
#include "win32_internal.h"

namespace win32 {

std::string FileDialogFilter(const std::string& filter) {
  std::string converted = filter;
  for (char& c : converted) {
    if (c == '|') c = '\0';
  }
  if (converted.empty() || converted.back() != '\0') converted.push_back('\0');
  converted.push_back('\0');
  return converted;
}

}  // namespace win32

int ShowSystemFileOpenDialog(HWND owner, TOpenSaveDialog::TData& data) {
  if (!data.FileName || data.MaxPath <= 0) return IDCANCEL;
  data.FileName[data.MaxPath - 1] = '\0';
  const std::string initialName = data.FileName;
  std::string filter = win32::FileDialogFilter(data.Filter);

  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = data.Filter.empty() ? nullptr : filter.data();
  // The custom filter's buffer size is unknown here, so the system is not given it to fill.
  request.nFilterIndex = static_cast<DWORD>(data.FilterIndex);
  // The system writes at most MaxPath characters and fails rather than cut a longer path.
  request.lpstrFile = data.FileName;
  request.nMaxFile = static_cast<DWORD>(data.MaxPath);
  request.lpstrInitialDir = data.InitialDir.empty() ? nullptr : data.InitialDir.c_str();
  request.lpstrDefExt = data.DefaultExtension.empty() ? nullptr : data.DefaultExtension.c_str();
  // Browsing must not move the current directory, which the settings file's search includes.
  request.Flags = data.Flags | OFN_NOCHANGEDIR;

  if (GetOpenFileNameA(&request)) {
    data.FilterIndex = static_cast<int>(request.nFilterIndex);
    if (GetFileAttributesA(data.FileName) != INVALID_FILE_ATTRIBUTES) return IDOK;
    FrameworkTrace("the file chosen in the file dialog does not exist");
  } else if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
    FrameworkTrace("the path chosen in the file dialog is too long");
  }
  initialName.copy(data.FileName, initialName.size());
  data.FileName[initialName.size()] = '\0';
  return IDCANCEL;
}
