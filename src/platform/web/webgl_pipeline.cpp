// The one shader pair that draws our GL 1.1 subset over WebGL 1: GL 1.1's
// fixed-function formulas (fixed_function.inc) in GLSL, the state reaching
// them as uniforms, and immediate mode's batch drawn in one indexed call.
// Depends on Emscripten's WebGL bindings. Known limits: one light, sphere-map
// generation and GL_EXP2 fog only, as gl11_calls.cpp takes them.

#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <string>

#include "platform/web/gl11_state.h"

namespace ovu::gl11 {
namespace {

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

}  // namespace

// Between glBegin and glEnd the batch waits: the scene changes no state
// there, though GL would allow materials.
void draw_batch() {
  State& s = g_state;
  if (s.inside_begin) return;
  // A lost context draws nothing, and the pipeline waits for its return.
  if (s.indices.empty() || emscripten_is_webgl_context_lost(emscripten_webgl_get_current_context())) {
    s.vertices.clear();
    s.indices.clear();
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

// The old objects went with the lost context; the next draw makes new ones.
void remake_pipeline() { g_pipeline = Pipeline{}; }

}  // namespace ovu::gl11
