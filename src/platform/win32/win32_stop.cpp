// The runtime-error stop and fault handling on Windows. Depends on kernel32:
// WriteFile on the standard handles, an unhandled-exception filter for
// processor faults, a console control handler for Ctrl+C; and on user32 for
// the message box of the GUI build (ovu.scr), which has no console to write to.
// Known limit: a fault inside a debugger goes to the debugger first, and a
// stack overflow is reported only while the reserved guarantee lasts.

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "core/error_line.h"
#include "platform/stop.h"

namespace ovu {

namespace {

// Room the stack keeps for the filter once an overflow has used up the rest.
constexpr ULONG kStackGuarantee = 32 * 1024;

volatile LONG g_termination = 0;

void write_all(DWORD which, const char* data, std::size_t size) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  while (size > 0) {
    DWORD done = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(size), &done, nullptr) || done == 0) return;
    data += done;
    size -= done;
  }
}

// The program's own subsystem, from its image header: ovu.exe is a console
// program, ovu.scr the same code linked as a GUI one.
bool has_console_subsystem() {
  const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  return headers->OptionalHeader.Subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

DWORD WINAPI show_error_box(void* text) {
  MessageBoxA(nullptr, static_cast<const char*>(text), "Error", MB_OK);
  return 0;
}

// The line ends in CR LF; it has no zero byte, which a console shows as a
// blank. Without a console it is shown in a box, from a thread of its own:
// after a stack overflow this one has too little stack left for a dialog.
void write_error_line(std::uint32_t code, std::uint32_t location) {
  char line[kErrorLineLength + 2];
  format_error_line(static_cast<std::uint8_t>(code & 0xFF), location, line);
  if (!has_console_subsystem()) {
    line[kErrorLineLength] = '\0';
    const HANDLE box = CreateThread(nullptr, 0, show_error_box, line, 0, nullptr);
    if (box != nullptr) {
      WaitForSingleObject(box, INFINITE);
      CloseHandle(box);
    }
    return;
  }
  line[kErrorLineLength] = '\r';
  line[kErrorLineLength + 1] = '\n';
  write_all(STD_OUTPUT_HANDLE, line, sizeof line);
}

void write_reason(const char* reason) {
  write_all(STD_ERROR_HANDLE, "ovu: ", 5);
  write_all(STD_ERROR_HANDLE, reason, std::strlen(reason));
  write_all(STD_ERROR_HANDLE, "\r\n", 2);
}

[[noreturn]] void end_process(std::uint32_t code) {
  ExitProcess(static_cast<UINT>(code & 0xFF));
}

std::uint32_t fault_code(DWORD exception) {
  switch (exception) {
    case EXCEPTION_ACCESS_VIOLATION: return kCodeAccessViolation;
    case EXCEPTION_STACK_OVERFLOW: return kCodeStackOverflow;
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return kCodeIntegerDivide;
    case EXCEPTION_INT_OVERFLOW: return kCodeIntegerOverflow;
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return kCodeArrayBounds;
    case EXCEPTION_PRIV_INSTRUCTION: return kCodePrivileged;
    case STATUS_CONTROL_C_EXIT: return kCodeInterrupt;
    default: return kCodeOtherFault;
  }
}

// The faulting instruction as an offset into our image, so that the same
// fault reads the same in every run whatever address the image was loaded at.
std::uint32_t fault_location(const void* address) {
  const auto pc = reinterpret_cast<std::uintptr_t>(address);
  const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  const std::uintptr_t offset = pc >= base ? pc - base : pc;
  const auto location = static_cast<std::uint32_t>(offset);
  return location != 0 ? location : 1;
}

LONG WINAPI on_fault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  const std::uint32_t code = fault_code(record->ExceptionCode);
  write_error_line(code, fault_location(record->ExceptionAddress));
  char reason[48];
  std::snprintf(reason, sizeof reason, "fault: exception 0x%08lX",
                static_cast<unsigned long>(record->ExceptionCode));
  write_reason(reason);
  end_process(code);
}

// Faults that nothing may handle are reported before the frame handlers are
// searched. After a stack overflow that search and the unhandled-exception
// filter need more stack than is left; and the C runtime's handler around
// main resumes integer overflow and bounds faults and ends a Ctrl+C exit
// silently. Uses a few hundred bytes of stack at most.
LONG WINAPI on_first_chance(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  switch (record->ExceptionCode) {
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case STATUS_CONTROL_C_EXIT: break;
    default: return EXCEPTION_CONTINUE_SEARCH;
  }
  const std::uint32_t code = fault_code(record->ExceptionCode);
  write_error_line(code, fault_location(record->ExceptionAddress));
  write_reason("fault: unrecoverable processor fault");
  end_process(code);
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      write_error_line(kCodeInterrupt, kWhereInterrupt);
      write_reason("interrupted (Ctrl+C)");
      end_process(kCodeInterrupt);
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // A close request for the main thread. Returning would let the system
      // end the process at once, so this thread waits for the normal end.
      InterlockedExchange(&g_termination, 1);
      Sleep(INFINITE);
      return TRUE;
    default: return FALSE;
  }
}

// abort() (std::terminate included) raises SIGABRT rather than an exception.
void on_abort(int) {
  write_error_line(kCodeOtherFault, kWhereAbort);
  write_reason("fault: abort");
  end_process(kCodeOtherFault);
}

}  // namespace

void fatal_stop(std::uint32_t code, std::uint32_t location, const char* reason) {
  std::fflush(stdout);
  write_error_line(code, location != 0 ? location : 1);
  if (reason != nullptr) write_reason(reason);
  end_process(code);
}

void install_fault_handlers() {
  ULONG guarantee = kStackGuarantee;
  SetThreadStackGuarantee(&guarantee);
  // No error boxes: a fault is reported on the console and nowhere else.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  AddVectoredExceptionHandler(1, on_first_chance);
  SetUnhandledExceptionFilter(on_fault);
  SetConsoleCtrlHandler(on_console_event, TRUE);
  std::signal(SIGABRT, on_abort);
}

bool termination_requested() { return InterlockedCompareExchange(&g_termination, 0, 0) != 0; }

}  // namespace ovu
