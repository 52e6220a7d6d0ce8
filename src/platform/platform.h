#pragma once

#include <cstdint>
#include <string>

namespace ovu {

// The one window and its GL context, as the portable program sees them.
// One backend implements this per build: SDL2 on Linux, Win32/WGL on Windows.

struct WindowRequest {
  bool windowed = false;  // a decorated window of width x height instead of covering the screen
  int width = 0;
  int height = 0;
  bool vsync = false;
};

struct PlatformEvent {
  enum Kind { None, Quit, Key, SystemKey, Resize } kind = None;
  int width = 0;
  int height = 0;
};

struct WindowInfo {
  int width = 0;       // drawable size in pixels
  int height = 0;
  int depth_bits = 0;  // depth buffer bits actually obtained
};

// Opens the window with a current double-buffered context. On failure
// returns false and says why in `reason`.
bool platform_open(const WindowRequest& request, WindowInfo& info, std::string& reason);

// Takes one waiting event; false when none is waiting.
bool platform_poll(PlatformEvent& event);

// Wrapping 32-bit millisecond counter.
std::uint32_t platform_ticks_ms();

void platform_hide_cursor();
void platform_swap();

// Releases the context, then destroys the window.
void platform_close();

}  // namespace ovu
