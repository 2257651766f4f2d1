// The settings dialog "IDD_CONFIGURE": shows the stored settings and stores what the user chose on OK.
#pragma once

#include "framework.h"

class TScrnSavDlg : public TDialog {
 public:
  TScrnSavDlg(TWindow* parent, const char* templateName, TModule* module = nullptr);

  void SetupWindow() override;
  void CloseWindow(int returnValue = IDCANCEL) override;
  void SetFileName();

  DECLARE_WINDOW_RESPONSES()
};
