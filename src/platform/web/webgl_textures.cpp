// Textures of our GL 1.1 subset over WebGL, kept in memory as they were
// given, so that a restored WebGL context gets them back: the names handed
// out are ours, each standing for the WebGL texture of the moment.
// Known limits: unsigned-byte images; no texture parameters or deletion
// (the scene sets none and keeps its textures for the whole run).

#include <webgl/webgl1.h>

#include <cstring>

#include "platform/web/gl11_state.h"

namespace ovu::gl11 {
namespace {

struct Level {
  GLint level, alignment;
  GLenum target, format;
  GLsizei width, height;
  std::vector<std::uint8_t> bytes;  // as given, rows padded to the unpack alignment
};

struct KeptTexture {
  GLuint webgl = 0;
  std::vector<Level> levels;
};

std::vector<KeptTexture> g_textures;
GLuint g_bound = 0;
GLenum g_bound_target = GL_TEXTURE_2D;
GLint g_unpack_alignment = 4;

KeptTexture* kept(GLuint name) { return name == 0 || name > g_textures.size() ? nullptr : &g_textures[name - 1]; }

std::size_t components_of(GLenum format) {
  switch (format) {
    case GL_RGBA: return 4;
    case GL_RGB: return 3;
    case GL_LUMINANCE_ALPHA: return 2;
    default: return 1;
  }
}

std::size_t image_bytes(GLsizei width, GLsizei height, GLenum format, GLint alignment) {
  if (width <= 0 || height <= 0) return 0;
  const std::size_t row = static_cast<std::size_t>(width) * components_of(format);
  const std::size_t a = static_cast<std::size_t>(alignment);
  return (row + a - 1) / a * a * static_cast<std::size_t>(height - 1) + row;
}

void upload(const Level& l) {
  emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, l.alignment);
  emscripten_glTexImage2D(l.target, l.level, static_cast<GLint>(l.format), l.width, l.height, 0, l.format,
                          GL_UNSIGNED_BYTE, l.bytes.empty() ? nullptr : l.bytes.data());
}

}  // namespace

void remake_textures() {
  for (KeptTexture& t : g_textures) {
    emscripten_glGenTextures(1, &t.webgl);
    for (const Level& l : t.levels) {
      emscripten_glBindTexture(l.target, t.webgl);
      upload(l);
    }
  }
  emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, g_unpack_alignment);
  const KeptTexture* bound = kept(g_bound);
  emscripten_glBindTexture(g_bound_target, bound ? bound->webgl : 0);
}

}  // namespace ovu::gl11

using namespace ovu::gl11;

void glGenTextures(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) {
    KeptTexture t;
    emscripten_glGenTextures(1, &t.webgl);
    g_textures.push_back(t);
    names[i] = static_cast<GLuint>(g_textures.size());
  }
}

void glBindTexture(GLenum target, GLuint texture) {
  draw_batch();
  g_bound = texture;
  g_bound_target = target;
  const KeptTexture* t = kept(texture);
  emscripten_glBindTexture(target, t ? t->webgl : 0);
}

void glPixelStorei(GLenum pname, GLint param) {
  draw_batch();
  if (pname == GL_UNPACK_ALIGNMENT) g_unpack_alignment = param;
  emscripten_glPixelStorei(pname, param);
}

// GL 1.1 takes a component count as the internal format; WebGL wants it to
// name the format.
void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
  draw_batch();
  (void)internal_format;
  KeptTexture* t = kept(g_bound);
  if (t != nullptr && type == GL_UNSIGNED_BYTE && border == 0) {
    Level l{level, g_unpack_alignment, target, format, width, height, {}};
    if (pixels != nullptr) {
      const auto* bytes = static_cast<const std::uint8_t*>(pixels);
      l.bytes.assign(bytes, bytes + image_bytes(width, height, format, g_unpack_alignment));
    }
    std::vector<Level>& levels = t->levels;
    bool replaced = false;
    for (Level& old : levels)
      if (old.level == level && old.target == target) {
        old = l;
        replaced = true;
      }
    if (!replaced) levels.push_back(l);
  }
  emscripten_glTexImage2D(target, level, static_cast<GLint>(format), width, height, border, format, type, pixels);
}
