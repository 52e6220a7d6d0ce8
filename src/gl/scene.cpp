#include "gl/scene.h"

#include <algorithm>

#include "core/camera.h"
#include "core/numeric.h"
#include "gl/gl_api.h"
#include "gl/intro_draw.h"
#include "gl/water_draw.h"

namespace ovu {

namespace {

constexpr GLfloat kLightAmbient[4] = {0, 0, 0, 1};
constexpr GLfloat kLightDiffuse[4] = {1, 1, 0.5f, 1};
constexpr GLfloat kLightSpecular[4] = {1, 0.7f, 0.5f, 1};
// Clearing to the fog colour lets the far water fade out without an edge.
constexpr GLfloat kFogColor[4] = {0.5f, 0.5f, 0.7f, 1};
constexpr GLfloat kFogDensity = 0.008f;
constexpr GLdouble kNearPlane = 0.001;
constexpr GLdouble kFarPlane = 1000;

const char* gl_string(GLenum name) {
  const auto* text = reinterpret_cast<const char*>(glGetString(name));
  return text != nullptr ? text : "?";
}

}  // namespace

void init_scene_state() {
  glEnable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_FOG);
  glClearColor(kFogColor[0], kFogColor[1], kFogColor[2], kFogColor[3]);
  glFogi(GL_FOG_MODE, GL_EXP2);
  glFogfv(GL_FOG_COLOR, kFogColor);
  glFogf(GL_FOG_DENSITY, kFogDensity);
}

void apply_window_size(int width, int height) {
  if (height == 0) height = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double aspect = static_cast<double>(Extended(width) / height);
  gluPerspective(kFieldOfView, aspect, kNearPlane, kFarPlane);
}

void render_frame(const Water& water, const IntroFrame& title, const SceneTextures& textures, float sway_degrees) {
  begin_frame(sway_degrees);
  send_water(water, textures.environment);
  if (title.visible) send_intro(textures.intro, title.fade, title.grid);
}

void clear_frame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void begin_frame(float sway_degrees) {
  clear_frame();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0, 0, -kCameraDistance);
  glRotatef(kCameraTilt, 1, 0, 0);
  glRotatef(sway_degrees, 0, 1, 0);
  // Sent after the camera, so the light stays put in the world as it sways.
  glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
  glEnable(GL_TEXTURE_2D);
}

void flush_frame() { glFlush(); }

std::vector<std::uint8_t> read_back_buffer(int width, int height) {
  // Rows arrive padded to GL's default pack alignment of 4, bottom row first.
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  const std::size_t padded = (row + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> raw(padded * static_cast<std::size_t>(height));
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
  std::vector<std::uint8_t> pixels(row * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    std::copy_n(raw.begin() + static_cast<std::ptrdiff_t>(padded * (height - 1 - y)), row,
                pixels.begin() + static_cast<std::ptrdiff_t>(row * y));
  return pixels;
}

std::string gl_description() {
  return std::string(gl_string(GL_VENDOR)) + ", " + gl_string(GL_RENDERER) + ", GL " + gl_string(GL_VERSION);
}

}  // namespace ovu
