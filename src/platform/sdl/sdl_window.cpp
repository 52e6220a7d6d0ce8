// The window, GL context and events through SDL2 (X11 and Wayland): the
// Linux backend for everything but the wallpaper.
// Depends on SDL2 with its OpenGL support; the context is a compatibility
// one so that fixed-function GL 1.1 works. Known limit: without a window
// manager (as under Xvfb) "maximised" means created at the usable bounds.
// A screensaver host's window is adopted through SDL's foreign windows on X11.
// Without any display, runs that only write files draw offscreen: SDL's
// offscreen driver makes an EGL pbuffer (Mesa's software device), and GL
// calls through libGL reach it, since glvnd dispatches to whichever context
// is current, EGL's included.

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/environment.h"
#include "platform/backend.h"
#include "platform/sdl/x11_host.h"
#include "platform/system_keys.h"

namespace ovu {

namespace {

struct Backend {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  std::uintptr_t host_window = 0;  // adopted, not ours: SDL leaves it alone when done
  bool pointer = false;  // Pointer and Press events asked for
  bool has_waited = false;  // `waited` came out of a wait and is the next to take
  SDL_Event waited{};
};

Backend g_backend;

void set_context_attributes(int depth_bits) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
  // Without a profile SDL makes a legacy context on the window's own visual,
  // the only kind a host's window is sure to take; it is compatible as well.
  if (g_backend.host_window == 0)
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

SDL_Window* create_window(const WindowRequest& request) {
  using Placement = WindowRequest::Placement;
  if (g_backend.host_window != 0) return SDL_CreateWindowFrom(reinterpret_cast<const void*>(g_backend.host_window));
  if (request.placement == Placement::Windowed)
    return SDL_CreateWindow("ovu", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, request.width,
                            request.height, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
  // Borderless and maximised, for every monitor too: on Linux the
  // screensaver hosts own the monitors and hand us a window. Created at the
  // usable bounds as well, since without a window manager nothing would
  // maximise it. Maximised once it exists, and resizable: a Wayland
  // compositor maximises only a resizable window, and SDL keeps the size it
  // was created with when asked at creation, which the compositor refuses.
  SDL_Rect bounds{0, 0, 640, 480};
  SDL_GetDisplayUsableBounds(0, &bounds);
  SDL_Window* window = SDL_CreateWindow("ovu", bounds.x, bounds.y, bounds.w, bounds.h,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
  if (window != nullptr) SDL_MaximizeWindow(window);
  return window;
}

bool shows_pixels(const char* driver) {
  return driver != nullptr && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

// Without a socket that the environment names, libwayland cannot find a
// compositor, and says "XDG_RUNTIME_DIR is invalid or not set" on standard
// error when SDL probes for one; our own line is the only one owed. Unless
// the user chose the drivers, Wayland is then left out of those tried.
void leave_out_unreachable_wayland() {
  auto named = [](const char* variable, bool absolute) {
    const char* value = environment(variable);
    return value != nullptr && (!absolute || *value == '/');
  };
  if (named("SDL_VIDEODRIVER", false) || named("WAYLAND_SOCKET", false) || named("WAYLAND_DISPLAY", true) ||
      named("XDG_RUNTIME_DIR", true))
    return;
  std::string drivers;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const std::string driver = SDL_GetVideoDriver(i);
    if (driver != "wayland") drivers += (drivers.empty() ? "" : ",") + driver;
  }
  SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
}

PlatformEvent resize_event(int width, int height) {
  PlatformEvent event = PlatformEvent::of(PlatformEvent::Resize);
  event.width = width;
  event.height = height;
  return event;
}

PlatformEvent drawable_resize() {
  int width = 0, height = 0;
  SDL_GL_GetDrawableSize(g_backend.window, &width, &height);
  return resize_event(width, height);
}

PlatformEvent key_event(const SDL_KeyboardEvent& key) {
  const SDL_Keycode code = key.keysym.sym;
  const KeyName name = code == SDLK_LALT || code == SDLK_RALT ? KeyName::Alt
                       : code == SDLK_F4                      ? KeyName::F4
                       : code == SDLK_F10                     ? KeyName::F10
                                                              : KeyName::Other;
  return PlatformEvent::of(key_down_kind(name, (key.keysym.mod & KMOD_ALT) != 0));
}

// The pointer comes in window coordinates, which a scaled display (HiDPI)
// makes smaller than the drawable's pixels.
PlatformEvent pointer_event(PlatformEvent::Kind kind, int x, int y) {
  int width = 0, height = 0, drawable_width = 0, drawable_height = 0;
  SDL_GetWindowSize(g_backend.window, &width, &height);
  SDL_GL_GetDrawableSize(g_backend.window, &drawable_width, &drawable_height);
  PlatformEvent event = PlatformEvent::of(kind);
  event.x = width > 0 && drawable_width != width ? x * drawable_width / width : x;
  event.y = height > 0 && drawable_height != height ? y * drawable_height / height : y;
  return event;
}

bool translate(const SDL_Event& sdl, PlatformEvent& event) {
  switch (sdl.type) {
    case SDL_QUIT: event = PlatformEvent::of(PlatformEvent::Quit); return true;
    case SDL_KEYDOWN: event = key_event(sdl.key); return true;
    case SDL_MOUSEMOTION:
      event = pointer_event(PlatformEvent::Pointer, sdl.motion.x, sdl.motion.y);
      event.held = sdl.motion.state != 0;
      return g_backend.pointer;
    case SDL_MOUSEBUTTONDOWN:
      event = pointer_event(PlatformEvent::Press, sdl.button.x, sdl.button.y);
      return g_backend.pointer;
    case SDL_SYSWMEVENT:
      if (!x11_host_window_destroyed(*sdl.syswm.msg)) return false;
      event = PlatformEvent::of(PlatformEvent::Quit);
      return true;
    case SDL_WINDOWEVENT:
      switch (sdl.window.event) {
        case SDL_WINDOWEVENT_CLOSE: event = PlatformEvent::of(PlatformEvent::Quit); return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED: event = drawable_resize(); return true;
        case SDL_WINDOWEVENT_MINIMIZED: event = resize_event(0, 0); return true;
        default: return false;
      }
    default: return false;
  }
}

// Interval 1, not late-swap tearing (-1): a late frame then waits for the
// next refresh instead of tearing, and every driver with swap control
// offers 1. What was asked and what came back, for the log.
std::string set_swap_interval(bool vsync) {
  const int asked = vsync ? 1 : 0;
  std::string text = "asked " + std::to_string(asked) + ", ";
  if (SDL_GL_SetSwapInterval(asked) != 0) text += "refused (" + std::string(SDL_GetError()) + "); ";
  return text + "the driver reports " + std::to_string(SDL_GL_GetSwapInterval());
}

bool next_event(SDL_Event& sdl) {
  if (g_backend.has_waited) {
    sdl = g_backend.waited;
    g_backend.has_waited = false;
    return true;
  }
  return SDL_PollEvent(&sdl) != 0;
}

// The hints the run needs and the video driver it draws on; true when that
// is offscreen, there being no display.
bool choose_driver(const WindowRequest& request) {
  // SDL takes the X11 window class from the environment, not from its hint.
  setenv("SDL_VIDEO_X11_WMCLASS", "wc", 1);
  // Our own handlers give Ctrl+C its runtime-error code and SIGTERM its close.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const bool hosted = request.hosted();
  // Any click ends a run that ends on the pointer, or drops into the water, the one that gives its window the focus too.
  if (request.pointer) SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  leave_out_unreachable_wayland();
  // A screensaver run (a host's window, or the one over every monitor)
  // must not keep the display awake: SDL would otherwise inhibit the screen
  // saver over D-Bus, suspend it in X and reset the X idle timer every 30 s,
  // so the host would never blank or power down the monitor. The plain demo
  // keeps SDL's default, as a video player does.
  if (hosted || request.placement == WindowRequest::Placement::AllMonitors)
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  const bool offscreen = request.offscreen_without_display && !hosted && !environment("DISPLAY") &&
                         !environment("WAYLAND_DISPLAY") && std::getenv("SDL_VIDEODRIVER") == nullptr;
  if (offscreen) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  if (hosted) {
    // Host windows are X11 windows, and the context goes onto one of them.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
  }
  x11_route_errors(!hosted);
  return offscreen;
}

// SDL's video on a driver that shows pixels (or offscreen, as chosen), and
// the host's window found.
bool start_video(const WindowRequest& request, bool offscreen, std::string& reason) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    reason = std::string("sdl: cannot initialise video: ") + SDL_GetError();
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; running
  // on unseen would look like success. Asked for by name, they are fine.
  if (!offscreen && !shows_pixels(SDL_GetCurrentVideoDriver()) && std::getenv("SDL_VIDEODRIVER") == nullptr) {
    reason = std::string("sdl: no display to open a window on (video driver '") + SDL_GetCurrentVideoDriver() +
             "'; is DISPLAY or WAYLAND_DISPLAY set?)";
    return false;
  }
  if (!request.hosted()) return true;
  const bool root = request.placement == WindowRequest::Placement::HostRoot;
  if (!x11_find_host_window(request.host_window, root, g_backend.host_window, reason)) return false;
  // Otherwise SDL marks the host's window as a drop target, and the mark outlives us.
  SDL_EventState(SDL_DROPFILE, SDL_DISABLE);
  SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
  return true;
}

// The window with a current context, the deepest depth buffer first.
bool make_context(const WindowRequest& request, std::string& reason) {
  for (int depth : kDepthChoices) {
    set_context_attributes(depth);
    g_backend.window = create_window(request);
    if (g_backend.window == nullptr) continue;
    g_backend.context = SDL_GL_CreateContext(g_backend.window);
    if (g_backend.context != nullptr) break;
    SDL_DestroyWindow(g_backend.window);
    g_backend.window = nullptr;
  }
  if (g_backend.context == nullptr) {
    reason = std::string("sdl: cannot create a window with a GL context: ") + SDL_GetError();
    return false;
  }
  SDL_GL_MakeCurrent(g_backend.window, g_backend.context);
  return true;
}

bool open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  g_backend.pointer = request.pointer;
  const bool offscreen = choose_driver(request);
  if (!start_video(request, offscreen, reason) || !make_context(request, reason)) {
    SDL_Quit();
    return false;
  }
  info.swap_interval = set_swap_interval(request.vsync);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &info.depth_bits);
  info.context = offscreen ? "an offscreen EGL pbuffer, there being no display (SDL video driver 'offscreen')"
                           : std::string("a window (SDL video driver '") + SDL_GetCurrentVideoDriver() + "')";
  SDL_GL_GetDrawableSize(g_backend.window, &info.width, &info.height);
  if (request.hosted())
    x11_watch_host_window(g_backend.window);
  else
    x11_watch_own_window(g_backend.window);
  return true;
}

bool poll(PlatformEvent& event) {
  if (x11_host_window_lost()) {
    event = PlatformEvent::of(PlatformEvent::Quit);
    return true;
  }
  SDL_Event sdl;
  while (next_event(sdl)) {
    if (translate(sdl, event)) return true;
  }
  return false;
}

std::uint32_t ticks_ms() { return SDL_GetTicks(); }

// SDL marks an unmapped window both hidden and minimised, a host's too.
bool unseen() {
  return g_backend.window != nullptr &&
         (SDL_GetWindowFlags(g_backend.window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
}

// SDL blocks on the display connection; the event that ends the wait is
// kept for the next poll.
void wait_events(int milliseconds) {
  if (!g_backend.has_waited) g_backend.has_waited = SDL_WaitEventTimeout(&g_backend.waited, milliseconds) == 1;
}

// The window is the one drawable, its context always current.
bool select_drawable(int index, int&, int&) { return index == 0; }

void hide_cursor() { SDL_ShowCursor(SDL_DISABLE); }

void swap() { SDL_GL_SwapWindow(g_backend.window); }

void close() {
  SDL_GL_MakeCurrent(g_backend.window, nullptr);
  SDL_GL_DeleteContext(g_backend.context);
  SDL_DestroyWindow(g_backend.window);
  g_backend = Backend{};
  SDL_Quit();
}

}  // namespace

const PlatformBackend kSdlBackend = {open, poll, ticks_ms, unseen, wait_events, select_drawable, hide_cursor, swap, close};

}  // namespace ovu
