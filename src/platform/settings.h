#pragma once

#include <cstdint>
#include <optional>

#include "core/screensaver_settings.h"

namespace ovu {

// The screensaver's settings where the system keeps them per user (the
// registry on Windows). Nullopt where it keeps none, as on Linux, whose
// hosts pass them as options.
std::optional<ScreensaverSettings> platform_stored_settings();

// The settings dialog, owned by and centred on `owner` (0: none); returns
// once it is closed, having stored the settings only if OK was pressed.
// False where the system has no such dialog.
bool platform_settings_dialog(std::uint32_t owner);

}  // namespace ovu
