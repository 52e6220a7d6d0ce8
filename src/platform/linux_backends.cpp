// Dispatches the platform functions to the backend the run opened with
// (SDL until then, whose clock and messages need no window).

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/backend.h"
#include "platform/stop.h"

namespace ovu {

namespace {

const PlatformBackend* g_backend = &kSdlBackend;

}  // namespace

bool platform_open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  g_backend = request.placement == WindowRequest::Placement::Wallpaper ? &kWaylandBackend : &kSdlBackend;
  return g_backend->open(request, info, reason);
}

// Here for both backends: a termination request ends the run whichever draws.
bool platform_poll(PlatformEvent& event) {
  if (termination_requested()) {
    event = PlatformEvent::of(PlatformEvent::Quit);
    return true;
  }
  return g_backend->poll(event);
}

std::uint32_t platform_ticks_ms() { return g_backend->ticks_ms(); }

void platform_sleep_us(std::int64_t microseconds) {
  std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

bool platform_unseen() { return g_backend->unseen(); }
void platform_wait_events(int milliseconds) { g_backend->wait_events(milliseconds); }
bool platform_select_drawable(int index, int& width, int& height) {
  return g_backend->select_drawable(index, width, height);
}
void platform_hide_cursor() { g_backend->hide_cursor(); }
void platform_swap() { g_backend->swap(); }

// A console program here: the line goes where its other output goes.
void platform_message(const std::string& text, std::uint32_t) { std::printf("%s\n", text.c_str()); }

void platform_close() { g_backend->close(); }

}  // namespace ovu
