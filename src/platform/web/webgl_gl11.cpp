// The GL 1.1 calls that src/gl and GLU make, implemented over WebGL 1, so
// that the scene code is compiled unchanged for the page. Depends on
// Emscripten's WebGL bindings (emscripten_glXxx); these definitions of the
// GL names take the place of Emscripten's own. Fixed-function state lives
// here and reaches one shader pair as uniforms; immediate-mode primitives are
// gathered into one indexed batch, drawn whenever any state changes.
// Known limits: only what the scene uses. One light (GL_LIGHT0, no
// attenuation or spotlight), sphere-map generation only, GL_EXP2 fog only,
// triangle strips, triangle fans and quad strips of up to 65,536 vertices.

#include <GL/gl.h>
#include <webgl/webgl1.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/web/gl11_math.h"

namespace ovu::gl11 {
namespace {

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
constexpr int kMaxStackDepth = 32;

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

State g_state;

// The WebGL objects of the one shader pair, made at the first draw.
struct Pipeline {
  GLuint program = 0;
  GLuint vertex_buffer = 0, index_buffer = 0;
  GLint modelview, projection, normal_matrix;
  GLint lighting, light_on, normalize, two_side, local_viewer, sphere_s, sphere_t;
  GLint scene_ambient, light[4], front[5], back[5];
  GLint texturing, fog, fog_density, fog_colour, texture;
};

Pipeline g_pipeline;

#define OVU_FIXED_FUNCTION(...) #__VA_ARGS__
const char* const kFixedFunction =
#include "platform/web/fixed_function.inc"
    ;
#undef OVU_FIXED_FUNCTION

const char* const kVertexMain = R"(
attribute vec4 a_position;
attribute vec3 a_normal;
attribute vec4 a_colour;
attribute vec2 a_texcoord;
uniform mat4 u_modelview;
uniform mat4 u_projection;
uniform mat3 u_normal_matrix;
uniform bool u_lighting, u_light_on, u_normalize, u_two_side, u_local_viewer, u_sphere_s, u_sphere_t;
uniform vec4 u_scene_ambient;
uniform Light u_light;
uniform Material u_front, u_back;
varying vec4 v_front, v_back;
varying vec2 v_texcoord;
varying float v_eye_distance;
void main() {
  vec4 eye = u_modelview * a_position;
  vec3 position = eye.xyz;
  vec3 normal = u_normal_matrix * a_normal;
  if (u_normalize) normal = normalize(normal);
  if (u_lighting) {
    v_front = lit_colour(position, normal, u_front, u_light, u_light_on, u_scene_ambient, u_local_viewer);
    v_back = u_two_side ? lit_colour(position, -normal, u_back, u_light, u_light_on, u_scene_ambient, u_local_viewer)
                        : v_front;
  } else {
    v_front = clamp(a_colour, 0.0, 1.0);
    v_back = v_front;
  }
  vec2 sphere = sphere_map(position, normal);
  v_texcoord = vec2(u_sphere_s ? sphere.x : a_texcoord.x, u_sphere_t ? sphere.y : a_texcoord.y);
  // Fog's distance as GL allows it to be approximated: the eye-space depth.
  v_eye_distance = abs(eye.z);
  gl_Position = u_projection * eye;
}
)";

const char* const kFragmentMain = R"(
uniform sampler2D u_texture;
uniform bool u_texturing, u_fog;
uniform float u_fog_density;
uniform vec4 u_fog_colour;
varying vec4 v_front, v_back;
varying vec2 v_texcoord;
varying float v_eye_distance;
void main() {
  vec4 colour = gl_FrontFacing ? v_front : v_back;
  // The modulating texture environment; an RGB texture reads alpha 1.
  if (u_texturing) colour = colour * texture2D(u_texture, v_texcoord);
  if (u_fog) colour.rgb = mix(u_fog_colour.rgb, colour.rgb, fog_exp2(u_fog_density, v_eye_distance));
  gl_FragColor = colour;
}
)";

GLuint compile(GLenum kind, const char* header, const char* main) {
  const GLuint shader = emscripten_glCreateShader(kind);
  const char* parts[] = {header, kFixedFunction, main};
  emscripten_glShaderSource(shader, 3, parts, nullptr);
  emscripten_glCompileShader(shader);
  return shader;
}

void make_pipeline() {
  Pipeline& p = g_pipeline;
  p.program = emscripten_glCreateProgram();
  emscripten_glAttachShader(p.program, compile(GL_VERTEX_SHADER, "precision highp float;\n", kVertexMain));
  emscripten_glAttachShader(p.program, compile(GL_FRAGMENT_SHADER, "precision highp float;\n", kFragmentMain));
  const char* attributes[] = {"a_position", "a_normal", "a_colour", "a_texcoord"};
  for (GLuint i = 0; i < 4; ++i) emscripten_glBindAttribLocation(p.program, i, attributes[i]);
  emscripten_glLinkProgram(p.program);
  emscripten_glUseProgram(p.program);
  emscripten_glGenBuffers(1, &p.vertex_buffer);
  emscripten_glGenBuffers(1, &p.index_buffer);

  auto uniform = [&](const char* name) { return emscripten_glGetUniformLocation(p.program, name); };
  p.modelview = uniform("u_modelview");
  p.projection = uniform("u_projection");
  p.normal_matrix = uniform("u_normal_matrix");
  p.lighting = uniform("u_lighting");
  p.light_on = uniform("u_light_on");
  p.normalize = uniform("u_normalize");
  p.two_side = uniform("u_two_side");
  p.local_viewer = uniform("u_local_viewer");
  p.sphere_s = uniform("u_sphere_s");
  p.sphere_t = uniform("u_sphere_t");
  p.scene_ambient = uniform("u_scene_ambient");
  const char* light_fields[] = {"u_light.position", "u_light.ambient", "u_light.diffuse", "u_light.specular"};
  for (int i = 0; i < 4; ++i) p.light[i] = uniform(light_fields[i]);
  const char* material_fields[] = {"emission", "ambient", "diffuse", "specular", "shininess"};
  for (int i = 0; i < 5; ++i) {
    p.front[i] = uniform((std::string("u_front.") + material_fields[i]).c_str());
    p.back[i] = uniform((std::string("u_back.") + material_fields[i]).c_str());
  }
  p.texturing = uniform("u_texturing");
  p.fog = uniform("u_fog");
  p.fog_density = uniform("u_fog_density");
  p.fog_colour = uniform("u_fog_colour");
  p.texture = uniform("u_texture");
}

void set_vec4(GLint location, const vec4& v) { emscripten_glUniform4f(location, v.x, v.y, v.z, v.w); }

void set_material(const GLint* location, const Material& m) {
  set_vec4(location[0], m.emission);
  set_vec4(location[1], m.ambient);
  set_vec4(location[2], m.diffuse);
  set_vec4(location[3], m.specular);
  emscripten_glUniform1f(location[4], m.shininess);
}

void set_uniforms() {
  const State& s = g_state;
  const Pipeline& p = g_pipeline;
  const Matrix& modelview = s.modelview.back();
  emscripten_glUniformMatrix4fv(p.modelview, 1, GL_FALSE, modelview.m);
  emscripten_glUniformMatrix4fv(p.projection, 1, GL_FALSE, s.projection.back().m);
  emscripten_glUniformMatrix3fv(p.normal_matrix, 1, GL_FALSE, normal_matrix(modelview).m);
  emscripten_glUniform1i(p.lighting, s.lighting);
  emscripten_glUniform1i(p.light_on, s.light0);
  emscripten_glUniform1i(p.normalize, s.normalize);
  emscripten_glUniform1i(p.two_side, s.two_side);
  emscripten_glUniform1i(p.local_viewer, s.local_viewer);
  emscripten_glUniform1i(p.sphere_s, s.generate_s && s.generate_mode_s == GL_SPHERE_MAP);
  emscripten_glUniform1i(p.sphere_t, s.generate_t && s.generate_mode_t == GL_SPHERE_MAP);
  set_vec4(p.scene_ambient, s.scene_ambient);
  set_vec4(p.light[0], s.light.position);
  set_vec4(p.light[1], s.light.ambient);
  set_vec4(p.light[2], s.light.diffuse);
  set_vec4(p.light[3], s.light.specular);
  set_material(p.front, s.front);
  set_material(p.back, s.back);
  emscripten_glUniform1i(p.texturing, s.texturing);
  emscripten_glUniform1i(p.fog, s.fog && s.fog_mode == GL_EXP2);
  emscripten_glUniform1f(p.fog_density, s.fog_density);
  set_vec4(p.fog_colour, s.fog_colour);
  emscripten_glUniform1i(p.texture, 0);
}

// Draws what glEnd gathered under the state as it is now; every call that
// changes state comes here first. Between glBegin and glEnd it waits: the
// scene changes no state there, though GL would allow materials.
void draw_batch() {
  State& s = g_state;
  if (s.inside_begin) return;
  if (s.indices.empty()) {
    s.vertices.clear();
    return;
  }
  if (g_pipeline.program == 0) make_pipeline();
  const Pipeline& p = g_pipeline;
  emscripten_glUseProgram(p.program);
  emscripten_glBindBuffer(GL_ARRAY_BUFFER, p.vertex_buffer);
  emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.vertices.size() * sizeof(float)),
                          s.vertices.data(), GL_STREAM_DRAW);
  emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, p.index_buffer);
  emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                          static_cast<GLsizeiptr>(s.indices.size() * sizeof(std::uint16_t)), s.indices.data(),
                          GL_STREAM_DRAW);
  const int sizes[4] = {4, 3, 4, 2};
  std::size_t offset = 0;
  for (GLuint i = 0; i < 4; ++i) {
    emscripten_glEnableVertexAttribArray(i);
    emscripten_glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, kVertexFloats * sizeof(float),
                                     reinterpret_cast<const void*>(offset * sizeof(float)));
    offset += static_cast<std::size_t>(sizes[i]);
  }
  set_uniforms();
  emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.indices.size()), GL_UNSIGNED_SHORT, nullptr);
  s.vertices.clear();
  s.indices.clear();
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
  } else if (on) {
    emscripten_glEnable(cap);
  } else {
    emscripten_glDisable(cap);
  }
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
}  // namespace ovu::gl11

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
  emscripten_glClearColor(r, g, b, a);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  draw_batch();
  emscripten_glViewport(x, y, width, height);
}

void glBlendFunc(GLenum source, GLenum destination) {
  draw_batch();
  emscripten_glBlendFunc(source, destination);
}

void glBindTexture(GLenum target, GLuint texture) {
  draw_batch();
  emscripten_glBindTexture(target, texture);
}

void glPixelStorei(GLenum pname, GLint param) {
  draw_batch();
  emscripten_glPixelStorei(pname, param);
}

// GL 1.1 takes a component count as the internal format; WebGL wants it to
// name the format.
void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
  draw_batch();
  (void)internal_format;
  emscripten_glTexImage2D(target, level, static_cast<GLint>(format), width, height, border, format, type, pixels);
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
