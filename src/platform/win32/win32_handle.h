#pragma once

#include <windows.h>

#include <cstdint>

namespace ovu {

// Windows writes window handles for screensavers as 32-bit numbers; on
// 64-bit systems a handle is that number sign-extended.
inline HWND handle_from(std::uint32_t id) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(id))); }

}  // namespace ovu
