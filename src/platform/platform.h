#pragma once

#include <cstdint>
#include <string>

namespace ovu {

// The window and its GL context, as the portable program sees them: SDL2
// and the Wayland wallpaper on Linux, Win32/WGL on Windows, Emscripten's
// html5 API in a web page. A Wayland wallpaper or screensaver has a drawable
// on each output, all from one context.

struct WindowRequest {
  // Where the frames go. Every backend takes the placements it can draw and
  // refuses the others with a reason: only X11 has a root window, only a
  // Wayland compositor layers, and a page has no hosts. AllMonitors is one
  // window over all on Win32, an overlay layer on each output on Wayland,
  // and fills the page; X11's monitors are the screensaver hosts' (see
  // window_without_wayland).
  enum class Placement {
    Maximised,    // a borderless window of our own over the usable screen
    Windowed,     // a decorated window whose drawable is width x height
    AllMonitors,  // over every monitor (or only `output`), above the other windows
    HostWindow,   // host_window, an X11 window id or an HWND, at its size and following it
    HostRoot,     // the screen's root window (X11)
    Wallpaper,    // a background layer on every Wayland output, or only on `output`:
                  // it never takes input and never keeps the session awake
  };
  Placement placement = Placement::Maximised;
  // Drawing into a window that a screensaver host made.
  bool hosted() const { return placement == Placement::HostWindow || placement == Placement::HostRoot; }
  int width = 0;  // Windowed
  int height = 0;
  std::uint32_t host_window = 0;
  std::string output;
  // Swap interval 1: frames wait for the display. Off, they go as fast as
  // drawing allows (benchmarks); the page follows `unpaced` instead, and
  // Wayland layers the compositor's frame callbacks.
  bool vsync = true;
  // Report Pointer and Press events: the screensaver run ends on them, and
  // an interactive run drops into the water where they are. No run asks for
  // them on a wallpaper.
  bool pointer = false;
  // AllMonitors where no Wayland compositor is named: SDL's maximised window
  // instead of the refusal (the Windows switch /s, run on X11).
  bool window_without_wayland = false;
  // Say on standard error what changes while running: a layer's outputs,
  // each with its size in pixels and its scale.
  bool verbose = false;
  // Where there is no display, a context without a window instead of the
  // "no display" failure: for runs that only write files. Only the X11 and
  // Wayland desktops can be missing; Windows and a page always have theirs.
  bool offscreen_without_display = false;
};

struct PlatformEvent {
  // One event for one happening. Key: a key went down; SystemKey: one the
  // desktop keeps (system_keys.h); Pointer: the pointer moved; Press: a
  // button went down or a finger touched.
  enum Kind { None, Quit, Key, SystemKey, Resize, Pointer, Press } kind = None;
  int width = 0;  // Resize
  int height = 0;
  int x = 0;  // Pointer, Press: the pixel it is over now, in drawable pixels (layers: in the layout, across outputs)
  int y = 0;
  int pointer = 0;    // which one, where several touch at once (fingers)
  bool held = false;  // Pointer: a button or finger is down, so it drags

  static PlatformEvent of(Kind kind) {
    PlatformEvent event;
    event.kind = kind;
    return event;
  }
};

struct WindowInfo {
  int width = 0;       // drawable size in pixels
  int height = 0;
  int depth_bits = 0;  // depth buffer bits actually obtained, for the log
  std::string context; // what the context is drawn on, for the log; empty where there is one kind
  // The swap interval asked for and what the driver answered, for the log:
  // "asked 1, ..."; empty where there is none to ask for (the page).
  std::string swap_interval;
};

// Opens the window with a current double-buffered context. On failure
// returns false and says why in `reason`.
bool platform_open(const WindowRequest& request, WindowInfo& info, std::string& reason);

// Takes one waiting event; false when none is waiting. A termination
// request (stop.h) is reported here as Quit, and this is where the run
// learns of it: elsewhere it only cuts a wait short. A backend whose
// window procedure ends the window itself on a key or close request
// (Win32) reports that as Quit once the window is gone.
bool platform_poll(PlatformEvent& event);

// Wrapping 32-bit millisecond counter.
std::uint32_t platform_ticks_ms();

// True while nobody can see the window: minimised, hidden or unmapped; for a
// wallpaper, while no output has asked for a frame. A hidden page gets no
// animation frames, so a paced one is never asked.
bool platform_unseen();

// True while a person has paused the run (the page's Pause button): the
// clock stands still, and nothing is drawn. Desktops have no pause.
bool platform_paused();

// When a frame wants to be called again. A frame never waits itself: the
// desktop's loop sleeps or waits for events, and a page asks the browser to
// call it back, drawing at most once per animation frame unless `unpaced`.
struct NextFrame {
  enum Kind {
    Stop,   // the run is over
    After,  // after `microseconds` (0: as soon as it may)
    Idle,   // nothing to draw (unseen, paused): after an event, or a short while
  } kind = After;
  std::int64_t microseconds = 0;
};

// Calls `frame` until it answers Stop, waiting between the calls as each
// answer asks, then `finish`, whose result is the exit code. On the desktop
// this is the program's loop, and returns that code; a page must give the
// browser its thread back, so there `frame` is called from the browser's
// main loop, and the runtime ends with the code: it never returns.
int platform_run_frames(NextFrame (*frame)(void* run), int (*finish)(void* run), void* run);

// The desktop loop's waits (desktop_loop.cpp): the processor given away for
// about this long, to within a millisecond or so; and a block until an event
// is waiting, at most about this long (a termination request may go
// unnoticed meanwhile, so keep it short).
void platform_sleep_us(std::int64_t microseconds);
void platform_wait_events(int milliseconds);

// Makes the index-th drawable of this frame current, from 0, and gives its
// size in pixels; false past the last. A window has one, whose size comes
// with the Resize events, so it leaves width and height alone; a wallpaper
// has each output that asked for this frame. platform_swap shows them all.
bool platform_select_drawable(int index, int& width, int& height);

void platform_hide_cursor();
void platform_swap();

// Says something that needs no answer: in a message box owned by `parent`
// (0: none) where the system has them, else on standard output.
void platform_message(const std::string& text, std::uint32_t parent);

// Releases the context, then destroys the window; nothing is left to do
// when a Quit from the window procedure has already done both.
void platform_close();

}  // namespace ovu
