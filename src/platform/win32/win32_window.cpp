// The window, its WGL context and the message pump on Windows (user32, gdi32,
// opengl32). The window procedure owns the context: it is made current in
// WM_CREATE and torn down by the first key-down or close request, after which
// the pump's WM_QUIT is the Quit event. Known limit: one window per process,
// and a format with fewer depth bits than asked for is used as it comes.
// In a screensaver preview (/p) the window is a child of the host's one; the
// screensaver run (/s) covers the virtual screen, every monitor, with one window
// drawn as one scene, and follows it when monitors come or go. Sizes are real
// pixels: the manifest declares the program aware of each monitor's DPI.

#include <windows.h>
#include <mmsystem.h>
#include <windowsx.h>

#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/stop.h"
#include "platform/system_keys.h"
#include "platform/win32/win32_handle.h"

namespace ovu {

namespace {

constexpr const char* kClassName = "wc";
constexpr const char* kTitle = "ovu";
constexpr DWORD kFullStyle = WS_POPUP | WS_MINIMIZE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kCoveringStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kWindowedStyle = WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr BYTE kColourBits = 24;
constexpr BYTE kDepthBits = 32;

struct Backend {
  HINSTANCE instance = nullptr;
  HWND window = nullptr;
  HDC dc = nullptr;
  HGLRC context = nullptr;
  bool live = false;       // context current, not yet torn down
  DWORD context_error = 0; // GetLastError of the context step that failed
  bool quit_seen = false;  // GetMessageA has returned 0
  HWND host = nullptr;     // the preview window we are a child of; its keys are the host's
  bool pointer = false;     // Pointer and Press events asked for
  bool covering = false;   // over the whole virtual screen
  MSG message{};           // the one record every pump call uses
  bool fine_timer = false; // timeBeginPeriod(1) in force, from the first sleep to the close
  std::deque<PlatformEvent> events;
};

Backend g_backend;

// Zeroed first, so no alpha, accumulation, stencil or auxiliary buffers are asked for.
PIXELFORMATDESCRIPTOR pixel_format_request() {
  PIXELFORMATDESCRIPTOR request;
  static_assert(sizeof request == 40);
  ZeroMemory(&request, sizeof request);
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = kColourBits;
  request.cDepthBits = kDepthBits;
  request.iLayerType = PFD_MAIN_PLANE;
  return request;
}

// WM_CREATE. Only the outcome is tested, by platform_open: the context
// itself, since wglMakeCurrent(dc, NULL) succeeds (it merely releases)
// after wglCreateContext has failed for want of a GL driver.
void attach_context(HWND window) {
  g_backend.dc = GetDC(window);
  const PIXELFORMATDESCRIPTOR request = pixel_format_request();
  const int format = ChoosePixelFormat(g_backend.dc, &request);
  SetPixelFormat(g_backend.dc, format, &request);
  g_backend.context = wglCreateContext(g_backend.dc);
  g_backend.live = g_backend.context != nullptr && wglMakeCurrent(g_backend.dc, g_backend.context) &&
                   wglGetCurrentContext() == g_backend.context;
  if (!g_backend.live) g_backend.context_error = GetLastError();
}

// The order matters to drivers: context before DC before window.
void release_context(HWND window) {
  g_backend.live = false;
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(g_backend.context);
  ReleaseDC(window, g_backend.dc);
}

// WM_CLOSE and WM_KEYDOWN. WM_DESTROY inside DestroyWindow posts the quit message.
void tear_down(HWND window) {
  release_context(window);
  DestroyWindow(window);
}

void report_pointer(PlatformEvent::Kind kind, WPARAM wparam, LPARAM lparam) {
  if (!g_backend.pointer) return;
  PlatformEvent event = PlatformEvent::of(kind);
  event.x = GET_X_LPARAM(lparam);
  event.y = GET_Y_LPARAM(lparam);
  event.held = (wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
  g_backend.events.push_back(event);
}

// Every size report reaches the portable size rule, the ones sent while the
// window is created and shown included; the rule itself makes height 0 into 1.
void report_size(LPARAM lparam) {
  PlatformEvent event = PlatformEvent::of(PlatformEvent::Resize);
  event.width = LOWORD(lparam);
  event.height = HIWORD(lparam);
  g_backend.events.push_back(event);
}

RECT virtual_screen() {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// Topmost, so nothing that the desktop opens meanwhile shows through.
void cover_virtual_screen(HWND window) {
  const RECT area = virtual_screen();
  SetWindowPos(window, HWND_TOPMOST, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOACTIVATE);
}

// A window moved onto a monitor of another DPI is given the size Windows
// suggests, which WM_SIZE then reports as any resize.
void follow_dpi(HWND window, LPARAM lparam) {
  if (g_backend.covering) {
    cover_virtual_screen(window);
    return;
  }
  const RECT& suggested = *reinterpret_cast<const RECT*>(lparam);
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: attach_context(window); return 0;
    case WM_DESTROY:
      // A host that closes its preview destroys us with it.
      if (g_backend.live) release_context(window);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (g_backend.live) report_size(lparam);
      return 0;
    // A monitor came, went or changed its mode.
    case WM_DISPLAYCHANGE:
      if (g_backend.covering) cover_virtual_screen(window);
      return 0;
    case WM_DPICHANGED: follow_dpi(window, lparam); return 0;
    // The portable key rule, applied here, where the tear-down is: a key that
    // does not end the run (a preview's, the system keys of our own window)
    // goes on to the default handling, which makes Alt+F4 a WM_CLOSE.
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!key_ends_run(message == WM_KEYDOWN ? PlatformEvent::Key : PlatformEvent::SystemKey,
                        g_backend.host != nullptr, g_backend.covering))
        return DefWindowProcA(window, message, wparam, lparam);
      [[fallthrough]];
    case WM_CLOSE:
      if (g_backend.live) tear_down(window);
      return 0;
    case WM_MOUSEMOVE:
      report_pointer(PlatformEvent::Pointer, wparam, lparam);
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      report_pointer(PlatformEvent::Press, wparam, lparam);
      return DefWindowProcA(window, message, wparam, lparam);
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

void register_class() {
  WNDCLASSA record{};
  record.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  record.lpfnWndProc = window_procedure;
  record.cbClsExtra = 0;
  record.cbWndExtra = 0;
  record.hInstance = g_backend.instance;
  record.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  record.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  record.hbrBackground = nullptr;
  record.lpszMenuName = nullptr;
  record.lpszClassName = kClassName;
  RegisterClassA(&record);
}

// How a placement makes its window.
struct WindowStyle {
  DWORD style = 0;
  DWORD ex_style = WS_EX_APPWINDOW;
  int x = 0, y = 0, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
  HWND parent = nullptr;
  int show = SW_SHOW;
};

WindowStyle window_style(const WindowRequest& request) {
  using Placement = WindowRequest::Placement;
  WindowStyle made;
  switch (request.placement) {
    case Placement::HostWindow: {
      // /p: a child covering the host's preview window.
      RECT client{};
      GetClientRect(g_backend.host, &client);
      made.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
      made.ex_style = 0;
      made.width = client.right;
      made.height = client.bottom;
      made.parent = g_backend.host;
      made.show = SW_SHOWNA;
      break;
    }
    case Placement::Windowed: {
      // A normal window whose client area has the asked-for size.
      RECT frame{0, 0, request.width, request.height};
      AdjustWindowRectEx(&frame, kWindowedStyle, FALSE, made.ex_style);
      made.style = kWindowedStyle;
      made.x = made.y = CW_USEDEFAULT;
      made.width = frame.right - frame.left;
      made.height = frame.bottom - frame.top;
      made.show = SW_SHOWNORMAL;
      break;
    }
    case Placement::AllMonitors: {
      // /s: every monitor, from the start; topmost, so nothing that the
      // desktop opens meanwhile shows through.
      const RECT area = virtual_screen();
      made.style = kCoveringStyle;
      made.ex_style |= WS_EX_TOPMOST;
      made.x = area.left;
      made.y = area.top;
      made.width = area.right - area.left;
      made.height = area.bottom - area.top;
      break;
    }
    default:
      // The demo's own window: a borderless popup, created minimised and shown maximised.
      made.style = kFullStyle;
      made.show = SW_SHOWMAXIMIZED;
      break;
  }
  return made;
}

void create_window(const WindowRequest& request) {
  const WindowStyle made = window_style(request);
  g_backend.covering = request.placement == WindowRequest::Placement::AllMonitors;
  g_backend.window = CreateWindowExA(made.ex_style, kClassName, kTitle, made.style, made.x, made.y, made.width,
                                     made.height, made.parent, nullptr, g_backend.instance, nullptr);
  // Shown only when made: the failure's error code must survive.
  if (g_backend.window == nullptr) return;
  ShowWindow(g_backend.window, made.show);
  UpdateWindow(g_backend.window);
}

// The host may resize its preview or close it at any time.
void follow_host() {
  if (!IsWindow(g_backend.host)) {
    tear_down(g_backend.window);
    return;
  }
  RECT area{}, ours{};
  GetClientRect(g_backend.host, &area);
  GetClientRect(g_backend.window, &ours);
  if (area.right != ours.right || area.bottom != ours.bottom)
    MoveWindow(g_backend.window, 0, 0, area.right, area.bottom, FALSE);
}

// Interval 1, not late-swap tearing (-1): a late frame then waits for the
// next refresh instead of tearing, and every driver with swap control
// offers 1. What was asked and what came back, for the log.
std::string set_swap_interval(bool vsync) {
  using SetInterval = BOOL(WINAPI*)(int);
  using GetInterval = int(WINAPI*)();
  const int asked = vsync ? 1 : 0;
  std::string text = "asked " + std::to_string(asked) + ", ";
  const PROC set = wglGetProcAddress("wglSwapIntervalEXT"), get = wglGetProcAddress("wglGetSwapIntervalEXT");
  if (set == nullptr) return text + "refused: the driver has no swap control";
  if (!reinterpret_cast<SetInterval>(reinterpret_cast<void (*)()>(set))(asked))
    text += "refused (error " + std::to_string(GetLastError()) + "); ";
  if (get == nullptr) return text + "the driver does not report it";
  return text + "the driver reports " + std::to_string(reinterpret_cast<GetInterval>(reinterpret_cast<void (*)()>(get))());
}

int obtained_depth_bits() {
  PIXELFORMATDESCRIPTOR format{};
  const int index = GetPixelFormat(g_backend.dc);
  if (index == 0 || DescribePixelFormat(g_backend.dc, index, sizeof format, &format) == 0) return 0;
  return format.cDepthBits;
}

}  // namespace

bool platform_open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  g_backend = Backend{};
  g_backend.instance = GetModuleHandleA(nullptr);
  g_backend.pointer = request.pointer;
  register_class();
  using Placement = WindowRequest::Placement;
  if (request.placement == Placement::HostRoot) {
    reason = "win32: there is no root window to draw on (--root is for X11 hosts)";
    return false;
  }
  if (request.placement == Placement::Wallpaper) {
    reason = "win32: there is no Wayland desktop to draw the background of (--wallpaper is for Wayland)";
    return false;
  }
  if (request.placement == Placement::HostWindow) {
    g_backend.host = handle_from(request.host_window);
    if (!IsWindow(g_backend.host)) {
      reason = "win32: there is no window " + std::to_string(request.host_window) + " to draw into";
      return false;
    }
  }
  create_window(request);
  if (g_backend.window == nullptr) {
    reason = "win32: cannot create the window (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (!g_backend.live) {
    reason = "win32: no GL context for the window (error " + std::to_string(g_backend.context_error) + ")";
    return false;
  }
  info.swap_interval = set_swap_interval(request.vsync);
  RECT client{};
  GetClientRect(g_backend.window, &client);
  info.width = client.right - client.left;
  info.height = client.bottom - client.top;
  info.depth_bits = obtained_depth_bits();
  return true;
}

bool platform_poll(PlatformEvent& event) {
  if (g_backend.host != nullptr && g_backend.live) follow_host();
  for (;;) {
    if (!g_backend.events.empty()) {
      event = g_backend.events.front();
      g_backend.events.pop_front();
      return true;
    }
    if (g_backend.quit_seen || termination_requested()) {
      event = PlatformEvent::of(PlatformEvent::Quit);
      return true;
    }
    MSG& message = g_backend.message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) return false;
    // -1 is dispatched like any other result; only WM_QUIT ends the pump.
    if (GetMessageA(&message, nullptr, 0, 0) == 0) {
      g_backend.quit_seen = true;
      continue;
    }
    // Untranslated: no WM_CHAR is ever made.
    DispatchMessageA(&message);
  }
}

std::uint32_t platform_ticks_ms() { return GetTickCount(); }

// Sleep counts in the system timer's ticks, 15.6 ms unless a finer one is
// asked for; with 1 ms a paced 60 frames a second can be kept.
void platform_sleep_us(std::int64_t microseconds) {
  if (!g_backend.fine_timer) g_backend.fine_timer = timeBeginPeriod(1) == TIMERR_NOERROR;
  Sleep(static_cast<DWORD>((microseconds + 500) / 1000));
}

// Minimised, the preview's host window included, or hidden. A window
// already torn down is the Quit's business.
bool platform_unseen() {
  return g_backend.live && (IsIconic(GetAncestor(g_backend.window, GA_ROOT)) || !IsWindowVisible(g_backend.window));
}

// Input counts even when an earlier peek has seen it.
void platform_wait_events(int milliseconds) {
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(milliseconds), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// The window is the one drawable, its context always current.
bool platform_select_drawable(int index, int&, int&) { return index == 0; }

void platform_hide_cursor() { ShowCursor(FALSE); }

void platform_swap() { SwapBuffers(g_backend.dc); }

void platform_message(const std::string& text, std::uint32_t parent) {
  MessageBoxA(parent != 0 ? handle_from(parent) : nullptr, text.c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
}

void platform_close() {
  // A key or close request has usually torn everything down already.
  if (g_backend.live) tear_down(g_backend.window);
  g_backend.events.clear();
  if (g_backend.fine_timer) timeEndPeriod(1);
  g_backend.fine_timer = false;
}

}  // namespace ovu
