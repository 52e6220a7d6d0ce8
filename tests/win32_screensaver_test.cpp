// ovu.scr as Windows starts it: a GUI program that draws its preview (/p)
// in a child of the window it is given, at that window's size, until the
// window goes away, answers /c with a message and, having no console, shows
// a runtime-error line in a box. Started from a folder without bitmaps, as
// Windows does. Needs a display (wine under
// xvfb-run) and a GL driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace ovu {
namespace {

constexpr int kMessageBoxText = 0xFFFF;  // the control that holds a message box's text

// A file of the build directory, one above the tests' own.
std::string build_file(const char* name) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, length);
  path = path.substr(0, path.find_last_of("\\/"));
  return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

std::string tests_folder() {
  const std::string file = build_file("tests\\x");
  return file.substr(0, file.size() - 2);
}

void pump_for(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
}

// Pumps our own windows' messages while it waits: the program's window
// calls into the preview window, which only answers while we pump.
template <class Condition>
bool pump_until(Condition condition, DWORD milliseconds = 30000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > milliseconds) return false;
    pump_for(50);
  }
  return true;
}

// The display settings' preview, in miniature.
struct PreviewWindow {
  HWND handle = nullptr;
  PreviewWindow(int width, int height) {
    WNDCLASSA record{};
    record.lpfnWndProc = DefWindowProcA;
    record.hInstance = GetModuleHandleA(nullptr);
    record.lpszClassName = "preview";
    RegisterClassA(&record);
    handle = CreateWindowExA(0, "preview", "preview", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                             nullptr, record.hInstance, nullptr);
  }
  ~PreviewWindow() {
    if (IsWindow(handle)) DestroyWindow(handle);
  }
};

struct Process {
  PROCESS_INFORMATION info{};
  bool started = false;
  explicit Process(const std::string& arguments) {
    std::string command = "\"" + build_file("ovu.scr") + "\"" + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, tests_folder().c_str(),
                             &startup, &info) != FALSE;
  }
  bool running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
  // The exit code, or -1 when it did not end in time.
  int wait() {
    if (!pump_until([&] { return !running(); })) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return static_cast<int>(code);
  }
  ~Process() {
    if (!started) return;
    if (running()) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
};

bool client_size_is(HWND window, const RECT& size) {
  RECT area{};
  GetClientRect(window, &area);
  return area.right == size.right && area.bottom == size.bottom;
}

TEST(Win32Screensaver, PreviewDrawsInsideTheGivenWindowUntilItGoesAway) {
  PreviewWindow preview(152, 112);
  ASSERT_NE(preview.handle, nullptr);
  const auto handle = static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(preview.handle));
  Process ovu(" /p " + std::to_string(handle));
  ASSERT_TRUE(ovu.started);
  HWND child = nullptr;
  ASSERT_TRUE(pump_until([&] { return (child = FindWindowExA(preview.handle, nullptr, "wc", nullptr)) != nullptr; }))
      << "exit code " << (ovu.running() ? -1 : ovu.wait());
  DWORD owner = 0;
  GetWindowThreadProcessId(child, &owner);
  EXPECT_EQ(owner, ovu.info.dwProcessId);
  RECT area{};
  GetClientRect(preview.handle, &area);
  EXPECT_TRUE(client_size_is(child, area));

  // The keys are the host's; its size changes are followed.
  PostMessageA(child, WM_KEYDOWN, 'A', 1);
  pump_for(500);
  EXPECT_TRUE(ovu.running());
  SetWindowPos(preview.handle, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(preview.handle, &area);
  EXPECT_TRUE(pump_until([&] { return client_size_is(child, area); }, 10000));

  DestroyWindow(preview.handle);
  EXPECT_EQ(ovu.wait(), 0);
}

TEST(Win32Screensaver, ConfigureSaysThereIsNothingToSetAndAFailureShowsItsLineInABox) {
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const auto handle = static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(gone));
  DestroyWindow(gone);
  // Without a console the runtime-error line has a box of its own.
  struct Case {
    std::string arguments;
    const char* caption;
    const char* text;
    int exit_code;
  } cases[] = {
      {"", "ovu", "nothing to configure", 0},
      {" /c", "ovu", "nothing to configure", 0},
      {" /c:0", "ovu", "nothing to configure", 0},
      {" /p:" + std::to_string(handle), "Error", "Runtime error   1 at 00D10001", 1},
  };
  for (const Case& c : cases) {
    Process ovu(c.arguments);
    ASSERT_TRUE(ovu.started);
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
