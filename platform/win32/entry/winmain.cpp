// The program's entry: the system starts WinMain, which hands the run-time library's arguments to OwlMain.
#include <cstdlib>
#include <exception>
#include <string>

#include "framework.h"
#include "program_start.h"

namespace {
void report(const char* text) {
  const TApplication* application = GetApplicationObject();
  const char* caption = application && *application->GetName() ? application->GetName() : "tesmar";
  MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONHAND);
}
}  // namespace

// An exception that nothing caught ends the program with a message rather than an abort.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return OwlMain(__argc, __argv);
  } catch (const std::exception& error) {
    report(error.what());
  } catch (const char* text) {
    report(text);
  } catch (...) {
    report("unexpected error");
  }
  return -1;
}
