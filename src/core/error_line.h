#pragma once

#include <cstddef>
#include <cstdint>

namespace ovu {

// "Runtime error NNN at XXXXXXXX": the code right-aligned in columns 14-16,
// the location as eight uppercase hex digits. Scripts read this line, so its
// layout never changes.
inline constexpr std::size_t kErrorLineLength = 29;

// Writes exactly kErrorLineLength characters into `out` (no terminator).
// Allocates nothing and calls nothing, so a signal handler may use it.
void format_error_line(std::uint8_t code, std::uint32_t location, char* out);

}  // namespace ovu
