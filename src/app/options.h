#pragma once

#include <string>

namespace ovu {

// The command line. With no arguments the program is the plain demo; every
// option only adds something for tests, benchmarks and screenshots.
struct Options {
  int frames = 0;         // end after this many frames; 0: run until a key
  int fixed_step_ms = 0;  // a virtual clock advancing this much per frame; 0: real time
  std::string screenshot; // PNG of the last frame's back buffer
  std::string dump_water; // the field after the last step, raw little-endian floats
  std::string data_dir;   // where the bitmaps are; empty: the current directory
  bool windowed = false;
  int width = 0;
  int height = 0;
  bool vsync = false;
  bool fps = false;
  bool verbose = false;
  bool intro = true;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  bool ok = false;
  std::string error;  // one line, when not ok
  Options options;
};

ParsedOptions parse_options(int argc, const char* const* argv);

std::string usage_text();

inline constexpr int kExitUsage = 64;

}  // namespace ovu
