// A pointer for the Wayland tests: a virtual pointer device on the compositor's seat, driven by lines
// on standard input, so that the device lives as long as the test needs it.
//   to X Y       move to (X, Y) of the output layout (its extent comes from --extent WxH)
//   by DX DY     move by that many pixels
//   click        press and release the left button
//   renew        unplug the device and plug in a new one: the compositor then tells the clients of the
//                pointer anew, with an enter at the point where it stands
// Each command is answered with "ok" once the compositor has taken it.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

wl_seat* seat = nullptr;
zwlr_virtual_pointer_manager_v1* manager = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{Global, GlobalRemove};

uint32_t Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

constexpr uint32_t LeftButton = 0x110;  // BTN_LEFT

}  // namespace

int main(int argc, char** argv) {
  unsigned width = 0, height = 0;
  if (argc != 3 || std::strcmp(argv[1], "--extent") != 0 || std::sscanf(argv[2], "%ux%u", &width, &height) != 2) {
    std::fprintf(stderr, "usage: %s --extent WIDTHxHEIGHT < commands\n", argv[0]);
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "test-pointer: no Wayland display\n");
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registryListener, nullptr);
  wl_display_roundtrip(display);
  if (!seat || !manager) {
    std::fprintf(stderr, "test-pointer: the compositor offers no virtual pointer\n");
    return 1;
  }
  zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  wl_display_roundtrip(display);
  std::cout << "ok" << std::endl;

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "to") {
      unsigned x = 0, y = 0;
      words >> x >> y;
      zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), x, y, width, height);
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (command == "by") {
      double dx = 0, dy = 0;
      words >> dx >> dy;
      zwlr_virtual_pointer_v1_motion(pointer, Now(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (command == "click") {
      zwlr_virtual_pointer_v1_button(pointer, Now(), LeftButton, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_frame(pointer);
      zwlr_virtual_pointer_v1_button(pointer, Now(), LeftButton, WL_POINTER_BUTTON_STATE_RELEASED);
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (command == "renew") {
      zwlr_virtual_pointer_v1_destroy(pointer);
      wl_display_roundtrip(display);
      pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    } else if (!command.empty()) {
      std::fprintf(stderr, "test-pointer: unknown command '%s'\n", command.c_str());
      return 2;
    }
    if (wl_display_roundtrip(display) < 0) {
      std::fprintf(stderr, "test-pointer: the compositor closed the connection\n");
      return 1;
    }
    std::cout << "ok" << std::endl;
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
