// libFuzzer target for the bitmap loaders: real files through the real
// loaders and file layer, of any length and content. An input describes the
// files rather than being them, so that small inputs reach the sizes that
// matter (a colour file needs 786,486 bytes):
//   byte 0      bit 0 clear: load_texture(colour); set: load_masked_texture(colour, mask)
//   bytes 1-3   colour file length, little-endian, at most 1 MiB
//   bytes 4-6   mask file length, the same way
//   the rest    a pattern repeated to fill both files (zeros when empty)
// Checked: a file too short stops with code 100 at the read of that file,
// and nothing else stops; the texels are the stored pixels with red and
// blue exchanged, plus the mask's bytes as alpha.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/bitmap_loader.h"
#include "core/bitmap.h"
#include "fuzz_stop.h"
#include "platform/stop.h"

namespace {

constexpr std::size_t kHeaderBytes = 7;
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::size_t kColourMinimum = ovu::kColourDataOffset + ovu::kColourDataBytes;
constexpr std::size_t kMaskMinimum = ovu::kMaskDataOffset + ovu::kMaskDataBytes;
constexpr std::uint32_t kColourRead = 0x00B10003;
constexpr std::uint32_t kMaskedColourRead = 0x00B10015;
constexpr std::uint32_t kMaskRead = 0x00B10016;

struct Files {
  int colour_fd = memfd_create("colour.bmp", 0);
  int mask_fd = memfd_create("mask.bmp", 0);
  // Where the loaders' own descriptors start.
  int first_free_fd = dup(0);
  std::string colour_path = "/proc/self/fd/" + std::to_string(colour_fd);
  std::string mask_path = "/proc/self/fd/" + std::to_string(mask_fd);
  Files() { close(first_free_fd); }
};

std::vector<std::uint8_t> g_colour, g_mask;
bool g_uploaded = false;

void check(bool ok) {
  if (!ok) std::abort();
}

std::size_t length_at(const std::uint8_t* data) {
  const std::size_t value = data[0] | std::size_t{data[1]} << 8 | std::size_t{data[2]} << 16;
  return value < kMaxFileBytes ? value : kMaxFileBytes;
}

// The pattern doubled into place: a byte loop over a megabyte would cost
// most of each run.
std::vector<std::uint8_t> file_bytes(std::size_t length, const std::uint8_t* pattern, std::size_t pattern_size) {
  std::vector<std::uint8_t> bytes(length, 0);
  if (pattern_size == 0 || length == 0) return bytes;
  std::size_t done = std::min(pattern_size, length);
  std::memcpy(bytes.data(), pattern, done);
  while (done < length) {
    const std::size_t n = std::min(done, length - done);
    std::memcpy(bytes.data() + done, bytes.data(), n);
    done += n;
  }
  return bytes;
}

void fill(int fd, const std::vector<std::uint8_t>& bytes) {
  check(ftruncate(fd, 0) == 0);
  check(pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
}

// The checks of the texels run uninstrumented: they only compare, and the
// loaders they check stay under the sanitizers.
__attribute__((no_sanitize("address", "undefined"))) bool rgb_matches(const std::uint8_t* texels,
                                                                      const std::uint8_t* bgr) {
  bool same = true;
  for (std::size_t p = 0; p < ovu::kBitmapPixels; ++p)
    same &= texels[3 * p] == bgr[3 * p + 2] && texels[3 * p + 1] == bgr[3 * p + 1] && texels[3 * p + 2] == bgr[3 * p];
  return same;
}

__attribute__((no_sanitize("address", "undefined"))) bool rgba_matches(const std::uint8_t* texels,
                                                                       const std::uint8_t* bgr,
                                                                       const std::uint8_t* mask) {
  bool same = true;
  for (std::size_t p = 0; p < ovu::kBitmapPixels; ++p)
    same &= texels[4 * p] == bgr[3 * p + 2] && texels[4 * p + 1] == bgr[3 * p + 1] &&
            texels[4 * p + 2] == bgr[3 * p] && texels[4 * p + 3] == mask[p];
  return same;
}

std::uint32_t expect_rgb(const std::uint8_t* texels) {
  check(rgb_matches(texels, g_colour.data() + ovu::kColourDataOffset));
  g_uploaded = true;
  return 1;
}

std::uint32_t expect_rgba(const std::uint8_t* texels) {
  check(rgba_matches(texels, g_colour.data() + ovu::kColourDataOffset, g_mask.data() + ovu::kMaskDataOffset));
  g_uploaded = true;
  return 2;
}

// Only descriptors onto our two files, which the loaders opened and a stop
// left open: the fuzzer's own stay untouched.
void close_loader_descriptors(const Files& files) {
  for (int fd = files.first_free_fd; fd < files.first_free_fd + 8; ++fd) {
    if (fd == files.colour_fd || fd == files.mask_fd) continue;
    char target[64] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (readlink(link.c_str(), target, sizeof target - 1) > 0 && std::strncmp(target, "/memfd:", 7) == 0) close(fd);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Files files;
  if (size < kHeaderBytes) return -1;  // not a description; keep it out of the corpus
  const bool masked = (data[0] & 1) != 0;
  g_colour = file_bytes(length_at(data + 1), data + kHeaderBytes, size - kHeaderBytes);
  g_mask = file_bytes(length_at(data + 4), data + kHeaderBytes, size - kHeaderBytes);
  fill(files.colour_fd, g_colour);
  fill(files.mask_fd, g_mask);

  const bool colour_short = g_colour.size() < kColourMinimum;
  const bool mask_short = g_mask.size() < kMaskMinimum;
  g_uploaded = false;
  try {
    if (masked)
      ovu::load_masked_texture(files.colour_path, files.mask_path, expect_rgba);
    else
      ovu::load_texture(files.colour_path, expect_rgb);
    check(!colour_short && !(masked && mask_short) && g_uploaded);
  } catch (const ovu::fuzz::Stopped& stop) {
    check(stop.code == ovu::kCodeShortRead && !g_uploaded);
    if (!masked) check(colour_short && stop.location == kColourRead);
    // The colour file is read before the mask, so it is reported first.
    if (masked) check(colour_short ? stop.location == kMaskedColourRead : mask_short && stop.location == kMaskRead);
  }
  close_loader_descriptors(files);
  return 0;
}
