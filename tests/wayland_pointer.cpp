// A pointer for the Wayland tests, whose headless seat has none until a
// client adds one: through wlroots' virtual-pointer protocol it moves and
// clicks as its arguments say, each step seen by the compositor before the
// next. `wayland_pointer STEP...`, a step being DX,DY (a move by that much,
// in the layout's units) or "click" (the left button down and up). As
// `wtype -s 1000` does, it pauses a second before the first step: clients
// take a new device once they hear of it, and what comes before is lost.
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client.h"

namespace {

wl_seat* g_seat = nullptr;
zwlr_virtual_pointer_manager_v1* g_pointers = nullptr;

const wl_registry_listener kRegistryListener = {
    [](void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
      if (std::strcmp(interface, wl_seat_interface.name) == 0 && g_seat == nullptr)
        g_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
      if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        g_pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    },
    [](void*, wl_registry*, std::uint32_t) {}};

}  // namespace

int main(int argc, char** argv) {
  wl_display* display = wl_display_connect(nullptr);
  if (display != nullptr) wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, nullptr);
  if (display == nullptr || wl_display_roundtrip(display) < 0 || g_pointers == nullptr)
    return std::fputs("wayland_pointer: no compositor with virtual pointers\n", stderr), 1;
  zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_pointers, g_seat);
  wl_display_roundtrip(display);
  sleep(1);
  for (int i = 1; i < argc; ++i) {
    double dx = 0, dy = 0;
    if (std::strcmp(argv[i], "click") == 0) {
      zwlr_virtual_pointer_v1_button(pointer, 0, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_frame(pointer);
      zwlr_virtual_pointer_v1_button(pointer, 0, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (std::sscanf(argv[i], "%lf,%lf", &dx, &dy) == 2) {
      zwlr_virtual_pointer_v1_motion(pointer, 0, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    if (wl_display_roundtrip(display) < 0) return std::fputs("wayland_pointer: the connection was lost\n", stderr), 1;
  }
  wl_display_disconnect(display);
}
