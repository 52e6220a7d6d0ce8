// The runtime-error stop and fault handling on POSIX systems (Linux).
// Depends on write(2), sigaction and an alternate signal stack; everything
// that runs inside a signal handler is async-signal-safe (no allocation).
// Known limit: faults on threads other than the main one (GL driver threads)
// are reported the same way, since signal dispositions are process-wide.

#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/error_line.h"
#include "platform/stop.h"

extern "C" char __executable_start;  // provided by the linker: start of our image

namespace ovu {

namespace {

// A fault this close to the stack pointer is the stack running out.
constexpr std::uintptr_t kStackSlack = 64 * 1024;

alignas(16) char g_signal_stack[64 * 1024];
volatile sig_atomic_t g_termination = 0;
std::uintptr_t g_stack_top = 0;
std::uintptr_t g_stack_limit = 0;

void write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
}

void write_error_line(std::uint32_t code, std::uint32_t location) {
  char line[kErrorLineLength + 1];
  format_error_line(static_cast<std::uint8_t>(code & 0xFF), location, line);
  line[kErrorLineLength] = '\n';
  write_all(STDOUT_FILENO, line, sizeof line);
}

void write_reason(const char* reason) {
  write_all(STDERR_FILENO, "ovu: ", 5);
  write_all(STDERR_FILENO, reason, std::strlen(reason));
  write_all(STDERR_FILENO, "\n", 1);
}

std::uintptr_t fault_pc(const void* context) {
  const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
  (void)uc;
  return 0;
#endif
}

std::uintptr_t fault_sp(const void* context) {
  const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#else
  (void)uc;
  return 0;
#endif
}

// The faulting instruction as an offset into our image, so that the same
// fault reads the same in every run despite address randomisation.
std::uint32_t fault_location(std::uintptr_t pc) {
  const auto base = reinterpret_cast<std::uintptr_t>(&__executable_start);
  const std::uintptr_t offset = pc >= base ? pc - base : pc;
  const auto location = static_cast<std::uint32_t>(offset);
  return location != 0 ? location : 1;
}

bool is_stack_overflow(std::uintptr_t address, std::uintptr_t sp) {
  const std::uintptr_t distance = address > sp ? address - sp : sp - address;
  if (distance < kStackSlack) return true;
  return g_stack_limit != 0 && address < g_stack_top &&
         address + g_stack_limit + kStackSlack >= g_stack_top;
}

std::uint32_t fault_code(int signal, const siginfo_t* info, const void* context) {
  switch (signal) {
    case SIGSEGV:
      return is_stack_overflow(reinterpret_cast<std::uintptr_t>(info->si_addr), fault_sp(context))
                 ? kCodeStackOverflow
                 : kCodeAccessViolation;
    case SIGBUS: return kCodeAccessViolation;
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return kCodeIntegerDivide;
      if (info->si_code == FPE_INTOVF) return kCodeIntegerOverflow;
      return kCodeOtherFault;
    case SIGILL: return kCodePrivileged;
    default: return kCodeOtherFault;
  }
}

void on_fault(int signal, siginfo_t* info, void* context) {
  const std::uint32_t code = fault_code(signal, info, context);
  write_error_line(code, fault_location(fault_pc(context)));
  const char* name = sigabbrev_np(signal);
  write_all(STDERR_FILENO, "ovu: fault: signal SIG", 22);
  if (name != nullptr) write_all(STDERR_FILENO, name, std::strlen(name));
  write_all(STDERR_FILENO, "\n", 1);
  _exit(static_cast<int>(code));
}

void on_interrupt(int) {
  write_error_line(kCodeInterrupt, kWhereInterrupt);
  write_reason("interrupted (Ctrl+C)");
  _exit(static_cast<int>(kCodeInterrupt));
}

void on_termination(int) { g_termination = 1; }

void handle(int signal, void (*handler)(int, siginfo_t*, void*)) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void handle_plain(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

void fatal_stop(std::uint32_t code, std::uint32_t location, const char* reason) {
  std::fflush(stdout);
  write_error_line(code, location != 0 ? location : 1);
  if (reason != nullptr) write_reason(reason);
  _exit(static_cast<int>(code & 0xFF));
}

void install_fault_handlers() {
  int here = 0;
  g_stack_top = reinterpret_cast<std::uintptr_t>(&here);
  rlimit limit{};
  if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    g_stack_limit = static_cast<std::uintptr_t>(limit.rlim_cur);

  stack_t stack{};
  stack.ss_sp = g_signal_stack;
  stack.ss_size = sizeof g_signal_stack;
  sigaltstack(&stack, nullptr);

  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) handle(signal, on_fault);
  handle_plain(SIGINT, on_interrupt);
  handle_plain(SIGTERM, on_termination);
}

bool termination_requested() { return g_termination != 0; }

}  // namespace ovu
