// The runtime-error stop and fault handling on POSIX systems (Linux).
// Depends on write(2), sigaction and an alternate signal stack (the place
// of a fault is posix_fault.cpp's); everything that runs inside a signal handler is
// async-signal-safe (no allocation, plain system calls).
// Known limit: faults on threads other than the main one (GL driver threads)
// are reported the same way, since signal dispositions are process-wide.

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/error_line.h"
#include "platform/posix/posix_fault.h"
#include "platform/posix/posix_stop.h"
#include "platform/stop.h"

namespace ovu {

namespace {

alignas(16) char g_signal_stack[64 * 1024];
volatile sig_atomic_t g_termination = 0;
char g_temporary[2][PATH_MAX];
volatile sig_atomic_t g_has_temporary[2] = {0, 0};

void remove_temporaries() {
  for (int kind = 0; kind < 2; ++kind)
    if (g_has_temporary[kind] != 0) ::unlink(g_temporary[kind]);
}

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

// Control characters in the reason are shown as '?'; a short buffer does it
// without allocating, which may no longer work when memory has run out.
void write_reason(const char* reason) {
  write_all(STDERR_FILENO, "ovu: ", 5);
  char shown[256];
  std::size_t filled = 0;
  for (const char* c = reason; *c != '\0'; ++c) {
    shown[filled++] = printable(*c);
    if (filled == sizeof shown) {
      write_all(STDERR_FILENO, shown, filled);
      filled = 0;
    }
  }
  write_all(STDERR_FILENO, shown, filled);
  write_all(STDERR_FILENO, "\n", 1);
}

void on_fault(int signal, siginfo_t* info, void* context) {
  remove_temporaries();
  const FaultPlace fault = place_fault(signal, info, context);
  write_error_line(fault.code, fault.location);
  const char* name = sigabbrev_np(signal);
  write_all(STDERR_FILENO, "ovu: fault: signal SIG", 22);
  if (name != nullptr) write_all(STDERR_FILENO, name, std::strlen(name));
  write_all(STDERR_FILENO, "\n", 1);
  _exit(static_cast<int>(fault.code));
}

void on_interrupt(int) {
  remove_temporaries();
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
  remove_temporaries();
  write_error_line(code, location != 0 ? location : 1);
  if (reason != nullptr) write_reason(reason);
  _exit(static_cast<int>(code & 0xFF));
}

void install_fault_handlers() {
  note_stack_top();

  stack_t stack{};
  stack.ss_sp = g_signal_stack;
  stack.ss_size = sizeof g_signal_stack;
  sigaltstack(&stack, nullptr);

  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) handle(signal, on_fault);
  handle_plain(SIGINT, on_interrupt);
  handle_plain(SIGTERM, on_termination);
  // A terminal that went away ends the run in order too, unless we were
  // started to outlive it (nohup).
  struct sigaction hangup {};
  if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) handle_plain(SIGHUP, on_termination);
  // A closed pipe or a file-size limit then fails the write (EPIPE, EFBIG)
  // instead of killing us on the spot: the exit code and the reason stay
  // ours, and a temporary file is removed.
  handle_plain(SIGPIPE, SIG_IGN);
  handle_plain(SIGXFSZ, SIG_IGN);
}

void note_temporary(TemporaryKind kind, const char* path) {
  const auto slot = static_cast<std::size_t>(kind);
  g_has_temporary[slot] = 0;
  if (path == nullptr || std::strlen(path) >= sizeof g_temporary[slot]) return;
  std::memcpy(g_temporary[slot], path, std::strlen(path) + 1);
  g_has_temporary[slot] = 1;
}

bool termination_requested() { return g_termination != 0; }

}  // namespace ovu
