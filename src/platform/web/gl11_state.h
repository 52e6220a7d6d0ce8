// The fixed-function state of our GL 1.1 subset over WebGL, shared by the GL
// entry points (gl11_calls.cpp), the shader pipeline that draws it
// (webgl_pipeline.cpp) and the kept textures (webgl_textures.cpp).
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/web/gl11_math.h"

namespace ovu::gl11 {

struct vec4 {
  float x, y, z, w;
};

struct Light {
  vec4 position{0, 0, 1, 0};
  vec4 ambient{0, 0, 0, 1};
  vec4 diffuse{1, 1, 1, 1};
  vec4 specular{1, 1, 1, 1};
};

struct Material {
  vec4 emission{0, 0, 0, 1};
  vec4 ambient{0.2f, 0.2f, 0.2f, 1};
  vec4 diffuse{0.8f, 0.8f, 0.8f, 1};
  vec4 specular{0, 0, 0, 1};
  float shininess = 0;
};

// One vertex as the shader reads it: position, normal, colour, texture coordinate.
constexpr int kVertexFloats = 4 + 3 + 4 + 2;
constexpr std::size_t kMaxBatchVertices = 65536;  // 16-bit indices

// GL's state, with GL 1.1's initial values.
struct State {
  GLenum matrix_mode = GL_MODELVIEW;
  std::vector<Matrix> modelview{identity_matrix()};
  std::vector<Matrix> projection{identity_matrix()};

  bool lighting = false, light0 = false, normalize = false, texturing = false, fog = false;
  bool generate_s = false, generate_t = false;
  GLint generate_mode_s = GL_EYE_LINEAR, generate_mode_t = GL_EYE_LINEAR;
  bool local_viewer = false, two_side = false;
  vec4 scene_ambient{0.2f, 0.2f, 0.2f, 1};
  Light light;
  Material front, back;
  GLint fog_mode = GL_EXP;
  float fog_density = 1;
  vec4 fog_colour{0, 0, 0, 0};

  float normal[3] = {0, 0, 1};
  vec4 colour{1, 1, 1, 1};
  float texcoord[2] = {0, 0};

  // Immediate mode: the open primitive, then the batch it joins at glEnd.
  bool inside_begin = false;
  GLenum primitive = 0;
  std::size_t primitive_start = 0;
  std::vector<float> vertices;
  std::vector<std::uint16_t> indices;
};

extern State g_state;

// Draws what glEnd gathered under the state as it is now; every call that
// changes state comes here first.
void draw_batch();

// The pipeline's and the textures' WebGL objects are made again in a
// restored context, from what we kept; the WebGL state that WebGL itself
// holds is set again from the entry points' copy.
void remake_pipeline();
void remake_textures();
void reapply_webgl_state();

}  // namespace ovu::gl11

namespace ovu {

// After the browser gives a lost WebGL context back: everything the subset
// made or set in it, made and set again, so the run goes on as it was.
void restore_gl11_context();

}  // namespace ovu
