#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/y4m.h"

namespace ovu {

// The command line. With no arguments the program is the plain demo; every
// option only adds something for tests, benchmarks, screenshots and
// screensaver hosts.
struct Options {
  // Where the frames go. Screensaver hosts make the window and hand it over;
  // a wallpaper is the background of every Wayland output.
  enum class Target { OwnWindow, Root, HostWindow, Wallpaper };

  int frames = 0;         // end after this many frames; 0: run until a key
  // A virtual clock: frame lengths in milliseconds, each at least 1, used
  // in turn and cycled. Empty: real time.
  std::vector<int> fixed_step_ms;
  std::string screenshot; // PNG of the last frame's back buffer
  std::string dump_water; // the field after the last step, raw little-endian floats
  std::string data_dir;   // where the bitmaps are; empty: the current directory
  std::string record;     // every frame as YUV4MPEG2; "-": standard output
  ChromaLayout record_chroma = ChromaLayout::Full;
  bool windowed = false;
  int width = 0;
  int height = 0;
  bool vsync = true;  // frames wait for the display; off: as fast as possible
  bool fps = false;
  bool verbose = false;
  bool quiet = false;     // no progress line on a terminal
  bool intro = true;
  bool help = false;
  bool version = false;
  Target target = Target::OwnWindow;
  std::uint32_t window_id = 0;  // HostWindow: the host's window; with `configure`: the dialog's owner
  int delay_us = 0;             // a pause after every frame
  int max_fps = 0;  // 0: as fast as possible
  bool interactive = false;  // a press or a drag drops a dent where the pointer is
  std::string record_input;  // the drops of the run, as a journal
  std::string replay;        // a journal whose drops are applied at their frames
  bool end_on_pointer = false;  // a click or a moved pointer ends it too (the Windows screensaver run)
  bool configure = false;       // only say that there is nothing to set up
  std::string output;           // Wallpaper: only on the output of this name
};

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
