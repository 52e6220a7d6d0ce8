// The GLU calls the scene makes, for the page, built from our GL 1.1 subset
// as GLU builds them from GL: the same perspective matrix, the same 2 x 2 box
// filter for mipmaps and the same sphere, vertex for vertex.
// Known limits: mipmaps of square power-of-two unsigned-byte RGB and RGBA
// images, read with GL's default pixel storage (rows padded to 4 bytes);
// quadrics with GLU's defaults only (filled, smooth normals, no texture
// coordinates, outside).

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>
#include <vector>

#include "platform/web/gl11_math.h"

struct GLUquadric {};

namespace {

int components_of(GLenum format) {
  switch (format) {
    case GL_RGB: return 3;
    case GL_RGBA: return 4;
    default: return 0;
  }
}

bool power_of_two(GLsizei n) { return n > 0 && (n & (n - 1)) == 0; }

}  // namespace

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble z_near, GLdouble z_far) {
  double m[16];
  if (ovu::gl11::perspective(fovy, aspect, z_near, z_far, m)) glMultMatrixd(m);
}

GLint gluBuild2DMipmaps(GLenum target, GLint internal_format, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data) {
  const int components = components_of(format);
  if (components == 0 || type != GL_UNSIGNED_BYTE || width != height || !power_of_two(width)) return GLU_INVALID_ENUM;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::size_t row = static_cast<std::size_t>(width) * components;
  std::vector<std::uint8_t> level;
  for (GLsizei y = 0; y < height; ++y) {
    const std::uint8_t* at = bytes + (row + 3) / 4 * 4 * static_cast<std::size_t>(y);
    level.insert(level.end(), at, at + row);
  }
  // The smaller levels are packed tightly.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (GLint n = 0;; ++n) {
    glTexImage2D(target, n, internal_format, width, height, 0, format, type, level.data());
    if (width == 1) break;
    level = ovu::gl11::halve_image(level, width, height, components);
    width /= 2;
    height /= 2;
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  return 0;
}

GLUquadric* gluNewQuadric() { return new (std::nothrow) GLUquadric; }

void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }

void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
  using ovu::gl11::MeshPrimitive;
  if (quadric == nullptr || slices < 2 || stacks < 2 || radius < 0) return;
  // The scene asks for the same sphere every frame.
  static std::vector<MeshPrimitive> mesh;
  static GLdouble mesh_radius = -1;
  static GLint mesh_slices = 0, mesh_stacks = 0;
  if (radius != mesh_radius || slices != mesh_slices || stacks != mesh_stacks) {
    mesh = ovu::gl11::sphere_mesh(radius, slices, stacks);
    mesh_radius = radius;
    mesh_slices = slices;
    mesh_stacks = stacks;
  }
  for (const MeshPrimitive& primitive : mesh) {
    glBegin(primitive.mode == MeshPrimitive::TriangleFan ? GL_TRIANGLE_FAN : GL_QUAD_STRIP);
    for (const ovu::gl11::MeshVertex& v : primitive.vertices) {
      glNormal3f(v.normal[0], v.normal[1], v.normal[2]);
      glVertex3f(v.position[0], v.position[1], v.position[2]);
    }
    glEnd();
  }
}
