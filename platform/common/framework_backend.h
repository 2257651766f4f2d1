// What each back end provides to the framework code that both share.
#pragma once

#include "framework.h"

// The system's own message box over owner (null: none), once the hook tests set is out of the way.
int ShowSystemMessageBox(HWND owner, const char* text, const char* caption, UINT type);
