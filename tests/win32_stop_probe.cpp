// Child process for the Windows runtime-stop tests: provokes one failure per run.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/fpu.h"
#include "platform/guard.h"
#include "platform/stop.h"

namespace {

volatile std::uintptr_t g_wild_address = 16;
volatile bool g_keep_going = true;

__attribute__((noinline)) void write_wild() { *reinterpret_cast<volatile int*>(g_wild_address) = 1; }

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return (g_keep_going ? recurse(depth + 1) : 0) + frame[0];
}

__attribute__((noinline)) int divide(volatile int a, volatile int b) { return a / b; }

// Exceptions that an x86-64 processor cannot raise any more (INTO and BOUND
// are gone in 64-bit mode) are raised as the system reports a fault: with no
// flags. Should anything continue them, the probe returns and the test fails.
void raise_exception(DWORD code) { RaiseException(code, 0, 0, nullptr); }

int probe(int argc, char** argv) {
  if (argc < 2) return 64;
  const std::string what = argv[1];
  if (what == "stop" && argc == 4)
    ovu::fatal_stop(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)),
                    static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0)), "probe: asked to stop");
  if (what == "segv") write_wild();
  if (what == "stack") return recurse(0);
  if (what == "divide") return divide(1, 0);
  if (what == "privileged") __asm__ volatile("hlt");
  if (what == "illegal") __builtin_trap();
  if (what == "overflow") raise_exception(EXCEPTION_INT_OVERFLOW);
  if (what == "bounds") raise_exception(EXCEPTION_ARRAY_BOUNDS_EXCEEDED);
  if (what == "control-c-exit") raise_exception(STATUS_CONTROL_C_EXIT);
  if (what == "abort") std::abort();
  if (what == "alloc") {
    // A quarter of the address space a block, never touched: the first to
    // fourth request fails on either architecture, at no cost in memory.
    std::vector<std::unique_ptr<char[]>> hog;
    for (;;) hog.emplace_back(new char[std::numeric_limits<std::size_t>::max() / 4]);
  }
  if (what == "fpu") {
    std::printf("control word 0x%04X, %s\n", static_cast<unsigned>(ovu::fpu_control()),
                ovu::fpu_control_is_set() ? "set" : "not set");
    return 0;
  }
  if (what == "normal") return 0;
  return 64;
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(probe, argc, argv); }
