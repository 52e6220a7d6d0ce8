#pragma once

#include "platform/platform.h"

namespace ovu {

// The keys the rule below tells apart; the backend names its own.
enum class KeyName { Alt, F4, F10, Other };

// Keys that arrive on Windows as system keys (anything with Alt held, and
// F10) do not end the run; Alt+F4 is a close request. Windows itself applies
// this rule to the Win32 backend; the others ask here.
constexpr PlatformEvent::Kind key_down_kind(KeyName key, bool alt_held) {
  const bool alt = alt_held || key == KeyName::Alt;
  if (alt && key == KeyName::F4) return PlatformEvent::Quit;
  if (alt || key == KeyName::F10) return PlatformEvent::SystemKey;
  return PlatformEvent::Key;
}

// Whether a key that went down ends the run. In a host's window (or under a
// wallpaper) the keys are the host's and the desktop's; the screensaver run
// ends on any key, and the other runs leave the system keys to the desktop.
constexpr bool key_ends_run(PlatformEvent::Kind kind, bool hosted, bool screensaver) {
  return !hosted && (kind == PlatformEvent::Key || (kind == PlatformEvent::SystemKey && screensaver));
}

}  // namespace ovu
