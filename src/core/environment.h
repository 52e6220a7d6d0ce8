#pragma once

#include <cstdlib>

namespace ovu {

// An environment variable's value, or null where it is unset or empty: an
// empty value names nothing, as the tools that read these variables agree.
inline const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace ovu
