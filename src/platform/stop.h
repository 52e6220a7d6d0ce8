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
inline constexpr std::uint32_t kCodeDataError = 65;  // a file that reads but makes no sense (sysexits' EX_DATAERR)
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

// Places of the runtime-error line, one per step that can fail, so a report
// names it: the same in every run and on every platform. A processor fault's
// place is instead the offset of the faulting instruction in its module.
enum StopPlace : std::uint32_t {
  // The bitmap loaders: one place per checked file operation.
  kColourOpen = 0x00B10001,
  kColourSeek = 0x00B10002,
  kColourRead = 0x00B10003,
  kColourClose = 0x00B10004,
  kMaskedColourOpen = 0x00B10011,
  kMaskOpen = 0x00B10012,
  kMaskedColourSeek = 0x00B10013,
  kMaskSeek = 0x00B10014,
  kMaskedColourRead = 0x00B10015,
  kMaskRead = 0x00B10016,
  kMaskedColourClose = 0x00B10017,
  kMaskClose = 0x00B10018,
  // The window and the outputs.
  kWhereWindow = 0x00D10001,
  kWhereScreenshot = 0x00D10002,
  kWhereDump = 0x00D10003,
  kWhereXError = 0x00D10004,
  kWhereXConnection = 0x00D10005,
  kWhereRecord = 0x00D10006,
  kWhereWaylandConnection = 0x00D10007,
  kWhereReplay = 0x00D10011,
  kWhereInputJournal = 0x00D10012,
  // The runtime itself.
  kWhereAllocation = 0x00A110C8,
  kWhereAbort = 0x00AB0255,
  kWhereInterrupt = 0x00C7C217,
  // A fault outside every file-backed module (code generated at run time, a
  // jump to nowhere) has no place that stays put between runs: it reads as
  // this value plus the signal number.
  kWhereUnmappedCode = 0x00FA0000,
};

}  // namespace ovu
