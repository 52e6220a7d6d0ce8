// Adopting a screensaver host's X11 window for the SDL backend: finding it,
// hearing of its size changes and its end. Depends on Xlib and SDL's window
// manager information. Known limit: X errors after adoption never end the
// process as Xlib's own handler would; only a missing window or drawable,
// which a host destroying its window causes, ends the program (in order).

#include "platform/sdl/x11_host.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>

namespace ovu {

namespace {

Window g_window = 0;
bool g_lost = false;
int g_probe_errors = 0;

int count_probe_error(Display*, XErrorEvent*) {
  ++g_probe_errors;
  return 0;
}

// Xlib's own handler would end the process with code 1 in the middle of a
// frame; a host that destroys its window before our end is the usual case.
// Other errors (a swap that does not match the host's visual) only cost a frame.
int note_loss(Display*, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) g_lost = true;
  return 0;
}

std::string hex(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(id));
  return text;
}

}  // namespace

bool x11_find_host_window(std::uint32_t id, bool root, std::uintptr_t& window, std::string& reason) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    reason = "x11: cannot open the display for the host's window (is DISPLAY set?)";
    return false;
  }
  const Window found = root ? DefaultRootWindow(display) : Window{id};
  g_probe_errors = 0;
  const auto previous = XSetErrorHandler(count_probe_error);
  XWindowAttributes attributes{};
  const bool exists = XGetWindowAttributes(display, found, &attributes) != 0;
  XSync(display, False);
  XSetErrorHandler(previous);
  XCloseDisplay(display);
  if (!exists || g_probe_errors != 0) {
    reason = "x11: there is no window " + hex(id) + " to draw into";
    return false;
  }
  window = found;
  return true;
}

void x11_watch_host_window(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  g_window = info.info.x11.window;
  g_lost = false;
  XSetErrorHandler(note_loss);
  // Structure events only: keys and buttons stay with the host. SDL turns
  // the size changes into its window events and passes the rest on raw.
  XSelectInput(info.info.x11.display, g_window, StructureNotifyMask);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool x11_host_window_destroyed(const SDL_SysWMmsg& message) {
  if (message.subsystem != SDL_SYSWM_X11) return false;
  const XEvent& event = message.msg.x11.event;
  return event.type == DestroyNotify && event.xdestroywindow.window == g_window;
}

bool x11_host_window_lost() { return g_lost; }

}  // namespace ovu
