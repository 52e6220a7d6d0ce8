// The runtime-error stop in a web page. The line and the reason go to
// standard output and error as on the desktop; the page shows them in the
// console and the reason in its closing note, and the exit code ends the
// program's runtime. Known limit: a trap in the WebAssembly code (the
// page's counterpart of a processor fault) ends the runtime without the
// line; the page reports it as an abort.

#include <emscripten.h>

#include <cstdio>

#include "core/error_line.h"
#include "platform/posix/posix_stop.h"
#include "platform/stop.h"

namespace ovu {

void fatal_stop(std::uint32_t code, std::uint32_t location, const char* reason) {
  char line[kErrorLineLength + 1] = {};
  format_error_line(static_cast<std::uint8_t>(code & 0xFF), location != 0 ? location : 1, line);
  std::printf("%s\n", line);
  if (reason != nullptr) std::fprintf(stderr, "ovu: %s\n", printable(reason).c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  // Forced: the browser's main loop keeps the runtime alive while the frames run.
  emscripten_force_exit(static_cast<int>(code & 0xFF));
}

// Nothing to remove either: a page has no faults that would skip the file
// writer's own clean-up.
void note_temporary(TemporaryKind, const char*) {}

// Nothing to install: a page has no signals, and nothing asks it to end.
void install_fault_handlers() {}

bool termination_requested() { return false; }

}  // namespace ovu
