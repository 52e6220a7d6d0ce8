// The screensaver settings where the system has no store for them: Linux and
// the page, whose hosts pass the settings as options.

#include "platform/settings.h"

namespace ovu {

std::optional<ScreensaverSettings> platform_stored_settings() { return std::nullopt; }

bool platform_settings_dialog(std::uint32_t) { return false; }

}  // namespace ovu
