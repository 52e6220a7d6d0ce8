#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ovu {

// "Runtime error NNN at XXXXXXXX": the code right-aligned in columns 14-16,
// the location as eight uppercase hex digits. Scripts read this line, so its
// layout never changes.
inline constexpr std::size_t kErrorLineLength = 29;

// Writes exactly kErrorLineLength characters into `out` (no terminator).
// Allocates nothing and calls nothing, so a signal handler may use it.
void format_error_line(std::uint8_t code, std::uint32_t location, char* out);

// A character of a reason as it is shown: control characters become '?', so
// a reason stays one line and nothing in it drives the terminal.
constexpr char printable(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c; }
std::string printable(std::string text);

}  // namespace ovu
