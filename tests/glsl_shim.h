#pragma once

// GLSL's vector types and built-ins in C++, just enough to compile the
// shaders' fixed-function text natively; single precision as in a shader.

#include <algorithm>
#include <cmath>

namespace glsl {

struct vec2 { float x, y; vec2(float a, float b) : x(a), y(b) {} };
struct vec3 { float x, y, z; vec3(float a, float b, float c) : x(a), y(b), z(c) {} };
struct vec4 { float x, y, z, w; vec4(float a, float b, float c, float d) : x(a), y(b), z(c), w(d) {} };

inline vec3 operator+(vec3 a, vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec3 operator-(vec3 a) { return {-a.x, -a.y, -a.z}; }
inline vec3 operator*(float s, vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
inline vec3 operator/(vec3 a, float s) { return {a.x / s, a.y / s, a.z / s}; }
inline vec4 operator+(vec4 a, vec4 b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
inline vec4 operator*(vec4 a, vec4 b) { return {a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w}; }
inline vec4 operator*(float s, vec4 a) { return {s * a.x, s * a.y, s * a.z, s * a.w}; }

inline float dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline vec3 normalize(vec3 a) { return a / std::sqrt(dot(a, a)); }
inline float max(float a, float b) { return std::max(a, b); }
inline float pow(float a, float b) { return std::pow(a, b); }
inline float sqrt(float a) { return std::sqrt(a); }
inline float exp(float a) { return std::exp(a); }
inline float clamp(float a, float low, float high) { return std::min(std::max(a, low), high); }
inline vec4 clamp(vec4 a, float low, float high) {
  return {clamp(a.x, low, high), clamp(a.y, low, high), clamp(a.z, low, high), clamp(a.w, low, high)};
}

}  // namespace glsl
