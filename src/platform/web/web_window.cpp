// The window, GL context and events in a web page, through Emscripten's html5
// API. The page's canvas "#canvas" is the window: it fills the page and
// follows its size, or keeps the size asked for, in device pixels whatever
// the zoom or screen. The context is WebGL 1, and our GL 1.1 subset
// (gl11_calls.cpp) draws through it; a lost context is asked back and made
// again. The mouse and every finger on the canvas press into the water, and
// the page's pause stops the clock. The frames are called from the browser's
// main loop, which shows each frame and delivers input between them. Known
// limits: no screensaver host windows; the page, not we, owns the tab, so
// closing it ends everything without an orderly end.

#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/system_keys.h"
#include "platform/web/gl11_state.h"

namespace ovu {

namespace {

constexpr const char* kCanvas = "#canvas";

struct Backend {
  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
  bool fixed_size = false;  // a size was asked for: the page's size does not change it
  int width = 0, height = 0;  // the canvas in device pixels
  double pixel_ratio = 1;     // device pixels per CSS pixel when the canvas was sized
  bool paced = true;          // a frame per animation frame, else as fast as the page allows
  bool context_restored = false;
  std::deque<PlatformEvent> events;
};

Backend g_backend;

// The canvas in device pixels, its CSS size such that one pixel is one pixel on screen.
void size_canvas(int width, int height) {
  const double ratio = emscripten_get_device_pixel_ratio();
  emscripten_set_canvas_element_size(kCanvas, width, height);
  emscripten_set_element_css_size(kCanvas, width / ratio, height / ratio);
  g_backend.width = width;
  g_backend.height = height;
  g_backend.pixel_ratio = ratio;
}

EM_JS(double, page_width, (), { return window.innerWidth; });
EM_JS(double, page_height, (), { return window.innerHeight; });
// What the page's own script defines is named in quotes, which the closure
// compiler leaves as they are.
EM_JS(void, hide_cursor, (), { Module['canvas'].style.cursor = 'none'; });
EM_JS(void, count_frame, (), { if (window['ovu']) window['ovu']['frameDrawn'](); });
EM_JS(int, page_paused, (), { return window['ovu'] && window['ovu']['paused'] ? 1 : 0; });
// The page's clock, which stands still while the page is paused.
EM_JS(double, page_clock_ms, (), { return window['ovu'] ? window['ovu']['clock']() : performance.now(); });
// Whether the focus is on one of the page's controls, which take Enter and Space.
EM_JS(int, control_focused, (), { return document.activeElement && document.activeElement.tagName === 'BUTTON' ? 1 : 0; });
EM_JS(int, page_asks_unpaced, (), { return Module['unpaced'] ? 1 : 0; });

// The page's inner size in device pixels.
void page_size(int& width, int& height) {
  const double ratio = emscripten_get_device_pixel_ratio();
  width = static_cast<int>(std::lround(page_width() * ratio));
  height = static_cast<int>(std::lround(page_height() * ratio));
}

// The desktop's system keys mean here what they mean there. The page's own
// controls keep theirs: Tab and Shift+Tab move the focus, and Enter and
// Space press the control that has it.
EM_BOOL on_key_down(int, const EmscriptenKeyboardEvent* key, void*) {
  const auto is = [&](const char* name) { return std::strcmp(key->key, name) == 0; };
  if (is("Tab") || is("Shift") || ((is("Enter") || is(" ")) && control_focused())) return EM_FALSE;
  const KeyName name = is("Alt") ? KeyName::Alt : is("F4") ? KeyName::F4 : is("F10") ? KeyName::F10 : KeyName::Other;
  g_backend.events.push_back(PlatformEvent::of(key_down_kind(name, key->altKey)));
  return EM_TRUE;  // nor do they reach the browser's own shortcuts and menus
}

// A press (kind Press) or a move (Pointer, `held` while it drags) of the mouse or a finger.
void report_pointer(PlatformEvent::Kind kind, long x, long y, int pointer, bool held) {
  if (page_paused()) return;  // nothing falls into water that stands still
  PlatformEvent event = PlatformEvent::of(kind);
  event.x = static_cast<int>(std::floor(static_cast<double>(x) * g_backend.pixel_ratio));
  event.y = static_cast<int>(std::floor(static_cast<double>(y) * g_backend.pixel_ratio));
  event.pointer = pointer;
  event.held = held;
  g_backend.events.push_back(event);
}

constexpr int kMouse = -1;  // fingers are numbered from 0

EM_BOOL on_mouse(int type, const EmscriptenMouseEvent* mouse, void*) {
  report_pointer(type == EMSCRIPTEN_EVENT_MOUSEDOWN ? PlatformEvent::Press : PlatformEvent::Pointer, mouse->targetX,
                 mouse->targetY, kMouse, mouse->buttons != 0);
  return EM_FALSE;
}

// Handled, so the page neither scrolls nor zooms and no mouse events follow.
EM_BOOL on_touch(int type, const EmscriptenTouchEvent* touch, void*) {
  for (int n = 0; n < touch->numTouches; ++n) {
    const EmscriptenTouchPoint& finger = touch->touches[n];
    if (!finger.isChanged) continue;
    report_pointer(type == EMSCRIPTEN_EVENT_TOUCHSTART ? PlatformEvent::Press : PlatformEvent::Pointer, finger.targetX,
                   finger.targetY, static_cast<int>(finger.identifier), true);
  }
  return EM_TRUE;
}

void follow_page() {
  PlatformEvent event = PlatformEvent::of(PlatformEvent::Resize);
  page_size(event.width, event.height);
  size_canvas(event.width, event.height);
  g_backend.events.push_back(event);
}

EM_BOOL on_resize(int, const EmscriptenUiEvent*, void*) {
  follow_page();
  return EM_FALSE;
}

// Zoom and a move to a screen of another density change the device pixel
// ratio, the latter without a resize event: the canvas is sized again in
// device pixels, and a canvas of a given size keeps it.
void follow_pixel_ratio() {
  if (emscripten_get_device_pixel_ratio() == g_backend.pixel_ratio) return;
  if (g_backend.fixed_size)
    size_canvas(g_backend.width, g_backend.height);
  else
    follow_page();
}

// Handled, so the browser gives the context back when it can; the page says
// so when it does not.
EM_BOOL on_context_lost(int, const void*, void*) { return EM_TRUE; }

EM_BOOL on_context_restored(int, const void*, void*) {
  g_backend.context_restored = true;
  return EM_FALSE;
}

}  // namespace

bool platform_open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  using Placement = WindowRequest::Placement;
  if (request.hosted()) {
    reason = "web: a page has no screensaver host's window to draw into";
    return false;
  }
  if (request.placement == Placement::Wallpaper) {
    reason = "web: a page cannot be the background of a desktop";
    return false;
  }
  g_backend.fixed_size = request.placement == Placement::Windowed;
  g_backend.paced = !page_asks_unpaced();
  int width = request.width, height = request.height;
  if (!g_backend.fixed_size) page_size(width, height);
  size_canvas(width, height);

  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_FALSE;
  attributes.antialias = EM_FALSE;  // GL 1.1 draws aliased
  attributes.majorVersion = 1;
  g_backend.context = emscripten_webgl_create_context(kCanvas, &attributes);
  if (g_backend.context <= 0) {
    reason = "web: cannot create a WebGL context (is WebGL switched off in this browser?)";
    return false;
  }
  emscripten_webgl_make_context_current(g_backend.context);
  // The software rasterisers we are compared with do not dither either.
  glDisable(GL_DITHER);
  GLint depth_bits = 0;
  emscripten_glGetIntegerv(GL_DEPTH_BITS, &depth_bits);
  info.depth_bits = depth_bits;
  emscripten_get_canvas_element_size(kCanvas, &info.width, &info.height);

  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, on_key_down);
  if (request.pointer) {
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_FALSE, on_mouse);
    emscripten_set_mousemove_callback(kCanvas, nullptr, EM_FALSE, on_mouse);
    emscripten_set_touchstart_callback(kCanvas, nullptr, EM_FALSE, on_touch);
    emscripten_set_touchmove_callback(kCanvas, nullptr, EM_FALSE, on_touch);
  }
  if (!g_backend.fixed_size) emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, on_resize);
  emscripten_set_webglcontextlost_callback(kCanvas, nullptr, EM_FALSE, on_context_lost);
  emscripten_set_webglcontextrestored_callback(kCanvas, nullptr, EM_FALSE, on_context_restored);
  return true;
}

bool platform_poll(PlatformEvent& event) {
  if (g_backend.events.empty()) return false;
  event = g_backend.events.front();
  g_backend.events.pop_front();
  return true;
}

std::uint32_t platform_ticks_ms() { return static_cast<std::uint32_t>(static_cast<std::uint64_t>(page_clock_ms())); }

// A hidden page gets no animation frames, which pauses a paced run already.
bool platform_unseen() { return false; }

// A paused page keeps its last frame on the screen until it is resumed, or a
// key that ends the run arrives; its clock stands still meanwhile, so the
// water goes on where it stood. Batch runs pause too: a pause is a person's.
bool platform_paused() { return page_paused(); }

namespace {

struct Frames {
  NextFrame (*frame)(void*) = nullptr;
  int (*finish)(void*) = nullptr;
  void* run = nullptr;
  double due_ms = 0;  // the next frame not before this
};

Frames g_frames;

// How often a paused page looks for the resume or a key.
constexpr double kIdleMs = 50;
// A frame due within this is drawn now: the next animation frame would be later.
constexpr double kEarlyMs = 2;

// A turn of the browser's main loop: each animation frame when paced, else
// when the wait the last frame asked for is over. The loop's timeout counts
// from the start of a turn that began in timeout mode, so it may come early;
// it then waits out the rest.
void main_loop_turn(void*) {
  const double early_ms = g_frames.due_ms - emscripten_get_now();
  if (early_ms > kEarlyMs) {
    if (!g_backend.paced)
      emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, static_cast<int>(std::ceil(early_ms)));
    return;
  }
  const NextFrame next = g_frames.frame(g_frames.run);
  if (next.kind == NextFrame::Stop) {
    emscripten_cancel_main_loop();
    emscripten_force_exit(g_frames.finish(g_frames.run));
  }
  const double after_ms = next.kind == NextFrame::Idle ? kIdleMs : static_cast<double>(next.microseconds) / 1000;
  g_frames.due_ms = emscripten_get_now() + after_ms;
  if (g_backend.paced)
    emscripten_set_main_loop_timing(EM_TIMING_RAF, 1);
  else if (after_ms > 0)
    emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, static_cast<int>(std::ceil(after_ms)));
  else
    emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
}

}  // namespace

// Paced, a frame per animation frame at most, each shown when the browser
// next paints; a hidden page gets none, and its first frame back takes the
// clamped step of a long frame. Unpaced, the next frame comes as soon as the
// browser has had a turn of its event loop.
int platform_run_frames(NextFrame (*frame)(void*), int (*finish)(void*), void* run) {
  g_frames = Frames{frame, finish, run, 0};
  emscripten_set_main_loop_arg(main_loop_turn, nullptr, 0, EM_TRUE);
  return 0;  // never reached: the call above leaves main for the browser's loop
}

// The canvas is the one drawable, its context always current.
bool platform_select_drawable(int index, int&, int&) { return index == 0; }

void platform_hide_cursor() { hide_cursor(); }

// The page counts the frames. The frame is shown when the browser gets
// control back.
void platform_swap() {
  count_frame();
  follow_pixel_ratio();
  if (g_backend.context_restored) {
    g_backend.context_restored = false;
    restore_gl11_context();
  }
}

void platform_message(const std::string& text, std::uint32_t) { std::printf("%s\n", text.c_str()); }

// The last frame stays on the canvas under the page's closing note; only
// the input and the context go.
void platform_close() {
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
  emscripten_set_mousedown_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_set_mousemove_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_set_touchstart_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_set_touchmove_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
  emscripten_set_webglcontextlost_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_set_webglcontextrestored_callback(kCanvas, nullptr, EM_FALSE, nullptr);
  emscripten_webgl_make_context_current(0);
  g_backend = Backend{};
}

}  // namespace ovu
