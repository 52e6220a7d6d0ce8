// The wallpaper and the screensaver on Wayland: a layer on every output (or
// one), through the layer-shell protocol of wlroots compositors and KDE's
// KWin, drawn with desktop GL through EGL. The wallpaper's layers are the
// background and take no input; the screensaver's are the overlay, above
// windows and panels, and take the keyboard, the pointer and touch, whose
// input ends the run. One context draws every output in turn, so every output
// shows the same water, each paced by its own frame callbacks (swap
// interval 0): an output that is covered or powered off asks for none, and
// with no output asking, the program waits on the connection.
// Each output is drawn at its pixel size: its integer scale with a buffer
// scale, or the fractional one with a viewport where the compositor offers
// both. The callbacks only record what came; poll, in the frame loop, acts on
// it, so no EGL call and no ending happens inside dispatch.
// Depends on libwayland-client, libwayland-egl and libEGL with desktop GL.

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/environment.h"
#include "fractional-scale-v1-client.h"
#include "platform/backend.h"
#include "platform/stop.h"
#include "platform/system_keys.h"
#include "viewporter-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"

namespace ovu {

namespace {

// An output's layer and what the compositor said of it last.
struct Layer {
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* role = nullptr;
  wp_viewport* viewport = nullptr;
  wp_fractional_scale_v1* fraction = nullptr;
  wl_egl_window* window = nullptr;
  EGLSurface drawable = EGL_NO_SURFACE;
  wl_callback* frame = nullptr;  // the one pending frame callback
  int scale120 = 0;              // the compositor's preferred scale in 120ths; 0: none said
  std::uint32_t serial = 0;      // a configure to acknowledge, when `configured`
  bool configured = false;
  bool closed = false;
  int width = 0, height = 0;              // its size, in the layout's units
  int pixel_width = 0, pixel_height = 0;  // its drawable's
  int shown_scale = 0;                    // the scale the drawable was last fitted to, in 120ths
  bool drawn = false;                     // drawn this frame, to be shown at the swap
};

struct Output {
  std::uint32_t global = 0;  // its name in the registry
  wl_output* output = nullptr;
  zxdg_output_v1* place = nullptr;
  std::string name;
  int x = 0, y = 0;        // its place in the compositor's layout, for the pointer
  int scale = 1;           // wl_output's, as of its last `done`
  int next_scale = 1;      // announced, taken at the next `done`
  bool announced = false;  // its first `done` has come
  bool gone = false;       // the compositor removed it
  // Made once: an output whose layer was closed or could not be drawn gets none again.
  bool had_layer = false;
  Layer layer;
};

// A seat's keyboard, pointer and touch, taken by the screensaver.
struct Seat {
  std::uint32_t global = 0;
  wl_seat* seat = nullptr;
  bool gone = false;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  wl_touch* touch = nullptr;
  std::vector<std::uint32_t> held;  // keys that went down on our layers and are not up yet
  const Output* under = nullptr;    // the output the pointer is over
};

struct Layers {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* shell = nullptr;
  wp_viewporter* viewporter = nullptr;
  wp_fractional_scale_manager_v1* fractions = nullptr;
  zxdg_output_manager_v1* places = nullptr;  // where each output lies in the layout
  bool screensaver = false;  // overlay layers that take input; else background ones
  bool verbose = false;
  std::string only_output;   // empty: every output
  std::vector<std::unique_ptr<Output>> outputs;
  std::vector<std::unique_ptr<Seat>> seats;
  std::deque<PlatformEvent> events;  // recorded by the input callbacks, taken by poll
  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
  bool has_drawn = false;   // some output has shown a frame
  std::string undrawable;   // why the last output could not be drawn on
};

Layers g;

constexpr int kWholeScale = 120;  // the fractional-scale protocol's unit

bool drawing(const Layer& layer) { return layer.drawable != EGL_NO_SURFACE; }

bool make_current(EGLSurface surface) { return eglMakeCurrent(g.egl, surface, surface, g.context) == EGL_TRUE; }

// The scale in 120ths, and a length in the layout's units in pixels: the
// fractional protocol rounds half away from zero.
int scale_of(const Output& output) {
  return output.layer.scale120 > 0 ? output.layer.scale120 : output.scale * kWholeScale;
}
int to_pixels(int length, int scale120) { return (length * scale120 + kWholeScale / 2) / kWholeScale; }

// What is left of the layer goes; the output stays until it goes away itself.
void drop_layer(Output& output) {
  Layer& layer = output.layer;
  if (drawing(layer)) {
    if (eglGetCurrentSurface(EGL_DRAW) == layer.drawable) make_current(EGL_NO_SURFACE);
    eglDestroySurface(g.egl, layer.drawable);
  }
  if (layer.window != nullptr) wl_egl_window_destroy(layer.window);
  if (layer.frame != nullptr) wl_callback_destroy(layer.frame);
  if (layer.fraction != nullptr) wp_fractional_scale_v1_destroy(layer.fraction);
  if (layer.viewport != nullptr) wp_viewport_destroy(layer.viewport);
  if (layer.role != nullptr) zwlr_layer_surface_v1_destroy(layer.role);
  if (layer.surface != nullptr) wl_surface_destroy(layer.surface);
  for (const auto& seat : g.seats)
    if (seat->under == &output) seat->under = nullptr;
  layer = Layer{};
}

// The connection is gone: one line, as for a lost X connection.
[[noreturn]] void connection_lost() {
  std::string reason = "wayland: the connection to the compositor was lost";
  const wl_interface* interface = nullptr;
  std::uint32_t object = 0;
  if (wl_display_get_error(g.display) == EPROTO) {
    const std::uint32_t code = wl_display_get_protocol_error(g.display, &interface, &object);
    reason += " (protocol error " + std::to_string(code) + " on " + (interface ? interface->name : "an object") + ")";
  } else if (const int error = wl_display_get_error(g.display); error != 0) {
    reason += std::string(" (") + std::strerror(error) + ")";
  }
  fatal_stop(kCodeNoWindow, kWhereWaylandConnection, reason.c_str());
}

// An output whose layer cannot be drawn says so and is left out; the run
// goes on on the others.
void give_up(Output& output, const char* what) {
  if (wl_display_get_error(g.display) != 0) connection_lost();
  char error[16];
  std::snprintf(error, sizeof error, "0x%04X", static_cast<unsigned>(eglGetError()));
  g.undrawable = output.name + ": " + what + " (EGL error " + error + ")";
  std::fprintf(stderr, "wayland: cannot draw on %s\n", g.undrawable.c_str());
  drop_layer(output);
}

void frame_done(void* data, wl_callback* callback, std::uint32_t) {
  wl_callback_destroy(callback);
  static_cast<Layer*>(data)->frame = nullptr;
}
const wl_callback_listener kFrameListener = {frame_done};

void configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
  auto* layer = static_cast<Layer*>(data);
  layer->serial = serial;
  layer->configured = true;
  // Anchored to all four edges, the size is the output's; 0 would be a compositor's mistake.
  if (width > 0 && height > 0) {
    layer->width = static_cast<int>(width);
    layer->height = static_cast<int>(height);
  }
}

void closed(void* data, zwlr_layer_surface_v1*) { static_cast<Layer*>(data)->closed = true; }
const zwlr_layer_surface_v1_listener kLayerListener = {configure, closed};

void preferred_scale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
  static_cast<Layer*>(data)->scale120 = static_cast<int>(scale);
}
const wp_fractional_scale_v1_listener kFractionListener = {preferred_scale};

// Over the whole output, anchored to all four edges. A wallpaper is the
// background, under panels too (an exclusive zone of -1), and with an empty
// input region it takes no pointer: clicks reach the desktop. A screensaver
// is the overlay, above everything, and takes the keyboard for itself.
void make_layer(Output& output) {
  output.had_layer = true;
  Layer& layer = output.layer;
  layer.surface = wl_compositor_create_surface(g.compositor);
  if (!g.screensaver) {
    wl_region* nothing = wl_compositor_create_region(g.compositor);
    wl_surface_set_input_region(layer.surface, nothing);
    wl_region_destroy(nothing);
  }
  if (g.viewporter != nullptr && g.fractions != nullptr) {
    layer.viewport = wp_viewporter_get_viewport(g.viewporter, layer.surface);
    layer.fraction = wp_fractional_scale_manager_v1_get_fractional_scale(g.fractions, layer.surface);
    wp_fractional_scale_v1_add_listener(layer.fraction, &kFractionListener, &layer);
  }
  layer.role = zwlr_layer_shell_v1_get_layer_surface(
      g.shell, layer.surface, output.output,
      g.screensaver ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
      g.screensaver ? "screensaver" : "wallpaper");
  zwlr_layer_surface_v1_set_anchor(layer.role,
                                   ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                       ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(layer.role, -1);
  // 1: exclusive, so the key that ends the run never reaches the window below.
  zwlr_layer_surface_v1_set_keyboard_interactivity(layer.role, g.screensaver ? 1 : 0);
  zwlr_layer_surface_v1_add_listener(layer.role, &kLayerListener, &layer);
  wl_surface_commit(layer.surface);
}

// The drawable at the layer's size in pixels, made the first time. The new
// size and scale reach the compositor with the next frame's commit.
void fit_drawable(Output& output) {
  Layer& layer = output.layer;
  const int scale = scale_of(output);
  const int width = to_pixels(layer.width, scale), height = to_pixels(layer.height, scale);
  if (drawing(layer) && width == layer.pixel_width && height == layer.pixel_height && scale == layer.shown_scale)
    return;
  if (layer.window == nullptr) {
    layer.window = wl_egl_window_create(layer.surface, width, height);
    if (layer.window != nullptr)
      layer.drawable = eglCreateWindowSurface(g.egl, g.config, reinterpret_cast<EGLNativeWindowType>(layer.window),
                                              nullptr);
    if (!drawing(layer) || !make_current(layer.drawable)) return give_up(output, "no EGL surface for its layer");
    // Interval 1 would block each swap on that output's next frame; the frame
    // callbacks pace every output instead, each at its own rate.
    eglSwapInterval(g.egl, 0);
  } else {
    wl_egl_window_resize(layer.window, width, height, 0, 0);
  }
  // A fractional scale draws 1:1 into a viewport of the layer's size; a whole
  // one tells the compositor how many pixels make a unit.
  const bool fractional = layer.viewport != nullptr && layer.scale120 > 0;
  wl_surface_set_buffer_scale(layer.surface, fractional ? 1 : output.scale);
  if (fractional) wp_viewport_set_destination(layer.viewport, layer.width, layer.height);
  layer.pixel_width = width;
  layer.pixel_height = height;
  layer.shown_scale = scale;
  if (g.verbose)
    std::fprintf(stderr, "wayland: %s: %d x %d pixels at scale %g\n", output.name.c_str(), width, height,
                 scale / double(kWholeScale));
}

void output_geometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     const char*, const char*, std::int32_t) {}
void output_mode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void output_scale(void* data, wl_output*, std::int32_t scale) { static_cast<Output*>(data)->next_scale = scale; }
void output_description(void*, wl_output*, const char*) {}
void output_name(void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name; }
void output_done(void* data, wl_output*) {
  auto* output = static_cast<Output*>(data);
  output->announced = true;
  output->scale = std::max(1, output->next_scale);
}
const wl_output_listener kOutputListener = {output_geometry, output_mode, output_done,
                                            output_scale,    output_name, output_description};

// wl_output's own position is 0, 0 in wlroots: xdg-output tells the place.
void place_position(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
  auto* output = static_cast<Output*>(data);
  output->x = x;
  output->y = y;
}
void place_size(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void place_done(void*, zxdg_output_v1*) {}
void place_name(void*, zxdg_output_v1*, const char*) {}
void place_description(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kPlaceListener = {place_position, place_size, place_done, place_name, place_description};

Output* output_of(const wl_surface* surface) {
  for (const auto& output : g.outputs)
    if (surface != nullptr && output->layer.surface == surface) return output.get();
  return nullptr;
}

// Keys come as evdev codes; Alt is told by the keys held, whatever the keymap.
void keyboard_keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { close(fd); }
void keyboard_enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
// Focus gone: the keys' ups go elsewhere.
void keyboard_leave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) { static_cast<Seat*>(data)->held.clear(); }
void keyboard_key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
  auto& held = static_cast<Seat*>(data)->held;
  if (state != WL_KEYBOARD_KEY_STATE_PRESSED) {
    held.erase(std::remove(held.begin(), held.end(), key), held.end());
    return;
  }
  const auto is_held = [&](std::uint32_t code) { return std::find(held.begin(), held.end(), code) != held.end(); };
  const KeyName name = key == KEY_LEFTALT || key == KEY_RIGHTALT ? KeyName::Alt
                       : key == KEY_F4                           ? KeyName::F4
                       : key == KEY_F10                          ? KeyName::F10
                                                                 : KeyName::Other;
  g.events.push_back(PlatformEvent::of(key_down_kind(name, is_held(KEY_LEFTALT) || is_held(KEY_RIGHTALT))));
  if (!is_held(key)) held.push_back(key);
}
void keyboard_modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t) {}
void keyboard_repeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
const wl_keyboard_listener kKeyboardListener = {keyboard_keymap, keyboard_enter,     keyboard_leave,
                                                keyboard_key,    keyboard_modifiers, keyboard_repeat};

// The pointer, where it is in the whole layout: moving onto another output
// is a move too.
void pointer_at(Seat& seat, wl_fixed_t x, wl_fixed_t y) {
  if (seat.under == nullptr) return;
  PlatformEvent event = PlatformEvent::of(PlatformEvent::Pointer);
  event.x = seat.under->x + wl_fixed_to_int(x);
  event.y = seat.under->y + wl_fixed_to_int(y);
  g.events.push_back(event);
}
// Over our layer, the cursor is hidden.
void pointer_enter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                   wl_fixed_t y) {
  auto* seat = static_cast<Seat*>(data);
  seat->under = output_of(surface);
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  pointer_at(*seat, x, y);
}
void pointer_leave(void* data, wl_pointer*, std::uint32_t, wl_surface*) { static_cast<Seat*>(data)->under = nullptr; }
void pointer_motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  pointer_at(*static_cast<Seat*>(data), x, y);
}
void pointer_button(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) g.events.push_back(PlatformEvent::of(PlatformEvent::Press));
}
void pointer_axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void pointer_frame(void*, wl_pointer*) {}
void pointer_axis_source(void*, wl_pointer*, std::uint32_t) {}
void pointer_axis_stop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void pointer_axis_discrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void pointer_axis_value120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
const wl_pointer_listener kPointerListener = {pointer_enter,       pointer_leave,       pointer_motion,
                                              pointer_button,      pointer_axis,        pointer_frame,
                                              pointer_axis_source, pointer_axis_stop,   pointer_axis_discrete,
                                              pointer_axis_value120};

void touch_down(void*, wl_touch*, std::uint32_t, std::uint32_t, wl_surface*, std::int32_t id, wl_fixed_t, wl_fixed_t) {
  PlatformEvent event = PlatformEvent::of(PlatformEvent::Press);
  event.pointer = id;
  g.events.push_back(event);
}
void touch_up(void*, wl_touch*, std::uint32_t, std::uint32_t, std::int32_t) {}
void touch_motion(void*, wl_touch*, std::uint32_t, std::int32_t, wl_fixed_t, wl_fixed_t) {}
void touch_frame(void*, wl_touch*) {}
void touch_cancel(void*, wl_touch*) {}
void touch_shape(void*, wl_touch*, std::int32_t, wl_fixed_t, wl_fixed_t) {}
void touch_orientation(void*, wl_touch*, std::int32_t, wl_fixed_t) {}
const wl_touch_listener kTouchListener = {touch_down,   touch_up,    touch_motion,     touch_frame,
                                          touch_cancel, touch_shape, touch_orientation};


// Takes the devices a seat offers now, and lets go of those it no longer
// does, at once: a device can go and come back before the loop looks.
void take_devices(Seat& seat, std::uint32_t capabilities) {
  const auto offered = [&](std::uint32_t capability) { return (capabilities & capability) != 0; };
  if (offered(WL_SEAT_CAPABILITY_KEYBOARD) && seat.keyboard == nullptr) {
    seat.keyboard = wl_seat_get_keyboard(seat.seat);
    wl_keyboard_add_listener(seat.keyboard, &kKeyboardListener, &seat);
  } else if (!offered(WL_SEAT_CAPABILITY_KEYBOARD) && seat.keyboard != nullptr) {
    wl_keyboard_release(seat.keyboard);
    seat.keyboard = nullptr;
    seat.held.clear();
  }
  if (offered(WL_SEAT_CAPABILITY_POINTER) && seat.pointer == nullptr) {
    seat.pointer = wl_seat_get_pointer(seat.seat);
    wl_pointer_add_listener(seat.pointer, &kPointerListener, &seat);
  } else if (!offered(WL_SEAT_CAPABILITY_POINTER) && seat.pointer != nullptr) {
    wl_pointer_release(seat.pointer);
    seat.pointer = nullptr;
    seat.under = nullptr;
  }
  if (offered(WL_SEAT_CAPABILITY_TOUCH) && seat.touch == nullptr) {
    seat.touch = wl_seat_get_touch(seat.seat);
    wl_touch_add_listener(seat.touch, &kTouchListener, &seat);
  } else if (!offered(WL_SEAT_CAPABILITY_TOUCH) && seat.touch != nullptr) {
    wl_touch_release(seat.touch);
    seat.touch = nullptr;
  }
}

void seat_capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
  take_devices(*static_cast<Seat*>(data), capabilities);
}
void seat_name(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {seat_capabilities, seat_name};

void global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
  auto bind = [&](const wl_interface* kind, std::uint32_t highest) {
    return wl_registry_bind(registry, name, kind, std::min(version, highest));
  };
  const auto is = [&](const wl_interface& kind) { return std::strcmp(interface, kind.name) == 0; };
  if (is(wl_compositor_interface)) {
    g.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (is(zwlr_layer_shell_v1_interface)) {
    g.shell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
  } else if (is(wp_viewporter_interface)) {
    g.viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
  } else if (is(zxdg_output_manager_v1_interface) && g.screensaver) {
    g.places = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 1));
  } else if (is(wp_fractional_scale_manager_v1_interface)) {
    g.fractions = static_cast<wp_fractional_scale_manager_v1*>(bind(&wp_fractional_scale_manager_v1_interface, 1));
  } else if (is(wl_output_interface) && version >= 2) {
    // Version 4 names the output, for --output; 2 has `done` and the scale.
    auto output = std::make_unique<Output>();
    output->global = name;
    output->output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    g.outputs.push_back(std::move(output));
  } else if (is(wl_seat_interface) && g.screensaver && version >= 5) {
    // 5: the pointer's frame events and the devices' release requests.
    auto seat = std::make_unique<Seat>();
    seat->global = name;
    seat->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    wl_seat_add_listener(seat->seat, &kSeatListener, seat.get());
    g.seats.push_back(std::move(seat));
  }
}

void global_remove(void*, wl_registry*, std::uint32_t name) {
  for (const auto& output : g.outputs)
    if (output->global == name) output->gone = true;
  for (const auto& seat : g.seats)
    if (seat->global == name) {
      seat->gone = true;
      seat->held.clear();
    }
}
const wl_registry_listener kRegistryListener = {global, global_remove};

void forget_output(std::vector<std::unique_ptr<Output>>::iterator at) {
  drop_layer(**at);
  if ((*at)->place != nullptr) zxdg_output_v1_destroy((*at)->place);
  if (wl_output_get_version((*at)->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
    wl_output_release((*at)->output);
  else
    wl_output_destroy((*at)->output);
  g.outputs.erase(at);
}

void forget_seat(std::vector<std::unique_ptr<Seat>>::iterator at) {
  take_devices(**at, 0);
  wl_seat_release((*at)->seat);
  g.seats.erase(at);
}

bool wanted(const Output& output) { return g.only_output.empty() || output.name == g.only_output; }

// What the callbacks recorded, acted on: outputs and seats that went, layers
// to make, drop, acknowledge and fit.
void settle() {
  for (auto at = g.outputs.begin(); at != g.outputs.end();) {
    Output& output = **at;
    if (output.gone) {
      forget_output(at);
      continue;
    }
    ++at;
    if (g.places != nullptr && output.place == nullptr) {
      output.place = zxdg_output_manager_v1_get_xdg_output(g.places, output.output);
      zxdg_output_v1_add_listener(output.place, &kPlaceListener, &output);
    }
    if (output.layer.closed) drop_layer(output);
    if (output.announced && !output.had_layer && wanted(output)) make_layer(output);
    Layer& layer = output.layer;
    if (layer.role == nullptr) continue;
    if (layer.configured) zwlr_layer_surface_v1_ack_configure(layer.role, layer.serial);
    layer.configured = false;
    if (layer.width > 0) fit_drawable(output);
  }
  for (auto at = g.seats.begin(); at != g.seats.end();) {
    if ((*at)->gone)
      forget_seat(at);
    else
      ++at;
  }
}

// Sends what is queued, waits up to `timeout_ms` for the compositor (0: only
// what has come) and handles what came. A lost connection ends the run.
void pump(int timeout_ms) {
  while (wl_display_prepare_read(g.display) != 0)
    if (wl_display_dispatch_pending(g.display) < 0) connection_lost();
  if (wl_display_flush(g.display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(g.display);
    connection_lost();
  }
  pollfd connection{wl_display_get_fd(g.display), POLLIN, 0};
  if (::poll(&connection, 1, timeout_ms) > 0) {
    if (wl_display_read_events(g.display) < 0) connection_lost();
  } else {
    wl_display_cancel_read(g.display);
  }
  if (wl_display_dispatch_pending(g.display) < 0) connection_lost();
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

bool connect(std::string& reason) {
  g.display = wl_display_connect(nullptr);
  if (g.display == nullptr) {
    const char* named = environment("WAYLAND_DISPLAY");
    reason = std::string("wayland: cannot connect to the Wayland display '") + (named ? named : "") +
             "': " + std::strerror(errno);
    return false;
  }
  g.registry = wl_display_get_registry(g.display);
  wl_registry_add_listener(g.registry, &kRegistryListener, nullptr);
  if (wl_display_roundtrip(g.display) < 0 || g.compositor == nullptr) {
    reason = "wayland: the compositor offers no wl_compositor";
    return false;
  }
  return true;
}

bool open_outputs(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  g.screensaver = request.placement == WindowRequest::Placement::AllMonitors;
  g.verbose = request.verbose;
  const char* what = g.screensaver ? "a screensaver" : "a wallpaper";
  if (!wayland_named()) {
    reason = g.screensaver ? "wayland: --screensaver needs a Wayland compositor, and WAYLAND_DISPLAY is not set "
                             "(on X11, xscreensaver and mate-screensaver run 'ovu --root')"
                           : "wayland: --wallpaper needs a Wayland compositor, and WAYLAND_DISPLAY is not set "
                             "(on X11, --root draws on the root window)";
    return false;
  }
  g.only_output = request.output;
  if (!connect(reason)) return false;
  if (g.shell == nullptr) {
    reason = std::string("wayland: the compositor has no layer shell (zwlr_layer_shell_v1), which ") + what + " needs";
    return false;
  }
  if (!open_egl(info, reason)) return false;
  // The outputs' names and `done`, which make the layers; then their first configure.
  if (wl_display_roundtrip(g.display) < 0) connection_lost();
  if (!request.output.empty() && std::none_of(g.outputs.begin(), g.outputs.end(), [](auto& o) { return wanted(*o); })) {
    reason = "wayland: no output is named '" + request.output + "' (there are: " + output_names() + ")";
    return false;
  }
  settle();
  if (wl_display_roundtrip(g.display) < 0) connection_lost();
  settle();
  int layers = 0;
  for (const auto& output : g.outputs) {
    if (!drawing(output->layer)) continue;
    if (layers++ == 0) {
      info.width = output->layer.pixel_width;
      info.height = output->layer.pixel_height;
    }
  }
  info.context = std::string(g.screensaver ? "an overlay" : "a background") + " layer on " + std::to_string(layers) +
                 " of " + std::to_string(g.outputs.size()) + " Wayland outputs (" + output_names() +
                 "), desktop GL through EGL";
  info.swap_interval = "asked 0 on every output: the compositor's frame callbacks pace each";
  return true;
}

void close_layers() {
  while (!g.outputs.empty()) forget_output(g.outputs.end() - 1);
  while (!g.seats.empty()) forget_seat(g.seats.end() - 1);
  if (g.egl != EGL_NO_DISPLAY) {
    eglMakeCurrent(g.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (g.context != EGL_NO_CONTEXT) eglDestroyContext(g.egl, g.context);
    eglTerminate(g.egl);
    eglReleaseThread();
  }
  if (g.places != nullptr) zxdg_output_manager_v1_destroy(g.places);
  if (g.fractions != nullptr) wp_fractional_scale_manager_v1_destroy(g.fractions);
  if (g.viewporter != nullptr) wp_viewporter_destroy(g.viewporter);
  if (g.shell != nullptr) zwlr_layer_shell_v1_destroy(g.shell);
  if (g.compositor != nullptr) wl_compositor_destroy(g.compositor);
  if (g.registry != nullptr) wl_registry_destroy(g.registry);
  if (g.display != nullptr) wl_display_disconnect(g.display);
  g = Layers{};
}

bool open(const WindowRequest& request, WindowInfo& info, std::string& reason) {
  if (open_outputs(request, info, reason)) return true;
  close_layers();
  return false;
}

// The input recorded, then a Quit once no output has a layer any more: after
// a frame was shown, outputs going away end the run; before, nothing could be
// drawn, and that is a failure.
bool poll(PlatformEvent& event) {
  pump(0);
  settle();
  if (!g.events.empty()) {
    event = g.events.front();
    g.events.pop_front();
    return true;
  }
  if (std::any_of(g.outputs.begin(), g.outputs.end(), [](const auto& o) { return o->layer.surface != nullptr; }))
    return false;
  if (!g.has_drawn) {
    const std::string reason =
        "wayland: nothing could be drawn: " +
        (!g.undrawable.empty() ? "on " + g.undrawable
         : g.outputs.empty()   ? std::string("the compositor has no outputs")
                               : "the compositor closed every layer before its first frame");
    fatal_stop(kCodeNoWindow, kWhereWindow, reason.c_str());
  }
  event = PlatformEvent::of(PlatformEvent::Quit);
  return true;
}

std::uint32_t ticks_ms() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Drawn, and its last frame shown: at most one frame callback waits per output.
bool ready(const Output& output) { return drawing(output.layer) && output.layer.frame == nullptr; }

bool unseen() { return std::none_of(g.outputs.begin(), g.outputs.end(), [](const auto& o) { return ready(*o); }); }

void wait_events(int milliseconds) { pump(milliseconds); }

bool select_drawable(int index, int& width, int& height) {
  for (const auto& output : g.outputs) {
    if (!ready(*output) || index-- > 0) continue;
    Layer& layer = output->layer;
    if (!make_current(layer.drawable)) {
      give_up(*output, "its EGL surface cannot be made current");
      index = 0;  // the next one takes its place
      continue;
    }
    layer.drawn = true;
    width = layer.pixel_width;
    height = layer.pixel_height;
    return true;
  }
  return false;
}

void hide_cursor() {}

// Each output drawn asks for its next frame callback with this commit.
void swap() {
  for (const auto& output : g.outputs) {
    Layer& layer = output->layer;
    if (!layer.drawn) continue;
    layer.drawn = false;
    layer.frame = wl_surface_frame(layer.surface);
    wl_callback_add_listener(layer.frame, &kFrameListener, &layer);
    if (!make_current(layer.drawable) || eglSwapBuffers(g.egl, layer.drawable) != EGL_TRUE) {
      give_up(*output, "its frame cannot be shown");
      continue;
    }
    g.has_drawn = true;
  }
  if (wl_display_flush(g.display) < 0 && errno != EAGAIN) connection_lost();
}

// A screensaver keeps the keyboard until the key that ended it is up, so
// that its release does not reach the window below either.
void close() {
  const auto held = [] {
    return std::any_of(g.seats.begin(), g.seats.end(), [](const auto& seat) { return !seat->held.empty(); });
  };
  while (g.display != nullptr && held() && !termination_requested()) {
    pump(100);
    settle();
  }
  close_layers();
}

}  // namespace

std::string wayland_lacks_for_sdl() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return "";  // SDL says why itself
  bool seat = false;
  wl_registry* registry = wl_display_get_registry(display);
  const wl_registry_listener listener = {
      [](void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
        if (std::strcmp(interface, wl_seat_interface.name) == 0) *static_cast<bool*>(data) = true;
      },
      [](void*, wl_registry*, std::uint32_t) {}};
  wl_registry_add_listener(registry, &listener, &seat);
  const bool answered = wl_display_roundtrip(display) >= 0;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return !answered || seat ? "" : "wl_seat (a keyboard or pointer seat)";
}

const PlatformBackend kLayerBackend = {open, poll, ticks_ms, unseen, wait_events, select_drawable,
                                       hide_cursor, swap, close};

}  // namespace ovu
