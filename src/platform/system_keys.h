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

}  // namespace ovu
