// The platform layer on Windows. The runtime: file access through CreateFileA
// with the system's codes, and the runtime stop, whose line ends in CR LF and
// whose processor faults map to the codes of the fault table; the stop cases
// run this program again as a probe ("probe WHAT"), one failure per run. The
// window as the frame loop sees it (size reports, the key that ends it, the
// system keys that do not, close requests), and ovu.scr as Windows starts it:
// a preview (/p) drawn in a child of the window it is given until that goes
// away and, having no console, a runtime-error line shown in a box. Needs a
// display and a GL driver. Run as "host /c ..." it is windows_smoke.sh's
// helper for the settings dialog, in a wine prefix of its own.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "platform/stop.h"
#include "platform/win32/win32_settings.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

volatile std::uintptr_t g_wild_address = 16;
volatile bool g_keep_going = true;

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return (g_keep_going ? recurse(depth + 1) : 0) + frame[0];
}

__attribute__((noinline)) int divide(volatile int a, volatile int b) { return a / b; }

// An x86-64 processor cannot raise these any more (INTO and BOUND are gone),
// so they are raised as the system reports a fault. Were one continued, the
// probe would return 64 and the test fail.
int probe(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "stop") fatal_stop(258, 0x00B10101, "probe: asked to stop");
  if (what == "segv") *reinterpret_cast<volatile int*>(g_wild_address) = 1;
  if (what == "stack") return recurse(0);
  if (what == "divide") return divide(1, 0);
  if (what == "privileged") __asm__ volatile("hlt");
  if (what == "illegal") __builtin_trap();
  if (what == "overflow") RaiseException(EXCEPTION_INT_OVERFLOW, 0, 0, nullptr);
  if (what == "bounds") RaiseException(EXCEPTION_ARRAY_BOUNDS_EXCEEDED, 0, 0, nullptr);
  if (what == "control-c-exit") RaiseException(STATUS_CONTROL_C_EXIT, 0, 0, nullptr);
  if (what == "abort") std::abort();
  return 64;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the temporary one, removed at the end.
struct Scratch {
  fs::path path = fs::temp_directory_path() / ("ovu-" + std::to_string(GetCurrentProcessId()));
  Scratch() { fs::create_directories(path); }
  ~Scratch() { fs::remove_all(path); }
};

// Pumps our own windows' messages while it waits: the program's window
// calls into the preview window, which only answers while we pump.
template <class Condition>
bool pump_until(Condition condition, DWORD milliseconds = 30000) {
  for (const DWORD start = GetTickCount(); !condition(); Sleep(20)) {
    if (GetTickCount() - start > milliseconds) return false;
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  }
  return true;
}

// A program started from the tests' folder; given a folder, its standard output and error go to files "out" and
// "err" there.
struct Process {
  PROCESS_INFORMATION info{};
  HANDLE output[2] = {};
  explicit Process(std::string command_line, const fs::path& folder = {}) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    for (int i = 0; i < 2 && !folder.empty(); ++i)
      output[i] = CreateFileA((folder / (i ? "err" : "out")).string().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                              &inherited, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = folder.empty() ? 0 : STARTF_USESTDHANDLES;
    startup.hStdOutput = output[0];
    startup.hStdError = output[1];
    // Wine on a loaded machine now and then fails to start a process at all; a fault of ours fails every try.
    EXPECT_TRUE(pump_until([&] { return CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, !folder.empty(),
                                                       0, nullptr, nullptr, &startup, &info); }, 5000))
        << command_line << ": error " << GetLastError();
  }
  int wait() {  // the exit code, or -1 when it did not end in time
    DWORD code = DWORD(-1);
    if (pump_until([&] { return WaitForSingleObject(info.hProcess, 0) != WAIT_TIMEOUT; }))
      GetExitCodeProcess(info.hProcess, &code);
    return static_cast<int>(code);
  }
  ~Process() {
    TerminateProcess(info.hProcess, 1);  // if it still runs
    for (HANDLE handle : {info.hThread, info.hProcess, output[0], output[1]}) CloseHandle(handle);
  }
};

struct ProbeRun { int code; std::string out, err; };

ProbeRun run_probe(const std::string& args) {
  const Scratch scratch;  // a braced list runs in order: the probe has ended before its files are read
  return {Process("\"" + std::string(_pgmptr) + "\" probe " + args, scratch.path).wait(), read_file(scratch.path / "out"),
          read_file(scratch.path / "err")};
}

TEST(Win32Stop, TheLineEndsInCrLfAndFaultsEndWithTheCodesOfTheTable) {
  // Rows: the probe's arguments, exit code, a pattern for all of standard output, a part of standard error.
  struct Case { const char* args; int code; const char* out; const char* err; } cases[] = {
      // The exit code is the low byte; the reason goes to standard error.
      {"stop", 2, "Runtime error   2 at 00B10101\r\n", "ovu: probe: asked to stop\r\n"},
      // A processor fault's location is an offset into the image: below 4 MiB, where the 32-bit one is loaded.
      {"segv", 216, "Runtime error 216 at 00[0-3][0-9A-F]{5}\r\n", "ovu: fault: exception 0xC0000005"},
      {"stack", 202, "Runtime error 202 at 00[0-3][0-9A-F]{5}\r\n", "ovu: fault: "},
      {"divide", 200, "Runtime error 200 at 00[0-3][0-9A-F]{5}\r\n", "ovu: fault: "},
      {"privileged", 218, "Runtime error 218 at 00[0-3][0-9A-F]{5}\r\n", "ovu: fault: "},
      {"illegal", 255, "Runtime error 255 at 00[0-3][0-9A-F]{5}\r\n", "ovu: fault: "},
      {"overflow", 215, "Runtime error 215 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"bounds", 201, "Runtime error 201 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"control-c-exit", 217, "Runtime error 217 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"abort", 255, "Runtime error 255 at 00AB0255\r\n", "ovu: fault: abort"},
  };
  for (const Case& c : cases) {
    const ProbeRun r = run_probe(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex(c.out))) << c.args << ": " << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
  }
  // The location is where the fault was.
  EXPECT_NE(run_probe("divide").out, run_probe("segv").out);
}

TEST(Win32File, CodesAreTheSystemsReadsComeUpShortWith100AndWritesReplaceTheFileWhole) {
  const Scratch scratch;
  const std::string dir = scratch.path.string();
  // File not found, path not found, access denied (a folder). A device would block or read as empty, so it is
  // refused as no file; it is written where it is, never replaced by a renamed file.
  struct Failure { std::string path; int open, writable; } failures[] = {
      {dir + "\\missing.bmp", 2, 0}, {dir + "\\no-dir\\x.bmp", 3, 3}, {dir, 5, 5}, {"NUL", 222, 0}};
  for (const Failure& f : failures) {
    FileHandle file;
    EXPECT_EQ(file_open(f.path.c_str(), file), f.open) << f.path;
    EXPECT_EQ(check_writable(f.path), f.writable) << f.path;
  }
  EXPECT_TRUE(fs::is_empty(scratch.path));  // the check leaves nothing behind
  EXPECT_EQ(write_file_replacing("NUL", "new", 3), 0);
  // The system's own words, without the full stop and line end it gives them.
  EXPECT_TRUE(std::regex_match(file_error_text(ERROR_FILE_NOT_FOUND), std::regex("[^.\r\n0-9]+")));

  // A file of 100 bytes, which another program may hold open, sharing what it
  // must to let us read. Positioning past the end is no error; the read after it comes up short.
  struct Case { DWORD attributes, access, share; std::uint32_t offset; std::size_t count; int code; } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 99, 2, 100},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 0xFFFFFFFFu, 1, 100},
      {FILE_ATTRIBUTE_READONLY, GENERIC_READ, FILE_SHARE_READ, 54, 10, 0},  // an image viewer
      {FILE_ATTRIBUTE_NORMAL, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 90, 10, 0},  // an editor
  };
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += static_cast<char>(i * 7);
  for (const Case& c : cases) {
    const std::string path = dir + "\\" + std::to_string(&c - cases) + ".bmp";
    std::ofstream(path, std::ios::binary) << bytes;
    SetFileAttributesA(path.c_str(), c.attributes);
    const HANDLE other = CreateFileA(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    FileHandle file;
    ASSERT_EQ(file_open(path.c_str(), file), 0) << path;
    std::string buffer(c.count, '\0');
    EXPECT_EQ(file_seek(file, c.offset), 0) << c.offset;
    EXPECT_EQ(file_read(file, buffer.data(), c.count), c.code) << c.offset << " + " << c.count;
    EXPECT_TRUE(c.code != 0 || buffer == bytes.substr(c.offset, c.count)) << c.offset << " + " << c.count;
    EXPECT_EQ(file_close(file), 0);
    CloseHandle(other);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // so that the folder can go
  }
  // Truncated, not overwritten in place.
  const std::string out = dir + "\\out.png";
  std::ofstream(out, std::ios::binary) << bytes;
  ASSERT_EQ(write_file_replacing(out, "new", 3), 0);
  EXPECT_EQ(read_file(out), "new");
}

constexpr LPARAM kAltHeld = LPARAM{1} << 29;

std::vector<PlatformEvent> drain() {
  std::vector<PlatformEvent> events;
  PlatformEvent event;
  while (platform_poll(event)) {
    events.push_back(event);
    if (event.kind == PlatformEvent::Quit) break;
  }
  return events;
}

TEST(Win32Window, OpensMaximisedAndBorderlessReportsEverySizeAndEndsOnAKeyOrACloseRequest) {
  // Rows with all_monitors: the screensaver run's window, over the virtual screen.
  struct Case { const char* what; UINT message; WPARAM wparam; LPARAM lparam; bool ends, all_monitors, vsync; } cases[] = {
      {"Alt+A", WM_SYSKEYDOWN, 'A', kAltHeld, false, false, true},
      {"click, without vsync", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10), false, false, false},
      {"Q", WM_KEYDOWN, 'Q', 1, true, false, true},
      {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld, true, false, true},  // the system's close request
      {"Q, every monitor", WM_KEYDOWN, 'Q', 1, true, true, true},
      {"Alt+A, every monitor", WM_SYSKEYDOWN, 'A', kAltHeld, true, true, true},  // any key ends the screensaver run
  };
  for (const Case& c : cases) {
    WindowInfo info;
    std::string reason;
    WindowRequest request;
    request.placement = c.all_monitors ? WindowRequest::Placement::AllMonitors : WindowRequest::Placement::Maximised;
    request.vsync = c.vsync;
    ASSERT_TRUE(platform_open(request, info, reason)) << reason;
    EXPECT_EQ(info.swap_interval, c.vsync ? "asked 1, the driver reports 1" : "asked 0, the driver reports 0");
    const HWND handle = FindWindowA("wc", "ovu");
    const LONG_PTR style = GetWindowLongPtrA(handle, GWL_STYLE);
    EXPECT_TRUE((style & WS_POPUP) && !(style & WS_CAPTION) && IsZoomed(handle) != c.all_monitors) << c.what;
    EXPECT_EQ((GetWindowLongPtrA(handle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, c.all_monitors) << c.what;
    const RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                      GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT placed{};
    GetWindowRect(handle, &placed);
    EXPECT_TRUE(!c.all_monitors || EqualRect(&placed, &screen)) << c.what;
    EXPECT_TRUE(info.width > 1 && info.height > 1 && info.depth_bits >= 16);
    // CS_OWNDC: the context's DC is the window's one DC for its whole life.
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(wglGetCurrentDC(), GetDC(handle));
    // Every size report reaches the frame loop in order, those made while it
    // was created and shown included, the shown size last, so that the size
    // rule applies before the first frame.
    const std::vector<PlatformEvent> opening = drain();
    ASSERT_FALSE(opening.empty()) << c.what;
    for (const PlatformEvent& event : opening) EXPECT_EQ(event.kind, PlatformEvent::Resize) << c.what;
    EXPECT_TRUE(opening.back().width == info.width && opening.back().height == info.height) << c.what;
    EXPECT_TRUE(!c.all_monitors || (info.width == screen.right - screen.left && info.height == screen.bottom - screen.top));
    const int sizes[][2] = {{640, 0}, {0, 0}, {40000, 300}};  // both halves unsigned: 40000 is a width
    std::vector<std::pair<int, int>> expected;
    for (const auto& size : sizes) {
      SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(size[0], size[1]));
      expected.emplace_back(size[0], size[1]);
    }
    // A DPI change takes the size Windows suggests; over every monitor, it and a
    // display change take the virtual screen back from wherever the window was.
    RECT suggested{0, 0, 320, 200};
    for (const UINT change : {WM_DPICHANGED, WM_DISPLAYCHANGE}) {
      if (c.all_monitors) {
        SetWindowPos(handle, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        expected.emplace_back(100, 100);
      }
      SendMessageA(handle, change, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
      if (c.all_monitors) expected.emplace_back(screen.right - screen.left, screen.bottom - screen.top);
      else if (change == WM_DPICHANGED) expected.emplace_back(320, 200);
    }
    PostMessageA(handle, c.message, c.wparam, c.lparam);
    const std::vector<PlatformEvent> events = drain();
    ASSERT_EQ(events.size(), expected.size() + c.ends) << c.what;
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_TRUE(events[i].kind == PlatformEvent::Resize && events[i].width == expected[i].first &&
                  events[i].height == expected[i].second) << c.what << " " << i;
    EXPECT_EQ(events.back().kind == PlatformEvent::Quit, c.ends) << c.what;
    EXPECT_EQ(IsWindow(handle) != FALSE, !c.ends) << c.what;
    EXPECT_EQ(wglGetCurrentContext() != nullptr, !c.ends) << c.what;
    // Minimised, nobody sees it; a key or close request ends the question.
    EXPECT_FALSE(platform_unseen()) << c.what;
    ShowWindow(handle, SW_MINIMIZE);
    EXPECT_EQ(platform_unseen(), !c.ends) << c.what;
    platform_close();
    // Closed without a key, it is torn down all the same; its quit message is not the next window's.
    EXPECT_TRUE(!IsWindow(handle) && wglGetCurrentContext() == nullptr) << c.what;
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) continue;
  }
}

std::string handle_text(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

bool same_client_size(HWND a, HWND b) {
  RECT one{}, other{};
  GetClientRect(a, &one);
  GetClientRect(b, &other);
  return one.right == other.right && one.bottom == other.bottom;
}

TEST(Win32Screensaver, PreviewDrawsInsideTheGivenWindowUntilItGoesAwayAndIsRefusedAfter) {
  // The display settings' preview, in miniature. ovu.scr runs from the build folder in the tests' one, which has no
  // bitmaps, as Windows starts it.
  HWND preview = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112, nullptr, nullptr, nullptr,
                                 nullptr);
  Process ovu("..\\ovu.scr /p " + handle_text(preview));
  HWND child = nullptr;
  ASSERT_TRUE(pump_until([&] { return (child = FindWindowExA(preview, nullptr, "wc", nullptr)) != nullptr; }))
      << "exit code " << ovu.wait();
  EXPECT_TRUE(same_client_size(child, preview));

  // The keys are the host's; its size changes are followed. The second is
  // followed only by a frame after the one that took the key.
  PostMessageA(child, WM_KEYDOWN, 'A', 1);
  for (const int width : {200, 240}) {
    SetWindowPos(preview, nullptr, 0, 0, width, 150, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(pump_until([&] { return same_client_size(child, preview); }, 10000)) << width;
  }

  DestroyWindow(preview);
  EXPECT_EQ(ovu.wait(), 0);

  // Started for a window that is gone, it fails; without a console its line has a box of its own.
  Process again("..\\ovu.scr /p:" + handle_text(preview));
  HWND box = nullptr;
  ASSERT_TRUE(pump_until([&] { return (box = FindWindowA("#32770", "Error")) != nullptr; })) << again.wait();
  char text[128] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the control that holds a message box's text
  EXPECT_STREQ(text, "Runtime error   1 at 00D10001");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(again.wait(), 1);
}

// "host /c KEY FPS TITLE VSYNC": ovu.scr's settings dialog for a window of
// ours, which must own it, be centred under it and reach every control by
// Tab. It prints what the dialog shows, sets the controls without notifying,
// and closes it with KEY: the OK or Cancel button ("ok", "cancel") or a key
// ("enter", "escape"). The exit code is ovu.scr's, or 70 with a reason.
int host(int argc, char** argv) {
  const HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 80, 600, 400, nullptr, nullptr,
                                     nullptr, nullptr);
  Process ovu("..\\ovu.scr /c:" + handle_text(owner));
  auto fail = [](const char* reason) { return std::fprintf(stderr, "host: %s\n", reason), 70; };
  HWND dialog = nullptr;
  RECT outer{}, ours{};
  if (argc != 6 || !pump_until([&] { return IsWindowVisible(dialog = FindWindowA("#32770", "ovu settings")); }))
    return fail("no settings dialog");
  if (!GetWindowRect(owner, &outer) || !GetWindowRect(dialog, &ours) || GetWindow(dialog, GW_OWNER) != owner ||
      std::abs(outer.left + outer.right - ours.left - ours.right) > 1 ||
      std::abs(outer.top + outer.bottom - ours.top - ours.bottom) > 1)
    return fail("the dialog is not owned by and centred on its owner");
  std::set<int> reached;
  for (HWND c = GetNextDlgTabItem(dialog, nullptr, FALSE); reached.insert(GetDlgCtrlID(c)).second;)
    c = GetNextDlgTabItem(dialog, c, FALSE);
  if (reached != std::set<int>{OVU_SETTINGS_RATE, OVU_SETTINGS_TITLE, OVU_SETTINGS_VSYNC, IDOK, IDCANCEL})
    return fail("Tab does not reach every control");
  char rate[32] = {};
  GetDlgItemTextA(dialog, OVU_SETTINGS_RATE_TEXT, rate, sizeof rate);
  const auto shown = [&](int id) { return IsDlgButtonChecked(dialog, id) ? "on" : "off"; };
  std::printf("%s, title %s, vsync %s\n", rate, shown(OVU_SETTINGS_TITLE), shown(OVU_SETTINGS_VSYNC));
  SendDlgItemMessageA(dialog, OVU_SETTINGS_RATE, TBM_SETPOS, TRUE, std::atoi(argv[3]));
  SendDlgItemMessageA(dialog, OVU_SETTINGS_TITLE, BM_SETCHECK, std::atoi(argv[4]), 0);
  SendDlgItemMessageA(dialog, OVU_SETTINGS_VSYNC, BM_SETCHECK, std::atoi(argv[5]), 0);
  const std::string key = argv[2];  // a button clicked, or a key pressed in the trackbar
  PostMessageA(GetDlgItem(dialog, key == "ok" ? IDOK : key == "cancel" ? IDCANCEL : OVU_SETTINGS_RATE),
               key == "ok" || key == "cancel" ? BM_CLICK : WM_KEYDOWN, key == "enter" ? VK_RETURN : VK_ESCAPE, 0);
  return ovu.wait();
}

}  // namespace
}  // namespace ovu

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "probe") return ovu::run_guarded(ovu::probe, argc - 1, argv + 1);
  if (argc > 1 && std::string(argv[1]) == "host") return ovu::host(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
