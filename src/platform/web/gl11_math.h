#pragma once

// The arithmetic of our GL 1.1 and GLU subset that runs on the CPU: matrices
// as GL 1.1 defines them, GLU's mipmap box filter and its sphere. Plain C++
// without GL, so it is built and tested natively as well as in the page.

#include <cstdint>
#include <vector>

namespace ovu::gl11 {

// Column-major, as GL stores it: element (row, column) is m[column * 4 + row].
struct Matrix {
  float m[16];
};

Matrix identity_matrix();
Matrix multiply(const Matrix& a, const Matrix& b);  // a * b
Matrix translation(float x, float y, float z);
// A rotation by `degrees` about the axis (x, y, z), normalised first.
Matrix rotation(float degrees, float x, float y, float z);
Matrix scaling(float x, float y, float z);
// A double matrix as GL takes it from glMultMatrixd: each element rounded to float.
Matrix from_doubles(const double* m);
// GLU's perspective in double; false (no change) where it would divide by zero.
bool perspective(double fovy_degrees, double aspect, double z_near, double z_far, double out[16]);

// The upper 3 x 3 of the inverse transpose, which takes normals to eye
// space: m[column * 3 + row].
struct NormalMatrix {
  float m[9];
};
NormalMatrix normal_matrix(const Matrix& modelview);

// GLU's 2 x 2 box filter: each texel of the next level is the rounded mean
// (a + b + c + d + 2) / 4 of four, per component. Both sides even: our
// textures are square powers of two, so both reach 1 together.
std::vector<std::uint8_t> halve_image(const std::vector<std::uint8_t>& image, int width, int height,
                                      int components);

// GLU's filled sphere with smooth normals about the z axis, outside facing
// out: a fan around each pole and a quad strip per stack in between, each
// vertex with the normal sent before it.
struct MeshVertex {
  float normal[3];
  float position[3];
};
struct MeshPrimitive {
  enum Mode { TriangleFan, QuadStrip } mode;
  std::vector<MeshVertex> vertices;
};
std::vector<MeshPrimitive> sphere_mesh(double radius, int slices, int stacks);

}  // namespace ovu::gl11
