#pragma once

#include <signal.h>

#include <cstdint>

namespace ovu {

// Internal to the POSIX runtime: a fault's exit code and its place, the
// offset of the faulting instruction in its module's file.
struct FaultPlace {
  std::uint32_t code;
  std::uint32_t location;
};

// Notes where the main thread's stack starts and how far it may grow, so that
// a fault near its end reads as a stack overflow. Called once at start-up.
void note_stack_top();

// For a handler of SIGSEGV, SIGBUS, SIGFPE, SIGILL and the like.
FaultPlace place_fault(int signal, const siginfo_t* info, const void* context);

}  // namespace ovu
