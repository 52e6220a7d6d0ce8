// The wallpaper: a layer on the background of every Wayland output, through
// the layer-shell protocol of wlroots compositors and KDE Plasma, drawn with
// desktop GL through EGL. One context draws every output in turn, so the
// textures are loaded once and every output shows the same water. The
// compositor paces each output with its frame callbacks (swap interval 0):
// an output that is covered or powered off asks for none, and with no
// output asking, the program waits on the connection.
// Depends on libwayland-client, libwayland-egl and libEGL with desktop GL.
// Known limit: outputs with a scale above 1 get the layer at its logical
// size, scaled up by the compositor.

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <poll.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/environment.h"
#include "platform/backend.h"
#include "platform/stop.h"
#include "wlr-layer-shell-unstable-v1-client.h"

namespace ovu {

namespace {

struct Output {
  std::uint32_t global = 0;  // its name in the registry
  wl_output* output = nullptr;
  std::string name;
  bool announced = false;  // its first `done` has come
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  wl_egl_window* window = nullptr;
  EGLSurface drawable = EGL_NO_SURFACE;
  wl_callback* frame = nullptr;
  int width = 0;
  int height = 0;
  bool wants_frame = false;  // configured, and the last frame callback has come
  bool drawn = false;        // drawn this frame, to be shown at the swap
};

struct Wallpaper {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* shell = nullptr;
  std::string only_output;  // empty: every output
  std::vector<std::unique_ptr<Output>> outputs;
  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};

Wallpaper g;

bool drawing(const Output& output) { return output.drawable != EGL_NO_SURFACE; }

bool make_current(EGLSurface surface) { return eglMakeCurrent(g.egl, surface, surface, g.context) == EGL_TRUE; }

// What is left of the layer goes; the output stays until it goes away itself.
void drop_layer(Output& output) {
  if (output.drawable != EGL_NO_SURFACE) {
    if (eglGetCurrentSurface(EGL_DRAW) == output.drawable) make_current(EGL_NO_SURFACE);
    eglDestroySurface(g.egl, output.drawable);
  }
  if (output.window != nullptr) wl_egl_window_destroy(output.window);
  if (output.frame != nullptr) wl_callback_destroy(output.frame);
  if (output.layer != nullptr) zwlr_layer_surface_v1_destroy(output.layer);
  if (output.surface != nullptr) wl_surface_destroy(output.surface);
  output.drawable = EGL_NO_SURFACE;
  output.window = nullptr;
  output.frame = nullptr;
  output.layer = nullptr;
  output.surface = nullptr;
  output.wants_frame = output.drawn = false;
}

void frame_done(void* data, wl_callback* callback, std::uint32_t) {
  auto* output = static_cast<Output*>(data);
  wl_callback_destroy(callback);
  output->frame = nullptr;
  output->wants_frame = true;
}
const wl_callback_listener kFrameListener = {frame_done};

void configure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
               std::uint32_t height) {
  auto* output = static_cast<Output*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  // Anchored to all four edges, the size is the output's; 0 would be a compositor's mistake.
  if (width == 0 || height == 0) return;
  output->width = static_cast<int>(width);
  output->height = static_cast<int>(height);
  output->wants_frame = true;
  if (output->window != nullptr) {
    wl_egl_window_resize(output->window, output->width, output->height, 0, 0);
    return;
  }
  output->window = wl_egl_window_create(output->surface, output->width, output->height);
  if (output->window != nullptr)
    output->drawable = eglCreateWindowSurface(g.egl, g.config, reinterpret_cast<EGLNativeWindowType>(output->window),
                                              nullptr);
  if (output->drawable == EGL_NO_SURFACE || !make_current(output->drawable)) {
    drop_layer(*output);
    return;
  }
  // Interval 1 would block each swap on that output's next frame; the frame
  // callbacks pace every output instead, each at its own rate.
  eglSwapInterval(g.egl, 0);
}

// The layer goes for good: an output gets its one layer at its first `done`.
void closed(void* data, zwlr_layer_surface_v1*) { drop_layer(*static_cast<Output*>(data)); }
const zwlr_layer_surface_v1_listener kLayerListener = {configure, closed};

// A background layer over the whole output, under panels too (an exclusive
// zone of -1, as a wallpaper has), that takes no keyboard and, with an empty
// input region, no pointer: clicks reach the desktop.
void make_layer(Output& output) {
  output.surface = wl_compositor_create_surface(g.compositor);
  wl_region* nothing = wl_compositor_create_region(g.compositor);
  wl_surface_set_input_region(output.surface, nothing);
  wl_region_destroy(nothing);
  output.layer = zwlr_layer_shell_v1_get_layer_surface(g.shell, output.surface, output.output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "wallpaper");
  zwlr_layer_surface_v1_set_anchor(output.layer,
                                   ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(output.layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(output.layer, 0);
  zwlr_layer_surface_v1_add_listener(output.layer, &kLayerListener, &output);
  wl_surface_commit(output.surface);
}

void output_geometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     const char*, const char*, std::int32_t) {}
void output_mode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void output_scale(void*, wl_output*, std::int32_t) {}
void output_description(void*, wl_output*, const char*) {}
void output_name(void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name; }

// Its name has come by its first `done`: a layer, when it is one of ours.
void output_done(void* data, wl_output*) {
  auto* output = static_cast<Output*>(data);
  if (output->announced) return;
  output->announced = true;
  if (g.only_output.empty() || output->name == g.only_output) make_layer(*output);
}
const wl_output_listener kOutputListener = {output_geometry, output_mode, output_done,
                                            output_scale,    output_name, output_description};

void global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
  auto bind = [&](const wl_interface* kind, std::uint32_t highest) {
    return wl_registry_bind(registry, name, kind, version < highest ? version : highest);
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    g.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    g.shell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
    // Version 4 names the output, for --output; 2 has `done`.
    auto output = std::make_unique<Output>();
    output->global = name;
    output->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    g.outputs.push_back(std::move(output));
  }
}

void forget_output(std::vector<std::unique_ptr<Output>>::iterator at) {
  drop_layer(**at);
  if (wl_output_get_version((*at)->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
    wl_output_release((*at)->output);
  else
    wl_output_destroy((*at)->output);
  g.outputs.erase(at);
}

void global_remove(void*, wl_registry*, std::uint32_t name) {
  for (auto at = g.outputs.begin(); at != g.outputs.end(); ++at)
    if ((*at)->global == name) return forget_output(at);
}
const wl_registry_listener kRegistryListener = {global, global_remove};

// Sends what is queued, waits up to `timeout_ms` for the compositor (0: only
// what has come) and handles what came. False once the connection is lost.
bool pump(int timeout_ms) {
  while (wl_display_prepare_read(g.display) != 0)
    if (wl_display_dispatch_pending(g.display) < 0) return false;
  if (wl_display_flush(g.display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(g.display);
    return false;
  }
  pollfd connection{wl_display_get_fd(g.display), POLLIN, 0};
  if (::poll(&connection, 1, timeout_ms) > 0) {
    if (wl_display_read_events(g.display) < 0) return false;
  } else {
    wl_display_cancel_read(g.display);
  }
  return wl_display_dispatch_pending(g.display) >= 0;
}

void check_connection(bool alive) {
  if (!alive) fatal_stop(kCodeNoWindow, kWhereWaylandConnection, "wayland: the connection to the compositor was lost");
}

bool open_egl(WindowInfo& info, std::string& reason) {
  g.egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, g.display, nullptr);
  if (g.egl == EGL_NO_DISPLAY || eglInitialize(g.egl, nullptr, nullptr) != EGL_TRUE) {
    reason = "egl: cannot initialise EGL on the Wayland display";
    return false;
  }
  if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
    reason = "egl: this EGL has no desktop OpenGL";
    return false;
  }
  for (int depth : kDepthChoices) {
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, depth, EGL_NONE};
    EGLint count = 0;
    if (eglChooseConfig(g.egl, attributes, &g.config, 1, &count) == EGL_TRUE && count > 0) break;
    g.config = nullptr;
  }
  // No profile asked: a compatibility context, in which GL 1.1 works.
  if (g.config != nullptr) g.context = eglCreateContext(g.egl, g.config, EGL_NO_CONTEXT, nullptr);
  // Current without a surface until an output is configured: the scene loads its textures meanwhile.
  if (g.context == EGL_NO_CONTEXT || !make_current(EGL_NO_SURFACE)) {
    reason = "egl: cannot create a desktop OpenGL context for a window";
    return false;
  }
  eglGetConfigAttrib(g.egl, g.config, EGL_DEPTH_SIZE, &info.depth_bits);
  return true;
}

std::string output_names() {
  std::string names;
  for (const auto& output : g.outputs) names += (names.empty() ? "" : ", ") + output->name;
  return names.empty() ? "none" : names;
}

bool open_outputs(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  const char* named = environment("WAYLAND_DISPLAY");
  if (named == nullptr && std::getenv("WAYLAND_SOCKET") == nullptr) {
    reason = "wayland: --wallpaper needs a Wayland compositor, and WAYLAND_DISPLAY is not set "
             "(on X11, --root draws on the root window)";
    return false;
  }
  g.display = wl_display_connect(nullptr);
  if (g.display == nullptr) {
    reason = std::string("wayland: cannot connect to the Wayland display '") + (named ? named : "") +
             "': " + std::strerror(errno);
    return false;
  }
  g.only_output = request.output;
  g.registry = wl_display_get_registry(g.display);
  wl_registry_add_listener(g.registry, &kRegistryListener, nullptr);
  if (wl_display_roundtrip(g.display) < 0 || g.compositor == nullptr) {
    reason = "wayland: the compositor offers no wl_compositor";
    return false;
  }
  if (g.shell == nullptr) {
    reason = "wayland: the compositor has no layer shell (zwlr_layer_shell_v1), which a wallpaper needs";
    return false;
  }
  if (!open_egl(info, reason)) return false;
  // The outputs' names and `done`, which make the layers; then their first configure.
  check_connection(wl_display_roundtrip(g.display) >= 0 && wl_display_roundtrip(g.display) >= 0);
  if (!request.output.empty() && (g.outputs.empty() || std::none_of(g.outputs.begin(), g.outputs.end(), [](auto& o) {
                                    return o->name == g.only_output;
                                  }))) {
    reason = "wayland: no output is named '" + request.output + "' (there are: " + output_names() + ")";
    return false;
  }
  int layers = 0;
  for (const auto& output : g.outputs) {
    if (!drawing(*output)) continue;
    if (layers++ == 0) {
      info.width = output->width;
      info.height = output->height;
    }
  }
  info.context = "a background layer on " + std::to_string(layers) + " of " + std::to_string(g.outputs.size()) +
                 " Wayland outputs (" + output_names() + "), desktop GL through EGL";
  info.swap_interval = "asked 0 on every output: the compositor's frame callbacks pace each";
  return true;
}

void close() {
  while (!g.outputs.empty()) forget_output(g.outputs.end() - 1);
  if (g.egl != EGL_NO_DISPLAY) {
    eglMakeCurrent(g.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (g.context != EGL_NO_CONTEXT) eglDestroyContext(g.egl, g.context);
    eglTerminate(g.egl);
    eglReleaseThread();
  }
  if (g.shell != nullptr) zwlr_layer_shell_v1_destroy(g.shell);
  if (g.compositor != nullptr) wl_compositor_destroy(g.compositor);
  if (g.registry != nullptr) wl_registry_destroy(g.registry);
  if (g.display != nullptr) wl_display_disconnect(g.display);
  g = Wallpaper{};
}

bool open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  if (open_outputs(request, info, reason)) return true;
  close();
  return false;
}

// A Quit once no output has a layer any more.
bool poll(PlatformEvent& event) {
  check_connection(pump(0));
  const bool layers_left =
      std::any_of(g.outputs.begin(), g.outputs.end(), [](const auto& output) { return output->surface != nullptr; });
  if (layers_left) return false;
  event = PlatformEvent::of(PlatformEvent::Quit);
  return true;
}

std::uint32_t ticks_ms() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool ready(const Output& output) { return drawing(output) && output.wants_frame; }

bool unseen() { return std::none_of(g.outputs.begin(), g.outputs.end(), [](const auto& o) { return ready(*o); }); }

void wait_events(int milliseconds) { check_connection(pump(milliseconds)); }

bool select_drawable(int index, int& width, int& height) {
  for (const auto& output : g.outputs) {
    if (!ready(*output) || index-- > 0) continue;
    make_current(output->drawable);
    output->drawn = true;
    width = output->width;
    height = output->height;
    return true;
  }
  return false;
}

void hide_cursor() {}

// Each output drawn asks for its next frame callback with this commit.
void swap() {
  for (const auto& output : g.outputs) {
    if (!output->drawn) continue;
    output->drawn = output->wants_frame = false;
    output->frame = wl_surface_frame(output->surface);
    wl_callback_add_listener(output->frame, &kFrameListener, output.get());
    make_current(output->drawable);
    eglSwapBuffers(g.egl, output->drawable);
  }
  wl_display_flush(g.display);
}

}  // namespace

const PlatformBackend kWaylandBackend = {open, poll, ticks_ms, unseen, wait_events, select_drawable,
                                         hide_cursor, swap, close};

}  // namespace ovu
