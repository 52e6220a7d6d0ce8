// The page's GLU subset where the picture cannot tell: its sphere against the
// real GLU's, vertex for vertex (GLU called here over a recording GL), and its
// mipmap box filter's rounding and footprint against worked-out texels.

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/web/gl11_math.h"

namespace ovu::gl11 {
bool operator==(const MeshPrimitive& a, const MeshPrimitive& b) {
  return a.mode == b.mode && a.vertices.size() == b.vertices.size() &&
         std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)) == 0;
}
}  // namespace ovu::gl11

using ovu::gl11::MeshPrimitive;

std::vector<MeshPrimitive> g_sent;
float g_normal[3];

extern "C" {
void glBegin(GLenum mode) { g_sent.push_back({mode == GL_TRIANGLE_FAN ? MeshPrimitive::TriangleFan : MeshPrimitive::QuadStrip, {}}); }
void glEnd() {}
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { g_normal[0] = x, g_normal[1] = y, g_normal[2] = z; }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { g_sent.back().vertices.push_back({{g_normal[0], g_normal[1], g_normal[2]}, {x, y, z}}); }
}

namespace {

TEST(GlSubset, SphereIsGlusVertexForVertex) {
  const struct { double radius; int slices, stacks; } rows[] = {{8, 20, 20}, {1, 7, 3}, {2.5, 9, 4}};
  for (const auto& [radius, slices, stacks] : rows) {
    g_sent.clear();
    GLUquadric* quadric = gluNewQuadric();
    gluSphere(quadric, radius, slices, stacks);
    gluDeleteQuadric(quadric);
    EXPECT_TRUE(ovu::gl11::sphere_mesh(radius, slices, stacks) == g_sent) << slices << " x " << stacks;
  }
}

// Each texel (a + b + c + d + 2) / 4 of its 2 x 2 block, per component; bytes 9 i mod 251.
TEST(GlSubset, MipmapTexelsAreRoundedMeansOfFour) {
  const struct { int side, components; std::vector<std::uint8_t> half; } rows[] = {
      {4, 3, {68, 77, 86, 122, 131, 140, 158, 104, 113, 87, 96, 105}}, {2, 4, {54, 63, 72, 81}}};
  for (const auto& r : rows) {
    std::vector<std::uint8_t> image(static_cast<std::size_t>(r.side * r.side * r.components));
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 9 % 251);
    EXPECT_EQ(ovu::gl11::halve_image(image, r.side, r.side, r.components), r.half) << r.components;
  }
}

}  // namespace
