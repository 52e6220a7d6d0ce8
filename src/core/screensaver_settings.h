#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovu {

// The screensaver's three settings, as a Windows user keeps them (the Linux
// hosts pass the same three as options). The defaults are a screensaver's
// rate: 30 frames a second, waiting for the display, the title shown.
struct ScreensaverSettings {
  int max_fps = 30;
  bool title = true;
  bool vsync = true;
};

inline constexpr int kSettingsMinFps = 5;
inline constexpr int kSettingsMaxFps = 120;

// One stored value as the store gave it back: whether it could be read at
// all, whether its type is a 32-bit number, and its bytes (little-endian).
struct StoredValue {
  bool read = false;
  bool dword = false;
  std::vector<std::uint8_t> bytes;
};

// Stored data is never trusted: a number out of range is clamped (MaxFps
// into 5..120, any non-zero switch is on), and a value that is missing,
// unreadable, of another type or of another size counts as the default.
ScreensaverSettings decode_settings(const StoredValue& max_fps, const StoredValue& title, const StoredValue& vsync);

int clamp_settings_fps(std::int64_t fps);

// "15 fps at most, title off, vsync on": what a run applied, for its log.
std::string describe_settings(const ScreensaverSettings& settings);

}  // namespace ovu
