#pragma once

#include "platform/platform.h"

namespace ovu {

// The Linux program has two window backends, SDL (its own window, the X11
// hosts, offscreen) and the Wayland wallpaper, in one binary. Each fills
// this table, and platform_open picks one for the whole run, as GLFW picks
// its per-platform functions at start: platform.h stays one contract, the
// frame loop never asks which backend runs, and each backend's file keeps
// its own library's state to itself.
struct PlatformBackend {
  bool (*open)(const WindowRequest& request, WindowInfo& info, std::string& reason);
  bool (*poll)(PlatformEvent& event);
  std::uint32_t (*ticks_ms)();
  bool (*unseen)();
  void (*wait_events)(int milliseconds);
  bool (*select_drawable)(int index, int& width, int& height);
  void (*hide_cursor)();
  void (*swap)();
  void (*close)();
};

// Deepest first; fewer depth bits still draw the scene.
inline constexpr int kDepthChoices[] = {32, 24, 16};

extern const PlatformBackend kSdlBackend;
extern const PlatformBackend kWaylandBackend;

}  // namespace ovu
