#include "platform/web/gl11_math.h"

#include <cmath>

namespace ovu::gl11 {

namespace {

constexpr double kPi = 3.14159265358979323846;

float& at(Matrix& a, int row, int column) { return a.m[column * 4 + row]; }
float at(const Matrix& a, int row, int column) { return a.m[column * 4 + row]; }

// GLU keeps its angles and their sines in float.
float sine(float angle) { return static_cast<float>(std::sin(angle)); }
float cosine(float angle) { return static_cast<float>(std::cos(angle)); }

}  // namespace

Matrix identity_matrix() {
  Matrix a{};
  for (int i = 0; i < 4; ++i) at(a, i, i) = 1;
  return a;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix c{};
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += at(a, row, k) * at(b, k, column);
      at(c, row, column) = sum;
    }
  return c;
}

Matrix translation(float x, float y, float z) {
  Matrix a = identity_matrix();
  at(a, 0, 3) = x;
  at(a, 1, 3) = y;
  at(a, 2, 3) = z;
  return a;
}

Matrix rotation(float degrees, float x, float y, float z) {
  const double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
  Matrix a = identity_matrix();
  if (length == 0) return a;
  const double radians = degrees * kPi / 180;
  const double s = std::sin(radians), c = std::cos(radians);
  const double u[3] = {x / length, y / length, z / length};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      double value = u[row] * u[column] * (1 - c);
      if (row == column) value += c;
      // The cross-product part: +s * (the axis component that is neither row nor column), signed.
      const int other = 3 - row - column;
      if (row != column) value += ((column - row + 3) % 3 == 1 ? -s : s) * u[other];
      at(a, row, column) = static_cast<float>(value);
    }
  return a;
}

Matrix scaling(float x, float y, float z) {
  Matrix a = identity_matrix();
  at(a, 0, 0) = x;
  at(a, 1, 1) = y;
  at(a, 2, 2) = z;
  return a;
}

Matrix from_doubles(const double* m) {
  Matrix a;
  for (int i = 0; i < 16; ++i) a.m[i] = static_cast<float>(m[i]);
  return a;
}

bool perspective(double fovy_degrees, double aspect, double z_near, double z_far, double out[16]) {
  const double radians = fovy_degrees / 2 * kPi / 180;
  const double depth = z_far - z_near;
  const double sine_half = std::sin(radians);
  if (depth == 0 || sine_half == 0 || aspect == 0) return false;
  const double cotangent = std::cos(radians) / sine_half;
  for (int i = 0; i < 16; ++i) out[i] = 0;
  out[0] = cotangent / aspect;
  out[5] = cotangent;
  out[10] = -(z_far + z_near) / depth;
  out[11] = -1;
  out[14] = -2 * z_near * z_far / depth;
  return true;
}

NormalMatrix normal_matrix(const Matrix& modelview) {
  // The inverse transpose of the upper 3 x 3 is its cofactor matrix over the determinant.
  double a[3][3];
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) a[row][column] = at(modelview, row, column);
  double cofactor[3][3];
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      const int r0 = (row + 1) % 3, r1 = (row + 2) % 3, c0 = (column + 1) % 3, c1 = (column + 2) % 3;
      cofactor[row][column] = a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0];
    }
  const double determinant = a[0][0] * cofactor[0][0] + a[0][1] * cofactor[0][1] + a[0][2] * cofactor[0][2];
  NormalMatrix n{};
  if (determinant == 0) return n;
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      n.m[column * 3 + row] = static_cast<float>(cofactor[row][column] / determinant);
  return n;
}

std::vector<std::uint8_t> halve_image(const std::vector<std::uint8_t>& image, int width, int height,
                                      int components) {
  const int half_width = width / 2, half_height = height / 2;
  const std::size_t row = static_cast<std::size_t>(width) * components;
  std::vector<std::uint8_t> half(static_cast<std::size_t>(half_width) * half_height * components);
  std::uint8_t* out = half.data();
  for (int y = 0; y < half_height; ++y)
    for (int x = 0; x < half_width; ++x)
      for (int c = 0; c < components; ++c) {
        const std::uint8_t* p = &image[2 * y * row + static_cast<std::size_t>(2 * x * components + c)];
        *out++ = static_cast<std::uint8_t>((p[0] + p[components] + p[row] + p[row + components] + 2) / 4);
      }
  return half;
}

std::vector<MeshPrimitive> sphere_mesh(double radius, int slices, int stacks) {
  // Slice angles run about z from +y; stack angles from the +z pole down.
  std::vector<float> slice_sin(slices + 1), slice_cos(slices + 1);
  for (int i = 0; i < slices; ++i) {
    const auto angle = static_cast<float>(2 * kPi * i / slices);
    slice_sin[i] = sine(angle);
    slice_cos[i] = cosine(angle);
  }
  slice_sin[slices] = slice_sin[0];
  slice_cos[slices] = slice_cos[0];
  std::vector<float> stack_sin(stacks + 1), stack_cos(stacks + 1), ring(stacks + 1), level(stacks + 1);
  for (int j = 0; j <= stacks; ++j) {
    const auto angle = static_cast<float>(kPi * j / stacks);
    stack_sin[j] = sine(angle);
    stack_cos[j] = cosine(angle);
    ring[j] = static_cast<float>(radius * std::sin(angle));
    level[j] = static_cast<float>(radius * std::cos(angle));
  }
  auto vertex = [&](int i, int j) {
    return MeshVertex{{slice_sin[i] * stack_sin[j], slice_cos[i] * stack_sin[j], stack_cos[j]},
                      {ring[j] * slice_sin[i], ring[j] * slice_cos[i], level[j]}};
  };
  const auto r = static_cast<float>(radius);
  std::vector<MeshPrimitive> mesh;
  MeshPrimitive top{MeshPrimitive::TriangleFan, {{{slice_sin[0] * stack_sin[0], slice_cos[0] * stack_sin[0], stack_cos[0]}, {0, 0, r}}}};
  for (int i = slices; i >= 0; --i) top.vertices.push_back(vertex(i, 1));
  mesh.push_back(top);
  // GLU takes this pole's normal from the slice angle numbered `stacks`
  // (past the last slice it reads what its cache holds there; here: slice 0).
  const int pole = stacks <= slices ? stacks : 0;
  MeshPrimitive bottom{MeshPrimitive::TriangleFan,
                       {{{slice_sin[pole] * stack_sin[stacks], slice_cos[pole] * stack_sin[stacks], stack_cos[stacks]},
                         {0, 0, -r}}}};
  for (int i = 0; i <= slices; ++i) bottom.vertices.push_back(vertex(i, stacks - 1));
  mesh.push_back(bottom);
  for (int j = 1; j < stacks - 1; ++j) {
    MeshPrimitive strip{MeshPrimitive::QuadStrip, {}};
    for (int i = 0; i <= slices; ++i) {
      strip.vertices.push_back(vertex(i, j + 1));
      strip.vertices.push_back(vertex(i, j));
    }
    mesh.push_back(strip);
  }
  return mesh;
}

}  // namespace ovu::gl11
