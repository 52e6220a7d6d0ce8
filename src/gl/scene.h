#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/intro.h"
#include "core/water.h"

namespace ovu {

// The fixed state of the whole run: light, lighting model, depth test, fog
// and the clear colour. Needs a current context.
void init_scene_state();

// Viewport and the 50-degree perspective for a new window size. A height of
// 0 counts as 1; the projection matrix is left selected.
void apply_window_size(int width, int height);

// The textures' GL names. They belong to the context, not to the model, so
// whoever owns the context keeps them.
struct SceneTextures {
  std::uint32_t environment = 0;
  std::uint32_t intro = 0;
};

// One frame as worked out beforehand: clear, the camera at this sway, light,
// the water and ball, then the title if it is visible.
void render_frame(const Water& water, const IntroFrame& title, const SceneTextures& textures, float sway_degrees);

// The opening of a frame: clear, then the camera at this sway, the light
// and texturing on. render_frame begins with it.
void begin_frame(float sway_degrees);
void clear_frame();

void flush_frame();

// The back buffer as RGB rows, top row first.
std::vector<std::uint8_t> read_back_buffer(int width, int height);

// Vendor, renderer and version, for the log.
std::string gl_description();

}  // namespace ovu
