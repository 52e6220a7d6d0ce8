// PNG encoding with the header-only stb writer: one path for every build,
// as Debian ships it for none of the cross targets in any other form.
#include "app/png_image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace ovu {

namespace {

void append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<std::uint8_t> encode_png(const std::vector<std::uint8_t>& rgb, int width, int height) {
  std::vector<std::uint8_t> out;
  if (!stbi_write_png_to_func(append, &out, width, height, 3, rgb.data(), width * 3)) return {};
  return out;
}

}  // namespace ovu
