// What the dialogs of every back end share: TDialog's construction, set-up, response table, OK and
// Cancel; the file-open dialog's data, the hook tests put in its place, and its run.
#include <cstddef>
#include <iterator>
#include <utility>

#include "framework.h"
#include "framework_backend.h"

namespace {
TFileDialogHook& fileDialogHook() {
  static TFileDialogHook hook;
  return hook;
}
}  // namespace

// --- dialogs ----------------------------------------------------------------------------------

TDialog::TDialog(TWindow* parent, const char* templateName, TModule* module)
    : TWindow(parent, nullptr, module), TemplateName(templateName ? templateName : "") {}

void TDialog::SetupWindow() { TWindow::SetupWindow(); }

const TResponseTable& TDialog::ResponseTable() {
  static const TResponseEntry entries[] = {
      RespondCommand<&TDialog::CmOk>(IDOK),
      RespondCommand<&TDialog::CmCancel>(IDCANCEL),
      Respond<&TDialog::CmCancel>(WM_CLOSE),
  };
  static const TResponseTable table{entries, std::size(entries), &TWindow::ResponseTable()};
  return table;
}

void TDialog::CmOk() { CloseWindow(IDOK); }

// Ends the dialog without going through CloseWindow, so a derived dialog stores nothing.
void TDialog::CmCancel() { TDialog::CloseWindow(IDCANCEL); }

// --- the file-open dialog ---------------------------------------------------------------------

TOpenSaveDialog::TData::TData(DWORD flags, const char* filter, char* customFilter, const char* initialDir,
                              const char* defaultExtension, int maxPath, int filterIndex)
    : Flags(flags),
      Filter(filter ? filter : ""),
      CustomFilter(customFilter),
      InitialDir(initialDir ? initialDir : ""),
      DefaultExtension(defaultExtension ? defaultExtension : ""),
      FilterIndex(filterIndex),
      MaxPath(maxPath > 0 ? maxPath : MAX_PATH),
      FileName(new char[static_cast<std::size_t>(MaxPath)]) {
  FileName[0] = '\0';
}

TOpenSaveDialog::TData::~TData() { delete[] FileName; }

int TFileOpenDialog::Execute() {
  if (fileDialogHook()) return fileDialogHook()(Data);
  return ShowSystemFileOpenDialog(Parent ? Parent->GetHandle() : nullptr, Data);
}

void SetFileDialogHook(TFileDialogHook hook) { fileDialogHook() = std::move(hook); }
