#pragma once

namespace ovu {

// Runs `body` as the program: the x87 control word is set before any of our
// code, faults are routed to the runtime stop, and running out of memory
// anywhere ends with the out-of-memory code instead of an unhandled throw.
int run_guarded(int (*body)(int, char**), int argc, char** argv);

}  // namespace ovu
