// X11 for the SDL backend: adopting a screensaver host's window (finding it,
// hearing of its size changes and its end) and routing X errors and a lost
// connection to the runtime stop. Depends on Xlib and SDL's window manager
// information. Known limit: X errors after adoption never end the process;
// only a missing window or drawable, which a host destroying its window
// causes, ends the program (in order).

#include "platform/sdl/x11_host.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>

#include "platform/stop.h"

namespace ovu {

namespace {

Window g_window = 0;  // the host's, once adopted
Window g_own = 0;     // ours
bool g_making_own = false;  // ours is being made, its id not known yet
bool g_lost = false;
int g_probe_errors = 0;
int g_glx_errors = 0;  // GLX's first error code; 0: not known

int count_probe_error(Display*, XErrorEvent*) {
  ++g_probe_errors;
  return 0;
}

// In a host's window, a host that destroys it before our end is the usual
// case: that ends the program in order. Other errors there (a swap that does
// not match the host's visual) only cost a frame. In our own window every X
// error is the end, which Xlib would report with a dump of the request.
// A window that went away shows as a bad window or drawable, to GLX as well.
bool window_gone(int code) {
  constexpr int kGlxBadDrawable = 2, kGlxBadWindow = 12;
  return code == BadWindow || code == BadDrawable ||
         (g_glx_errors != 0 && (code == g_glx_errors + kGlxBadDrawable || code == g_glx_errors + kGlxBadWindow));
}

int on_x_error(Display* display, XErrorEvent* error) {
  const bool gone = window_gone(error->error_code);
  if (g_window != 0) {
    if (gone) g_lost = true;
    return 0;
  }
  std::string reason = "x11: our window was destroyed from outside";
  // While ours is being made its id is not known yet; the root, the only
  // other window we touch then, cannot go away.
  const bool ours = g_making_own || (g_own != 0 && error->resourceid == g_own);
  if (!gone || !ours) {
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    reason = "x11: X error " + std::string(text) + " (request " + std::to_string(error->request_code) + "." +
             std::to_string(error->minor_code) + ")";
  }
  fatal_stop(kCodeNoWindow, kWhereXError, reason.c_str());
}

// Called by Xlib when the connection is gone (a killed client, a server that
// ended); it must not return.
int on_connection_lost(Display*) {
  fatal_stop(kCodeNoWindow, kWhereXConnection, "x11: the connection to the X server was lost");
}

Window x11_window_of(SDL_Window* window, Display*& display) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  display = info.info.x11.display;
  int opcode = 0, first_event = 0;
  if (!XQueryExtension(display, "GLX", &opcode, &first_event, &g_glx_errors)) g_glx_errors = 0;
  return info.info.x11.window;
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
  if (attributes.c_class == InputOnly) {
    reason = "x11: window " + hex(id) + " is input-only: it has nothing to draw into";
    return false;
  }
  window = found;
  return true;
}

void x11_route_errors(bool own_window) {
  g_making_own = own_window;
  XSetErrorHandler(on_x_error);
  XSetIOErrorHandler(on_connection_lost);
}

void x11_watch_own_window(SDL_Window* window) {
  Display* display = nullptr;
  g_own = x11_window_of(window, display);
  g_making_own = false;
}

void x11_watch_host_window(SDL_Window* window) {
  Display* display = nullptr;
  const Window host = x11_window_of(window, display);
  if (host == 0) return;
  g_window = host;
  g_lost = false;
  XSetErrorHandler(on_x_error);
  // Structure events only: keys and buttons stay with the host. SDL turns
  // the size changes into its window events and passes the rest on raw.
  XSelectInput(display, g_window, StructureNotifyMask);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

bool x11_host_window_destroyed(const SDL_SysWMmsg& message) {
  if (message.subsystem != SDL_SYSWM_X11) return false;
  const XEvent& event = message.msg.x11.event;
  return event.type == DestroyNotify && event.xdestroywindow.window == g_window;
}

bool x11_host_window_lost() { return g_lost; }

}  // namespace ovu
