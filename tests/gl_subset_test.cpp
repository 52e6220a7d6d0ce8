// The page's GL 1.1 and GLU subset: its GLU arithmetic against the real
// GLU, called here with a recording GL underneath, and the shaders'
// fixed-function text (compiled natively) against the GL 1.1 formulas.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "glsl_shim.h"
#include "platform/web/gl11_math.h"

namespace glsl {
#define OVU_FIXED_FUNCTION(...) __VA_ARGS__
#include "platform/web/fixed_function.inc"
#undef OVU_FIXED_FUNCTION
}  // namespace glsl

using ovu::gl11::MeshPrimitive;

// What GLU sent to GL.
struct Recording {
  std::vector<MeshPrimitive> primitives;
  float normal[3] = {0, 0, 1};
  std::vector<std::vector<std::uint8_t>> levels;
  std::vector<double> matrix;
  GLint unpack_alignment = 4, proxy_width = 0;
} g_gl;

extern "C" {
void glBegin(GLenum mode) { g_gl.primitives.push_back({mode == GL_TRIANGLE_FAN ? MeshPrimitive::TriangleFan : MeshPrimitive::QuadStrip, {}}); }
void glEnd() {}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { g_gl.normal[0] = x, g_gl.normal[1] = y, g_gl.normal[2] = z; }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  g_gl.primitives.back().vertices.push_back({{g_gl.normal[0], g_gl.normal[1], g_gl.normal[2]}, {x, y, z}});
}
void glMultMatrixd(const GLdouble* m) { g_gl.matrix.assign(m, m + 16); }
void glPixelStorei(GLenum name, GLint value) { g_gl.unpack_alignment = name == GL_UNPACK_ALIGNMENT ? value : g_gl.unpack_alignment; }
void glGetIntegerv(GLenum name, GLint* value) {
  *value = name == GL_MAX_TEXTURE_SIZE ? 4096 : name == GL_UNPACK_ALIGNMENT ? g_gl.unpack_alignment : name == GL_PACK_ALIGNMENT ? 4 : 0;
}
const GLubyte* glGetString(GLenum name) { return reinterpret_cast<const GLubyte*>(name == GL_VERSION ? "1.1" : ""); }
void glGetTexLevelParameteriv(GLenum, GLint, GLenum, GLint* value) { *value = g_gl.proxy_width; }
void glTexImage2D(GLenum target, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum format, GLenum,
                  const void* pixels) {
  if (target == GL_PROXY_TEXTURE_2D) {
    g_gl.proxy_width = width;
    return;
  }
  const std::size_t row = static_cast<std::size_t>(width) * (format == GL_RGBA ? 4 : 3);
  const std::size_t stride = (row + g_gl.unpack_alignment - 1) / g_gl.unpack_alignment * g_gl.unpack_alignment;
  std::vector<std::uint8_t> level;
  for (GLsizei y = 0; y < height; ++y) {
    const auto* at = static_cast<const std::uint8_t*>(pixels) + stride * y;
    level.insert(level.end(), at, at + row);
  }
  g_gl.levels.push_back(level);
}
}

namespace {

TEST(GlSubset, SphereIsGlusVertexForVertex) {
  const struct { double radius; int slices, stacks; } rows[] = {{8, 20, 20}, {1, 7, 3}, {2.5, 9, 4}};
  for (const auto& r : rows) {
    g_gl.primitives.clear();
    GLUquadric* quadric = gluNewQuadric();
    gluSphere(quadric, r.radius, r.slices, r.stacks);
    gluDeleteQuadric(quadric);
    const std::vector<MeshPrimitive> ours = ovu::gl11::sphere_mesh(r.radius, r.slices, r.stacks);
    ASSERT_EQ(ours.size(), g_gl.primitives.size()) << r.slices << " x " << r.stacks;
    for (std::size_t p = 0; p < ours.size(); ++p) {
      ASSERT_EQ(ours[p].mode, g_gl.primitives[p].mode) << p;
      ASSERT_EQ(ours[p].vertices.size(), g_gl.primitives[p].vertices.size()) << p;
      for (std::size_t v = 0; v < ours[p].vertices.size(); ++v)
        ASSERT_EQ(std::memcmp(&ours[p].vertices[v], &g_gl.primitives[p].vertices[v], sizeof(ovu::gl11::MeshVertex)), 0)
            << r.slices << " x " << r.stacks << ": primitive " << p << ", vertex " << v;
    }
  }
}

TEST(GlSubset, MipmapsAndPerspectiveAreGlus) {
  std::mt19937 rng(3);
  for (const auto& [side, components] : {std::pair{64, 3}, std::pair{32, 4}, std::pair{2, 3}}) {
    // Rows padded to GL's default unpack alignment of 4, as GLU reads them.
    const std::size_t row = static_cast<std::size_t>(side) * components, stride = (row + 3) / 4 * 4;
    std::vector<std::uint8_t> padded(stride * side), image;
    for (auto& byte : padded) byte = static_cast<std::uint8_t>(rng());
    for (int y = 0; y < side; ++y) image.insert(image.end(), &padded[stride * y], &padded[stride * y] + row);
    g_gl.levels.clear();
    gluBuild2DMipmaps(GL_TEXTURE_2D, components, side, side, components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE,
                      padded.data());
    ASSERT_EQ(g_gl.levels.size(), static_cast<std::size_t>(std::log2(side)) + 1);
    std::vector<std::uint8_t> level = image;
    for (int n = 0, s = side; s >= 1; ++n, s /= 2) {
      ASSERT_EQ(level, g_gl.levels[n]) << side << " x " << side << " level " << n;
      if (s > 1) level = ovu::gl11::halve_image(level, s, s, components);
    }
  }
  const double rows[][4] = {{50, 4.0 / 3, 0.001, 1000}, {50, 1280.0 / 1, 0.001, 1000}, {90, 1, 1, 2}, {50, 0, 0.001, 1000}};
  for (const auto& r : rows) {
    g_gl.matrix.assign(16, -1);
    gluPerspective(r[0], r[1], r[2], r[3]);
    double ours[16];
    if (!ovu::gl11::perspective(r[0], r[1], r[2], r[3], ours)) std::fill(ours, ours + 16, -1);
    EXPECT_EQ(std::vector<double>(ours, ours + 16), g_gl.matrix) << "aspect " << r[1];
  }
}

TEST(GlSubset, ShaderLightingFollowsGl11) {
  using namespace glsl;
  const Material water{vec4(0, 0, 0, 1), vec4(0.2f, 0.2f, 0.2f, 1), vec4(0.1f, 0.4f, 1, 0.5f), vec4(0.5f, 0.5f, 0.5f, 1), 50};
  const vec4 scene(0.2f, 0.2f, 0.2f, 1);
  const vec4 base(0.04f, 0.04f, 0.04f, 0.5f);  // material ambient x scene ambient; alpha is the diffuse's
  auto light = [](float x, float y, float z, float w) {
    return Light{vec4(x, y, z, w), vec4(0, 0, 0, 1), vec4(1, 1, 0.5f, 1), vec4(1, 0.7f, 0.5f, 1)};
  };
  const float off_axis = std::pow(1.8f / std::sqrt(0.36f + 3.24f), 50.0f);  // n.h for a viewer at (3, 0, -4) off
  const float halfway = std::pow(std::cos(3.14159265f / 8), 50.0f);          // h halfway between up and 45 degrees
  const struct { vec3 position, normal; Light light; bool local; float diffuse, specular; } rows[] = {
      {vec3(0, 0, -10), vec3(0, 0, 1), light(0, 0, 0, 1), true, 1, 1},            // light at the eye
      {vec3(0, 0, -10), vec3(0, 0, -1), light(0, 0, 0, 1), true, 0, 0},           // light behind
      {vec3(0, 0, -10), vec3(0, 1, 0), light(0, 10, -10, 1), true, 1, 0},         // positional: straight above
      {vec3(0, 0, -10), vec3(0, 1, 0), light(0, 10, -10, 0), true, std::sqrt(0.5f), halfway},  // directional
      {vec3(3, 0, -4), vec3(0, 0, 1), light(0, 0, 1, 0), true, 1, off_axis},      // local viewer
      {vec3(3, 0, -4), vec3(0, 0, 1), light(0, 0, 1, 0), false, 1, 1},            // viewer at infinity
  };
  for (const auto& r : rows) {
    const vec4 c = lit_colour(r.position, r.normal, water, r.light, true, scene, r.local);
      EXPECT_NEAR(c.x, base.x + r.diffuse * 0.1f + r.specular * 0.5f, 2e-3) << &r - rows;
    EXPECT_NEAR(c.y, base.y + r.diffuse * 0.4f + r.specular * 0.35f, 2e-3) << &r - rows;
    EXPECT_NEAR(c.z, base.z + r.diffuse * 0.5f + r.specular * 0.25f, 2e-3) << &r - rows;
    EXPECT_EQ(c.w, 0.5f);
  }
  // No light at all, and no highlight from a light behind the surface even where the half vector is not.
  Material dull = water;
  dull.shininess = 1;
  EXPECT_NEAR(lit_colour(vec3(0, 0, -10), vec3(0, 0, 1), water, light(0, 0, 0, 1), false, scene, true).x, base.x, 1e-6);
  EXPECT_NEAR(lit_colour(vec3(0, 0, -10), vec3(0, 0, 1), dull, light(10, 0, -11, 1), true, scene, true).x, base.x, 1e-6);
}

TEST(GlSubset, ShaderSphereMapAndFogFollowGl11) {
  using namespace glsl;
  const float h = std::sqrt(0.5f);
  const struct { vec3 position, normal; float s, t; } rows[] = {
      {vec3(0, 0, -1), vec3(0, 0, 1), 0.5f, 0.5f},                                   // facing the eye: the centre
      {vec3(0, 0, -5), vec3(0, h, h), 0.5f, 0.5f + 1 / (2 * std::sqrt(2.0f))},      // tilted up: reflects up
      {vec3(0, 0, -5), vec3(h, 0, h), 0.5f + 1 / (2 * std::sqrt(2.0f)), 0.5f},      // tilted right
  };
  for (const auto& r : rows) {
    const vec2 st = sphere_map(r.position, r.normal);
    EXPECT_NEAR(st.x, r.s, 1e-5);
    EXPECT_NEAR(st.y, r.t, 1e-5);
  }
  EXPECT_NEAR(fog_exp2(0.008f, 160), std::exp(-1.28f * 1.28f), 1e-6);  // about 19 % at the origin
  EXPECT_EQ(fog_exp2(0.008f, 0), 1);
  EXPECT_NEAR(fog_exp2(0.008f, 1000), 0, 1e-6);
}

}  // namespace
