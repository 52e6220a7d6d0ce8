// The runtime-error stop and fault handling on POSIX systems (Linux).
// Depends on write(2), sigaction, an alternate signal stack and /proc for
// the place of a fault; everything that runs inside a signal handler is
// async-signal-safe (no allocation, plain system calls).
// Known limit: faults on threads other than the main one (GL driver threads)
// are reported the same way, since signal dispositions are process-wide.

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/error_line.h"
#include "platform/posix/posix_stop.h"
#include "platform/stop.h"

namespace ovu {

namespace {

// A fault this close to the stack pointer is the stack running out.
constexpr std::uintptr_t kStackSlack = 64 * 1024;

alignas(16) char g_signal_stack[64 * 1024];
volatile sig_atomic_t g_termination = 0;
char g_temporary[2][PATH_MAX];
volatile sig_atomic_t g_has_temporary[2] = {0, 0};
std::uintptr_t g_stack_top = 0;
std::uintptr_t g_stack_limit = 0;

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

// A fault outside every file-backed module (code generated at run time, a
// jump to nowhere) has no place that stays put between runs: it reads as
// this value plus the signal number.
constexpr std::uint32_t kWhereUnmappedCode = 0x00FA0000;

// One mapping of our address space, as /proc/self/maps lists it.
struct Mapping {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  std::uintptr_t offset = 0;  // of `start` in the mapped file
  bool executable = false;
  bool file = false;
};

// Parses "start-end perms offset dev inode path" into `found` when the
// mapping holds `address`.
bool parse_mapping(const char* at, const char* end, std::uintptr_t address, Mapping& found) {
  auto number = [&](std::uintptr_t& value, unsigned base) {
    const char* from = at;
    value = 0;
    for (; at < end; ++at) {
      const char c = *at;
      const unsigned digit = c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0')
                             : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                                                    : base;
      if (digit >= base) break;
      value = value * base + digit;
    }
    return at != from;
  };
  auto skip = [&](char separator) { return at < end && *at++ == separator; };
  Mapping m;
  if (!number(m.start, 16) || !skip('-') || !number(m.end, 16) || !skip(' ')) return false;
  if (address < m.start || address >= m.end || end - at < 5) return false;
  m.executable = at[2] == 'x';
  at += 5;
  std::uintptr_t inode = 0;
  if (!number(m.offset, 16) || !skip(' ')) return false;
  while (at < end && *at != ' ') ++at;  // the device
  if (!skip(' ') || !number(inode, 10)) return false;
  m.file = inode != 0;
  found = m;
  return true;
}

// The mapping that holds `address`. Read from /proc with plain system calls,
// which a signal handler may make (dladdr and dl_iterate_phdr may not), and
// at the time of the fault, so the libraries that SDL and the GL driver load
// late are found as well as those of the start.
bool find_mapping(std::uintptr_t address, Mapping& found) {
  const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[8192];  // longer than any line: a path is at most PATH_MAX
  std::size_t filled = 0;
  bool hit = false;
  while (!hit) {
    const ssize_t got = ::read(fd, buffer + filled, sizeof buffer - filled);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
    std::size_t line = 0;
    for (std::size_t i = 0; i < filled && !hit; ++i) {
      if (buffer[i] != '\n') continue;
      hit = parse_mapping(buffer + line, buffer + i, address, found);
      line = i + 1;
    }
    if (line == 0) break;
    std::memmove(buffer, buffer + line, filled - line);
    filled -= line;
  }
  ::close(fd);
  return hit;
}

// The faulting instruction as an offset into the file of its module, so that
// the same fault reads the same in every run despite address randomisation,
// in our code and in a library alike.
std::uint32_t fault_location(int signal, std::uintptr_t pc, const Mapping* code) {
  if (code != nullptr && code->file) {
    const auto location = static_cast<std::uint32_t>(code->offset + (pc - code->start));
    if (location != 0) return location;
  }
  return kWhereUnmappedCode + static_cast<std::uint32_t>(signal);
}

// Whether the instruction at `pc` may run in the kernel only. x86 raises a
// general protection fault for it, which Linux reports as SIGSEGV with
// SI_KERNEL, just as it reports an access to a non-canonical address; only
// the instruction tells the two apart.
bool privileged_instruction(std::uintptr_t pc, const Mapping* code) {
#if defined(__x86_64__) || defined(__i386__)
  if (code == nullptr || !code->executable) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(pc);
  const std::uintptr_t room = code->end - pc;
  auto prefix = [](unsigned char b) {
    const bool rex = b >= 0x40 && b <= 0x4F && sizeof(void*) == 8;
    return rex || b == 0x26 || b == 0x2E || b == 0x36 || b == 0x3E || (b >= 0x64 && b <= 0x67) || b == 0xF0 ||
           b == 0xF2 || b == 0xF3;
  };
  std::uintptr_t n = 0;
  while (n + 2 < room && n < 14 && prefix(bytes[n])) ++n;
  const unsigned char op = bytes[n];
  // hlt, cli, sti, in, out, ins, outs
  if (op == 0xF4 || op == 0xFA || op == 0xFB || (op >= 0xE4 && op <= 0xE7) || (op >= 0xEC && op <= 0xEF) ||
      (op >= 0x6C && op <= 0x6F))
    return true;
  if (op != 0x0F || n + 1 >= room) return false;
  switch (bytes[n + 1]) {
    case 0x00: case 0x01:              // descriptor tables, lmsw, invlpg, swapgs
    case 0x06: case 0x07: case 0x08:   // clts, sysret, invd
    case 0x09:                         // wbinvd
    case 0x20: case 0x21: case 0x22:   // control and debug registers
    case 0x23:
    case 0x30: case 0x32: case 0x33:   // wrmsr, rdmsr, rdpmc
    case 0x35:                         // sysexit
      return true;
    default: return false;
  }
#else
  (void)pc;
  (void)code;
  return false;
#endif
}

bool is_stack_overflow(std::uintptr_t address, std::uintptr_t sp) {
  const std::uintptr_t distance = address > sp ? address - sp : sp - address;
  if (distance < kStackSlack) return true;
  return g_stack_limit != 0 && address < g_stack_top &&
         address + g_stack_limit + kStackSlack >= g_stack_top;
}

std::uint32_t fault_code(int signal, const siginfo_t* info, const void* context, const Mapping* code) {
  switch (signal) {
    case SIGSEGV:
      if (info->si_code == SI_KERNEL && privileged_instruction(fault_pc(context), code)) return kCodePrivileged;
      return is_stack_overflow(reinterpret_cast<std::uintptr_t>(info->si_addr), fault_sp(context))
                 ? kCodeStackOverflow
                 : kCodeAccessViolation;
    case SIGBUS: return kCodeAccessViolation;
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return kCodeIntegerDivide;
      if (info->si_code == FPE_INTOVF) return kCodeIntegerOverflow;
      return kCodeOtherFault;
    case SIGILL:
      // An undefined opcode (ud2) is "any other kind" of fault.
      return info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG ? kCodePrivileged : kCodeOtherFault;
    default: return kCodeOtherFault;
  }
}

void on_fault(int signal, siginfo_t* info, void* context) {
  remove_temporaries();
  const std::uintptr_t pc = fault_pc(context);
  Mapping mapping;
  const Mapping* code_at = find_mapping(pc, mapping) ? &mapping : nullptr;
  const std::uint32_t code = fault_code(signal, info, context, code_at);
  write_error_line(code, fault_location(signal, pc, code_at));
  const char* name = sigabbrev_np(signal);
  write_all(STDERR_FILENO, "ovu: fault: signal SIG", 22);
  if (name != nullptr) write_all(STDERR_FILENO, name, std::strlen(name));
  write_all(STDERR_FILENO, "\n", 1);
  _exit(static_cast<int>(code));
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
