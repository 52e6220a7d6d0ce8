// The Win32 window procedure and pump as the frame loop sees them: size
// reports, the key that ends it, the system keys that do not, close requests.
// Needs a display (wine under xvfb-run) and a GL driver.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gl/gl_api.h"
#include "gl/scene.h"
#include "platform/platform.h"

namespace ovu {
namespace {

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

bool ended(const std::vector<PlatformEvent>& events) {
  return !events.empty() && events.back().kind == PlatformEvent::Quit;
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
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(IsZoomed(window.handle));
  EXPECT_TRUE(GetWindowLongPtrA(window.handle, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetClassLongPtrA(window.handle, GCL_STYLE), CS_VREDRAW | CS_HREDRAW | CS_OWNDC);
  EXPECT_GT(window.info.width, 1);
  EXPECT_GT(window.info.height, 1);
  EXPECT_GE(window.info.depth_bits, 16);
  EXPECT_NE(wglGetCurrentContext(), nullptr);
  // CS_OWNDC: the context's DC is the window's one DC for its whole life.
  EXPECT_EQ(wglGetCurrentDC(), GetDC(window.handle));
  // The sizes reported while the window was made reach the frame loop, the
  // shown size last, so the size rule is applied before the first frame.
  ASSERT_FALSE(window.opening.empty());
  for (const PlatformEvent& event : window.opening) EXPECT_EQ(event.kind, PlatformEvent::Resize);
  EXPECT_EQ(window.opening.back().width, window.info.width);
  EXPECT_EQ(window.opening.back().height, window.info.height);
}

TEST(Win32Window, EverySizeReportReachesTheSizeRuleInOrder) {
  Window window;
  struct Case {
    int width, height;
    GLint viewport_height;
  } cases[] = {{640, 0, 1}, {0, 0, 1}, {800, 600, 600}, {40000, 300, 300}};
  for (const Case& c : cases) SendMessageA(window.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
  const auto events = drain();
  ASSERT_EQ(events.size(), std::size(cases));
  GLint largest[2] = {};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Case& c = cases[i];
    ASSERT_EQ(events[i].kind, PlatformEvent::Resize);
    // Both halves unsigned: 40000 is a width, not a negative number.
    EXPECT_EQ(events[i].width, c.width);
    EXPECT_EQ(events[i].height, c.height);
    apply_window_size(events[i].width, events[i].height);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], std::min(c.width, largest[0]));
    EXPECT_EQ(viewport[3], c.viewport_height);
    if (c.width == 0) continue;  // aspect 0: GLU leaves the projection alone
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[5] / projection[0], double(c.width) / c.viewport_height, 1e-3 * c.width);
  }
}

TEST(Win32Window, KeyDownEndsItButSystemKeysAndTheMouseDoNot) {
  Window window;
  PostMessageA(window.handle, WM_SYSKEYDOWN, 'A', kAltHeld);
  PostMessageA(window.handle, WM_SYSKEYDOWN, VK_F10, 0);
  PostMessageA(window.handle, WM_SYSKEYDOWN, VK_MENU, kAltHeld);
  PostMessageA(window.handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  PostMessageA(window.handle, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  EXPECT_FALSE(ended(drain()));
  EXPECT_TRUE(IsWindow(window.handle));
  EXPECT_NE(wglGetCurrentContext(), nullptr);

  PostMessageA(window.handle, WM_KEYDOWN, 'Q', 1);
  EXPECT_TRUE(ended(drain()));
  EXPECT_FALSE(IsWindow(window.handle));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST(Win32Window, CloseRequestsAndAltF4EndItLikeAKey) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  } cases[] = {{"WM_CLOSE", WM_CLOSE, 0, 0}, {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld}};
  for (const Case& c : cases) {
    Window window;
    PostMessageA(window.handle, c.message, c.wparam, c.lparam);
    EXPECT_TRUE(ended(drain())) << c.what;
    EXPECT_FALSE(IsWindow(window.handle)) << c.what;
    EXPECT_EQ(wglGetCurrentContext(), nullptr) << c.what;
  }
}

TEST(Win32Window, ClosingWithoutAKeyTearsDownAsWell) {
  HWND handle = nullptr;
  {
    Window window;
    handle = window.handle;
    ASSERT_TRUE(IsWindow(handle));
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

}  // namespace
}  // namespace ovu
