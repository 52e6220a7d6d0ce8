#include "gl/texture.h"

#include "core/bitmap.h"
#include "gl/gl_api.h"

namespace ovu {

namespace {

std::uint32_t upload(GLint components, GLenum format, const std::uint8_t* texels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  // The result is not checked: a failed build still leaves a usable name.
  gluBuild2DMipmaps(GL_TEXTURE_2D, components, kBitmapSide, kBitmapSide, format, GL_UNSIGNED_BYTE,
                    texels);
  return name;
}

}  // namespace

std::uint32_t upload_rgb_texture(const std::uint8_t* texels) { return upload(3, GL_RGB, texels); }

std::uint32_t upload_rgba_texture(const std::uint8_t* texels) { return upload(4, GL_RGBA, texels); }

}  // namespace ovu
