#pragma once

#include <optional>

#include "app/options.h"
#include "core/screensaver_settings.h"

namespace ovu {

// The command line Windows gives a screensaver: /s runs it full screen, /p
// HWND shows it in a preview window, /c (or /c:HWND) asks for its settings,
// and a program named *.scr started with nothing asks for them too. The
// switches take '/' or '-' in either case, the handle after ':' or a space.
// Nullopt when the command line is not of this kind; the bitmaps are then
// read from the program's own folder, since Windows starts it elsewhere.
std::optional<ParsedOptions> parse_screensaver_args(int argc, const char* const* argv);

// A screensaver run (/s, /p) takes no options: its rate, vsync and title
// come from the settings the user stored.
void apply_settings(const ScreensaverSettings& settings, Options& options);

// The folder part of a program path, '/' or '\' separated; empty for a bare name.
std::string program_folder(const std::string& program);

// Ends the screensaver run on a pointer that moved more than a few pixels
// from where it was first seen: Windows reports a move when the window
// appears under a still pointer, and a nudged desk should not end it either.
class PointerWatch {
public:
  bool moved_away(int x, int y);

private:
  bool seen_ = false;
  int x_ = 0;
  int y_ = 0;
};

inline constexpr int kPointerSlack = 4;  // pixels in either direction

}  // namespace ovu
