// Child process for the loader tests: loads bitmaps with the real loaders and
// prints what the texture upload would have received.
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/bitmap_loader.h"
#include "core/bitmap.h"
#include "platform/guard.h"

namespace {

std::uint32_t g_bytes_per_texel = 0;

std::uint32_t report(const std::uint8_t* texels) {
  std::uint64_t hash = 1469598103934665603ull;
  const std::size_t count = ovu::kBitmapPixels * g_bytes_per_texel;
  for (std::size_t i = 0; i < count; ++i) hash = (hash ^ texels[i]) * 1099511628211ull;
  std::printf("first");
  for (std::uint32_t i = 0; i < g_bytes_per_texel; ++i) std::printf(" %u", texels[i]);
  std::printf(" last");
  for (std::uint32_t i = 0; i < g_bytes_per_texel; ++i) std::printf(" %u", texels[count - g_bytes_per_texel + i]);
  std::printf(" hash %016llx\n", static_cast<unsigned long long>(hash));
  return 1;
}

int probe(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  if (kind == "rgb" && argc == 3) {
    g_bytes_per_texel = 3;
    ovu::load_texture(argv[2], report);
    return 0;
  }
  if (kind == "rgba" && argc == 4) {
    g_bytes_per_texel = 4;
    ovu::load_masked_texture(argv[2], argv[3], report);
    return 0;
  }
  std::fprintf(stderr, "usage: bitmap_probe rgb FILE | rgba COLOUR MASK\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(probe, argc, argv); }
