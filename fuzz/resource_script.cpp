// Fuzzes the reader of the resource script that the Linux dialogs are built from: any text is either
// read or refused with the reader's own error, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const resource_script::TScript script =
        resource_script::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const resource_script::TDialog& dialog : script.Dialogs) {
      (void)resource_script::ControlGroups(dialog);
      (void)script.FindDialog(dialog.Name);
    }
  } catch (const resource_script::TScriptError&) {
  }
  return 0;
}
