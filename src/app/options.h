#pragma once

#include <cstdint>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/y4m.h"
#include "platform/platform.h"

namespace ovu {

// The command line. With no arguments the program is the plain demo; every
// option only adds something for tests, benchmarks, screenshots and
// screensaver hosts.
struct Options {
  // What the program is doing. Screensaver hosts make the window and hand it
  // over; Windows starts its screensaver with a switch for each of its three
  // runs; a wallpaper is the background of every Wayland output.
  enum class Mode {
    Demo,          // maximised over the screen
    WindowedDemo,  // in a decorated window of width x height
    HostRoot,      // on the screen's root window, for a host that names no window
    HostWindow,    // in a screensaver host's window, `window`
    Screensaver,   // over every monitor (or `output`) until input: Windows' /s, --screensaver
    Preview,       // Windows' preview (/p): in the preview window, `window`
    Settings,      // Windows' settings (/c): nothing drawn; `window` owns the dialog, 0: none
    Wallpaper,     // the background of every Wayland output, or of `output`
  };

  int frames = 0;         // end after this many frames; 0: run until a key
  // A virtual clock: frame lengths in milliseconds, each at least 1, used
  // in turn and cycled. Empty: real time.
  std::vector<int> fixed_step_ms;
  std::string screenshot; // PNG of the last frame's back buffer
  std::string dump_water; // the field after the last step, raw little-endian floats
  std::string data_dir;   // where the bitmaps are; empty: the current directory
  std::string record;     // every frame as YUV4MPEG2; "-": standard output
  ChromaLayout record_chroma = ChromaLayout::Full;
  int width = 0;
  int height = 0;
  bool vsync = true;  // frames wait for the display; off: as fast as possible
  bool fps = false;
  bool verbose = false;
  bool quiet = false;     // no progress line on a terminal
  bool intro = true;
  bool help = false;
  bool version = false;
  Mode mode = Mode::Demo;
  std::uint32_t window = 0;  // an X11 window id or an HWND, as `mode` says
  int delay_us = 0;             // a pause after every frame
  int max_fps = 0;  // 0: as fast as possible
  bool interactive = false;  // a press or a drag drops a dent where the pointer is
  std::string record_input;  // the drops of the run, as a journal
  std::string replay;        // a journal whose drops are applied at their frames
  std::string output;        // Wallpaper, Screensaver: only on the output of this name
  bool windows_switch = false;  // started as Windows starts a screensaver (/s, /p, /c)
};

// Whether the window is the program's own: its keys end the run, and its
// cursor is ours to hide. A host's keys, pointer and cursor are the host's.
bool own_window(Options::Mode mode);

// The window a run asks for and the events it wants, from its mode.
WindowRequest window_request(const Options& options);

// The files a run writes, each with the option that names it (an empty
// path: not asked for).
std::array<std::pair<const char*, const std::string*>, 4> output_files(const Options& options);

// Whether its pictures or its field go to files: such a run needs no
// display, and draws every frame, seen or not.
bool writes_frames(const Options& options);

struct ParsedOptions {
  bool ok = false;
  std::string error;  // one line, when not ok
  Options options;
};

ParsedOptions parse_options(int argc, const char* const* argv);

std::string usage_text();

// A window id as screensaver hosts write them: decimal, or hex after 0x;
// 32 bits and not 0.
std::optional<std::uint32_t> parse_window_id(const std::string& text);

// --root means the host's window when the host names one in the environment
// (XSCREENSAVER_WINDOW, passed here as `host_window`, null when unset), else
// the root window. False with a reason when the name is not a window id.
bool resolve_root_window(Options& options, const char* host_window, std::string& error);

inline constexpr int kExitUsage = 64;

}  // namespace ovu
