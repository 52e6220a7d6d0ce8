// The Win32 window as the frame loop sees it (size reports, the key that ends
// it, the system keys that do not, close requests), and ovu.scr as Windows
// starts it: a preview (/p) drawn in a child of the window it is given until
// that goes away, /c answered with a message and, having no console, a
// runtime-error line shown in a box. Needs a display and a GL driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace ovu {
namespace {

constexpr LPARAM kAltHeld = LPARAM{1} << 29;
constexpr int kMessageBoxText = 0xFFFF;  // the control that holds a message box's text

std::vector<PlatformEvent> drain() {
  std::vector<PlatformEvent> events;
  PlatformEvent event;
  while (platform_poll(event)) {
    events.push_back(event);
    if (event.kind == PlatformEvent::Quit) break;
  }
  return events;
}

struct Window {
  WindowInfo info;
  HWND handle = nullptr;
  std::vector<PlatformEvent> opening;  // what creating and showing reported
  Window() {
    std::string reason;
    EXPECT_TRUE(platform_open(WindowRequest{}, info, reason)) << reason;
    handle = FindWindowA("wc", "ovu");
    opening = drain();
  }
  ~Window() { platform_close(); }
};

TEST(Win32Window, OpensMaximisedAndBorderlessWithItsContextCurrent) {
  Window window;
  ASSERT_NE(window.handle, nullptr);
  const LONG_PTR style = GetWindowLongPtrA(window.handle, GWL_STYLE);
  EXPECT_TRUE((style & WS_POPUP) && !(style & WS_CAPTION) && IsZoomed(window.handle));
  EXPECT_TRUE(GetWindowLongPtrA(window.handle, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetClassLongPtrA(window.handle, GCL_STYLE), CS_VREDRAW | CS_HREDRAW | CS_OWNDC);
  EXPECT_TRUE(window.info.width > 1 && window.info.height > 1 && window.info.depth_bits >= 16);
  // CS_OWNDC: the context's DC is the window's one DC for its whole life.
  EXPECT_NE(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(wglGetCurrentDC(), GetDC(window.handle));
  // The sizes reported while it was made reach the frame loop, the shown size
  // last, so the size rule is applied before the first frame.
  ASSERT_FALSE(window.opening.empty());
  for (const PlatformEvent& event : window.opening) EXPECT_EQ(event.kind, PlatformEvent::Resize);
  EXPECT_EQ(window.opening.back().width, window.info.width);
  EXPECT_EQ(window.opening.back().height, window.info.height);

  // Every later report as well, in order, both halves unsigned: 40000 is a width.
  const int sizes[][2] = {{640, 0}, {0, 0}, {800, 600}, {40000, 300}};
  for (const auto& size : sizes) SendMessageA(window.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(size[0], size[1]));
  const auto events = drain();
  ASSERT_EQ(events.size(), std::size(sizes));
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].kind, PlatformEvent::Resize);
    EXPECT_TRUE(events[i].width == sizes[i][0] && events[i].height == sizes[i][1]) << i;
  }
}

TEST(Win32Window, AKeyDownOrACloseRequestEndsItButSystemKeysAndTheMouseDoNot) {
  struct Case { const char* what; UINT message; WPARAM wparam; LPARAM lparam; bool ends; } cases[] = {
      {"Alt+A", WM_SYSKEYDOWN, 'A', kAltHeld, false},
      {"F10", WM_SYSKEYDOWN, VK_F10, 0, false},
      {"Alt", WM_SYSKEYDOWN, VK_MENU, kAltHeld, false},
      {"click", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10), false},
      {"pointer", WM_MOUSEMOVE, 0, MAKELPARAM(20, 20), false},
      {"Q", WM_KEYDOWN, 'Q', 1, true},
      {"WM_CLOSE", WM_CLOSE, 0, 0, true},
      {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld, true},
  };
  for (const Case& c : cases) {
    HWND handle = nullptr;
    {
      Window window;
      handle = window.handle;
      PostMessageA(handle, c.message, c.wparam, c.lparam);
      const auto events = drain();
      EXPECT_EQ(!events.empty() && events.back().kind == PlatformEvent::Quit, c.ends) << c.what;
      EXPECT_EQ(IsWindow(handle) != FALSE, !c.ends) << c.what;
      EXPECT_EQ(wglGetCurrentContext() != nullptr, !c.ends) << c.what;
    }
    // Closed without a key, it is torn down all the same; its quit message is not the next window's.
    EXPECT_TRUE(!IsWindow(handle) && wglGetCurrentContext() == nullptr) << c.what;
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) continue;
  }
}

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

// ovu.scr from the build folder, started in the tests' one, which has no bitmaps, as Windows does.
struct Screensaver {
  PROCESS_INFORMATION info{};
  explicit Screensaver(std::string arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    arguments = "..\\ovu.scr " + arguments;
    EXPECT_TRUE(CreateProcessA(nullptr, arguments.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  }
  bool running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
  int wait() {  // the exit code, or -1 when it did not end in time
    DWORD code = DWORD(-1);
    if (pump_until([&] { return !running(); })) GetExitCodeProcess(info.hProcess, &code);
    return static_cast<int>(code);
  }
  ~Screensaver() {
    if (running()) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
};

std::string handle_text(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

bool same_client_size(HWND a, HWND b) {
  RECT one{}, other{};
  GetClientRect(a, &one);
  GetClientRect(b, &other);
  return one.right == other.right && one.bottom == other.bottom;
}

TEST(Win32Screensaver, PreviewDrawsInsideTheGivenWindowUntilItGoesAway) {
  // The display settings' preview, in miniature.
  HWND preview = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112, nullptr, nullptr, nullptr,
                                 nullptr);
  Screensaver ovu("/p " + handle_text(preview));
  HWND child = nullptr;
  ASSERT_TRUE(pump_until([&] { return (child = FindWindowExA(preview, nullptr, "wc", nullptr)) != nullptr; }))
      << "exit code " << ovu.wait();
  DWORD owner = 0;
  GetWindowThreadProcessId(child, &owner);
  EXPECT_EQ(owner, ovu.info.dwProcessId);
  EXPECT_TRUE(same_client_size(child, preview));

  // The keys are the host's; its size changes are followed.
  PostMessageA(child, WM_KEYDOWN, 'A', 1);
  pump_until([] { return false; }, 500);
  EXPECT_TRUE(ovu.running());
  SetWindowPos(preview, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(pump_until([&] { return same_client_size(child, preview); }, 10000));

  DestroyWindow(preview);
  EXPECT_EQ(ovu.wait(), 0);
}

TEST(Win32Screensaver, ConfigureSaysThereIsNothingToSetAndAFailureShowsItsLineInABox) {
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  struct Case { std::string arguments; const char* caption; const char* text; int exit_code; } cases[] = {
      {"", "ovu", "nothing to configure", 0},
      {"/c", "ovu", "nothing to configure", 0},
      {"/c:0", "ovu", "nothing to configure", 0},
      // Without a console the runtime-error line has a box of its own.
      {"/p:" + handle_text(gone), "Error", "Runtime error   1 at 00D10001", 1},
  };
  for (const Case& c : cases) {
    Screensaver ovu(c.arguments);
    HWND box = nullptr;
    ASSERT_TRUE(pump_until([&] { return (box = FindWindowA("#32770", c.caption)) != nullptr; })) << c.arguments;
    char text[128] = {};
    GetDlgItemTextA(box, kMessageBoxText, text, sizeof text);
    EXPECT_NE(std::string(text).find(c.text), std::string::npos) << c.arguments << ": " << text;
    // An OK button and no Cancel: MB_OK, as every other kind of box lacks one or has the other.
    EXPECT_TRUE(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr) << c.arguments;
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << c.arguments;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ovu.wait(), c.exit_code) << c.arguments;
  }
}

}  // namespace
}  // namespace ovu
