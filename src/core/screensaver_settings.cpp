#include "core/screensaver_settings.h"

#include <algorithm>
#include <optional>

namespace ovu {

namespace {

std::optional<std::uint32_t> stored_number(const StoredValue& value) {
  if (!value.read || !value.dword || value.bytes.size() != 4) return std::nullopt;
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | value.bytes[static_cast<std::size_t>(i)];
  return number;
}

bool stored_switch(const StoredValue& value, bool fallback) {
  const auto number = stored_number(value);
  return number ? *number != 0 : fallback;
}

}  // namespace

int clamp_settings_fps(std::int64_t fps) {
  return static_cast<int>(std::clamp<std::int64_t>(fps, kSettingsMinFps, kSettingsMaxFps));
}

ScreensaverSettings decode_settings(const StoredValue& max_fps, const StoredValue& title, const StoredValue& vsync) {
  ScreensaverSettings settings;
  // Unsigned as stored: 0xFFFFFFFF is a large rate, not -1.
  if (const auto fps = stored_number(max_fps)) settings.max_fps = clamp_settings_fps(*fps);
  settings.title = stored_switch(title, settings.title);
  settings.vsync = stored_switch(vsync, settings.vsync);
  return settings;
}

std::string describe_settings(const ScreensaverSettings& settings) {
  return std::to_string(settings.max_fps) + " fps at most, title " + (settings.title ? "on" : "off") + ", vsync " +
         (settings.vsync ? "on" : "off");
}

}  // namespace ovu
