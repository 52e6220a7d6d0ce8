#pragma once

#include <cstdint>

namespace ovu {

// The program's one failure path: writes the runtime-error line for `code`
// (reduced to its low 8 bits) on standard output and `reason` on standard
// error, then ends the process with that code. `location` names the place
// that failed and must not be 0.
[[noreturn]] void fatal_stop(std::uint32_t code, std::uint32_t location, const char* reason);

// Processor faults and Ctrl+C end the process through the same line with the
// codes of the fault table; a termination request becomes a close request.
void install_fault_handlers();

// True once a termination request (SIGTERM, a console close) has arrived.
bool termination_requested();

// Codes of the runtime-error line.
inline constexpr std::uint32_t kCodeNoWindow = 1;
inline constexpr std::uint32_t kCodeShortRead = 100;
inline constexpr std::uint32_t kCodeOutOfMemory = 203;
// Processor faults and interrupts, the same on every platform.
inline constexpr std::uint32_t kCodeIntegerDivide = 200;
inline constexpr std::uint32_t kCodeArrayBounds = 201;
inline constexpr std::uint32_t kCodeStackOverflow = 202;
inline constexpr std::uint32_t kCodeIntegerOverflow = 215;
inline constexpr std::uint32_t kCodeAccessViolation = 216;
inline constexpr std::uint32_t kCodeInterrupt = 217;
inline constexpr std::uint32_t kCodePrivileged = 218;
inline constexpr std::uint32_t kCodeOtherFault = 255;
inline constexpr std::uint32_t kWhereInterrupt = 0x00C7C217;

}  // namespace ovu
