// The GL 1.1 calls that src/gl and GLU make, implemented over WebGL 1, so
// that the scene code is compiled unchanged for the page. Depends on
// Emscripten's WebGL bindings (emscripten_glXxx); these definitions of the
// GL names take the place of Emscripten's own. Fixed-function state lives
// here and reaches the shader pair (webgl_pipeline.cpp) as uniforms;
// immediate-mode primitives are gathered into one indexed batch, drawn
// whenever any state changes; textures are in webgl_textures.cpp.
// Known limits: only what the scene uses. One light (GL_LIGHT0, no
// attenuation or spotlight), sphere-map generation only, GL_EXP2 fog only,
// triangle strips, triangle fans and quad strips of up to 65,536 vertices.

#include <GL/gl.h>
#include <webgl/webgl1.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/web/gl11_state.h"

namespace ovu::gl11 {

State g_state;

namespace {

constexpr int kMaxStackDepth = 32;

// What WebGL itself holds of what the scene set, kept to set it again in a
// restored context. The switches in the order they were first set.
struct WebglState {
  std::vector<std::pair<GLenum, bool>> switches;
  GLclampf clear_colour[4] = {0, 0, 0, 0};
  GLint viewport[4] = {0, 0, 0, 0};
  bool viewport_set = false;
  GLenum blend_source = GL_ONE, blend_destination = GL_ZERO;
};

WebglState g_webgl;

void keep_switch(GLenum cap, bool on) {
  for (auto& kept : g_webgl.switches)
    if (kept.first == cap) {
      kept.second = on;
      return;
    }
  g_webgl.switches.emplace_back(cap, on);
}

// The open primitive as triangles, each wound as GL winds it for facing.
void index_primitive() {
  State& s = g_state;
  const std::size_t first = s.primitive_start;
  const std::size_t count = s.vertices.size() / kVertexFloats - first;
  auto triangle = [&](std::size_t a, std::size_t b, std::size_t c) {
    for (std::size_t v : {a, b, c}) s.indices.push_back(static_cast<std::uint16_t>(first + v));
  };
  switch (s.primitive) {
    case GL_TRIANGLE_STRIP:
      for (std::size_t i = 0; i + 2 < count; ++i) i % 2 == 0 ? triangle(i, i + 1, i + 2) : triangle(i + 1, i, i + 2);
      break;
    case GL_TRIANGLE_FAN:
      for (std::size_t i = 1; i + 1 < count; ++i) triangle(0, i, i + 1);
      break;
    case GL_QUAD_STRIP:
      for (std::size_t i = 0; i + 3 < count; i += 2) {
        triangle(i, i + 1, i + 3);
        triangle(i, i + 3, i + 2);
      }
      break;
    default: break;  // not drawn by the scene
  }
}

Matrix& current_matrix() {
  State& s = g_state;
  return s.matrix_mode == GL_PROJECTION ? s.projection.back() : s.modelview.back();
}

std::vector<Matrix>& current_stack() {
  State& s = g_state;
  return s.matrix_mode == GL_PROJECTION ? s.projection : s.modelview;
}

void multiply_current(const Matrix& m) {
  draw_batch();
  Matrix& current = current_matrix();
  current = multiply(current, m);
}

bool* fixed_function_switch(GLenum cap) {
  State& s = g_state;
  switch (cap) {
    case GL_LIGHTING: return &s.lighting;
    case GL_LIGHT0: return &s.light0;
    case GL_NORMALIZE: return &s.normalize;
    case GL_TEXTURE_2D: return &s.texturing;
    case GL_FOG: return &s.fog;
    case GL_TEXTURE_GEN_S: return &s.generate_s;
    case GL_TEXTURE_GEN_T: return &s.generate_t;
    default: return nullptr;
  }
}

void set_enabled(GLenum cap, bool on) {
  draw_batch();
  if (bool* flag = fixed_function_switch(cap)) {
    *flag = on;
    return;
  }
  keep_switch(cap, on);
  on ? emscripten_glEnable(cap) : emscripten_glDisable(cap);
}

vec4 transformed(const Matrix& m, const GLfloat* p) {
  float out[4];
  for (int row = 0; row < 4; ++row)
    out[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row] * p[3];
  return {out[0], out[1], out[2], out[3]};
}

vec4 to_vec4(const GLfloat* p) { return {p[0], p[1], p[2], p[3]}; }

void add_vertex(float x, float y, float z, float w) {
  State& s = g_state;
  if (!s.inside_begin) return;
  const float v[kVertexFloats] = {x, y, z, w,
                                  s.normal[0], s.normal[1], s.normal[2],
                                  s.colour.x, s.colour.y, s.colour.z, s.colour.w,
                                  s.texcoord[0], s.texcoord[1]};
  s.vertices.insert(s.vertices.end(), v, v + kVertexFloats);
}

}  // namespace

void reapply_webgl_state() {
  const WebglState& w = g_webgl;
  for (const auto& [cap, on] : w.switches) on ? emscripten_glEnable(cap) : emscripten_glDisable(cap);
  emscripten_glClearColor(w.clear_colour[0], w.clear_colour[1], w.clear_colour[2], w.clear_colour[3]);
  if (w.viewport_set) emscripten_glViewport(w.viewport[0], w.viewport[1], w.viewport[2], w.viewport[3]);
  emscripten_glBlendFunc(w.blend_source, w.blend_destination);
}

}  // namespace ovu::gl11

void ovu::restore_gl11_context() {
  gl11::remake_pipeline();
  gl11::remake_textures();
  gl11::reapply_webgl_state();
}

using namespace ovu::gl11;

// Switches: ours where GL 1.1 has fixed-function state, WebGL's otherwise.
void glEnable(GLenum cap) { set_enabled(cap, true); }
void glDisable(GLenum cap) { set_enabled(cap, false); }

void glMatrixMode(GLenum mode) {
  draw_batch();
  g_state.matrix_mode = mode;
}

void glLoadIdentity() {
  draw_batch();
  current_matrix() = identity_matrix();
}

// Overflow and underflow leave the stack as it is, as GL's errors do.
void glPushMatrix() {
  draw_batch();
  std::vector<Matrix>& stack = current_stack();
  const std::size_t limit = g_state.matrix_mode == GL_PROJECTION ? 2 : kMaxStackDepth;
  if (stack.size() < limit) stack.push_back(stack.back());
}

void glPopMatrix() {
  draw_batch();
  std::vector<Matrix>& stack = current_stack();
  if (stack.size() > 1) stack.pop_back();
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { multiply_current(translation(x, y, z)); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { multiply_current(rotation(angle, x, y, z)); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { multiply_current(scaling(x, y, z)); }
void glMultMatrixd(const GLdouble* m) { multiply_current(from_doubles(m)); }

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
  if (light != GL_LIGHT0) return;
  draw_batch();
  Light& l = g_state.light;
  switch (pname) {
    // Stored in eye coordinates, through the model-view matrix of this moment.
    case GL_POSITION: l.position = transformed(g_state.modelview.back(), params); break;
    case GL_AMBIENT: l.ambient = to_vec4(params); break;
    case GL_DIFFUSE: l.diffuse = to_vec4(params); break;
    case GL_SPECULAR: l.specular = to_vec4(params); break;
    default: break;
  }
}

void glLightModeli(GLenum pname, GLint param) {
  draw_batch();
  if (pname == GL_LIGHT_MODEL_LOCAL_VIEWER) g_state.local_viewer = param != 0;
  if (pname == GL_LIGHT_MODEL_TWO_SIDE) g_state.two_side = param != 0;
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  draw_batch();
  auto set = [&](Material& m) {
    switch (pname) {
      case GL_EMISSION: m.emission = to_vec4(params); break;
      case GL_AMBIENT: m.ambient = to_vec4(params); break;
      case GL_DIFFUSE: m.diffuse = to_vec4(params); break;
      case GL_SPECULAR: m.specular = to_vec4(params); break;
      case GL_AMBIENT_AND_DIFFUSE: m.ambient = m.diffuse = to_vec4(params); break;
      case GL_SHININESS: m.shininess = params[0]; break;
      default: break;
    }
  };
  if (face != GL_BACK) set(g_state.front);
  if (face != GL_FRONT) set(g_state.back);
}

void glTexGeni(GLenum coord, GLenum pname, GLint param) {
  if (pname != GL_TEXTURE_GEN_MODE) return;
  draw_batch();
  if (coord == GL_S) g_state.generate_mode_s = param;
  if (coord == GL_T) g_state.generate_mode_t = param;
}

void glFogi(GLenum pname, GLint param) {
  draw_batch();
  if (pname == GL_FOG_MODE) g_state.fog_mode = param;
}

void glFogf(GLenum pname, GLfloat param) {
  draw_batch();
  if (pname == GL_FOG_DENSITY) g_state.fog_density = param;
}

void glFogfv(GLenum pname, const GLfloat* params) {
  draw_batch();
  if (pname == GL_FOG_COLOR) g_state.fog_colour = to_vec4(params);
  if (pname == GL_FOG_DENSITY) g_state.fog_density = params[0];
}

void glBegin(GLenum mode) {
  State& s = g_state;
  s.inside_begin = true;
  s.primitive = mode;
  s.primitive_start = s.vertices.size() / kVertexFloats;
}

void glEnd() {
  State& s = g_state;
  if (!s.inside_begin) return;
  s.inside_begin = false;
  if (s.vertices.size() / kVertexFloats > kMaxBatchVertices) {
    // The batch is full: draw it, and this primitive starts the next one.
    const std::vector<float> primitive(s.vertices.begin() + static_cast<std::ptrdiff_t>(s.primitive_start * kVertexFloats),
                                       s.vertices.end());
    s.vertices.resize(s.primitive_start * kVertexFloats);
    draw_batch();
    // One that would not fit 16-bit indices on its own is not drawn.
    if (primitive.size() / kVertexFloats > kMaxBatchVertices) return;
    s.vertices = primitive;
    s.primitive_start = 0;
  }
  index_primitive();
}

void glVertex2f(GLfloat x, GLfloat y) { add_vertex(x, y, 0, 1); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { add_vertex(x, y, z, 1); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
  g_state.normal[0] = x;
  g_state.normal[1] = y;
  g_state.normal[2] = z;
}

void glNormal3fv(const GLfloat* v) { glNormal3f(v[0], v[1], v[2]); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { g_state.colour = {r, g, b, 1}; }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { g_state.colour = {r, g, b, a}; }

void glTexCoord2f(GLfloat s, GLfloat t) {
  g_state.texcoord[0] = s;
  g_state.texcoord[1] = t;
}

// WebGL's own calls, after what is gathered has been drawn.
void glClear(GLbitfield mask) {
  draw_batch();
  emscripten_glClear(mask);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
  draw_batch();
  const GLclampf colour[4] = {r, g, b, a};
  std::memcpy(g_webgl.clear_colour, colour, sizeof colour);
  emscripten_glClearColor(r, g, b, a);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  draw_batch();
  const GLint box[4] = {x, y, width, height};
  std::memcpy(g_webgl.viewport, box, sizeof box);
  g_webgl.viewport_set = true;
  emscripten_glViewport(x, y, width, height);
}

void glBlendFunc(GLenum source, GLenum destination) {
  draw_batch();
  g_webgl.blend_source = source;
  g_webgl.blend_destination = destination;
  emscripten_glBlendFunc(source, destination);
}

void glFlush() {
  draw_batch();
  emscripten_glFlush();
}

// WebGL reads RGBA only; RGB rows are repacked to GL's default pack alignment of 4.
void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels) {
  draw_batch();
  if (format != GL_RGB || type != GL_UNSIGNED_BYTE) {
    emscripten_glReadPixels(x, y, width, height, format, type, pixels);
    return;
  }
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  emscripten_glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  auto* out = static_cast<std::uint8_t*>(pixels);
  for (GLsizei j = 0; j < height; ++j)
    for (GLsizei i = 0; i < width; ++i)
      std::memcpy(out + row * static_cast<std::size_t>(j) + 3 * static_cast<std::size_t>(i),
                  &rgba[(static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)) * 4], 3);
}
