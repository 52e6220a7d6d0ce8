#include "core/y4m.h"

#include <algorithm>
#include <numeric>

namespace ovu {

namespace {

// BT.709 luma weights, times 10000 so that they are whole: 10000 Y is
// kLumaR R + kLumaG G + kLumaB B exactly, and so are 10000 (B - Y) and
// 10000 (R - Y). Cb = (B - Y) / 1.8556 and Cr = (R - Y) / 1.5748 around 128,
// 1.8556 = 2 (1 - 0.0722) and 1.5748 = 2 (1 - 0.2126). Every value is then
// one integer division, rounded half up: no floating point, the same bytes
// on every build.
constexpr std::uint32_t kLumaR = 2126;
constexpr std::uint32_t kLumaG = 7152;
constexpr std::uint32_t kLumaB = 722;
constexpr std::uint32_t kScale = 10000;
constexpr std::uint32_t kCbDivisor = 18556;
constexpr std::uint32_t kCrDivisor = 15748;
// 128.5 divisors: the centre plus the half that rounds. Chroma numerators
// stay at least 0 with it, so the divisions are unsigned; the top (pure blue
// for Cb, pure red for Cr: 255.5) is clamped to 255.
constexpr std::uint32_t kCbOffset = kCbDivisor * 257 / 2;
constexpr std::uint32_t kCrOffset = kCrDivisor * 257 / 2;

constexpr std::uint32_t kMaxTerm = 0x7FFFFFFF;  // y4m readers parse the rate as two ints

inline std::uint32_t luma_sum(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return kLumaR * r + kLumaG * g + kLumaB * b;
}

inline std::uint8_t clamp_byte(std::uint32_t value) { return static_cast<std::uint8_t>(std::min(value, 255u)); }

// A straight loop over the pixels, which the compiler vectorises once it may
// shuffle bytes (SSSE3 and later; plain x86-64 has no byte shuffle for the
// three interleaved channels). Where the loader picks among copies of a
// function by processor (ELF), it gets copies for AVX2 and AVX-512; the
// arithmetic is integer, so every copy writes the same bytes.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__)
#define OVU_VECTOR_COPIES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define OVU_VECTOR_COPIES
#endif

OVU_VECTOR_COPIES
void convert_full(const std::uint8_t* __restrict rgb, std::size_t count, std::uint8_t* __restrict y,
                  std::uint8_t* __restrict cb, std::uint8_t* __restrict cr) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const std::uint32_t n = luma_sum(r, g, b);
    y[i] = static_cast<std::uint8_t>((n + kScale / 2) / kScale);
    cb[i] = clamp_byte((kScale * b + kCbOffset - n) / kCbDivisor);
    cr[i] = clamp_byte((kScale * r + kCrOffset - n) / kCrDivisor);
  }
}

OVU_VECTOR_COPIES
void convert_luma(const std::uint8_t* __restrict rgb, std::size_t count, std::uint8_t* __restrict y) {
  for (std::size_t i = 0; i < count; ++i)
    y[i] = static_cast<std::uint8_t>((luma_sum(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]) + kScale / 2) / kScale);
}

// One row's chroma numerators, for the blocks to sum; the compiler vectorises it as the loop above.
OVU_VECTOR_COPIES
void chroma_row(const std::uint8_t* __restrict rgb, std::size_t count, std::uint32_t* __restrict blue,
                std::uint32_t* __restrict red) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
    const std::uint32_t n = luma_sum(r, g, b);
    blue[i] = kScale * b + kCbOffset - n;
    red[i] = kScale * r + kCrOffset - n;
  }
}

// The numerators of a block's four pixels summed and divided once: the
// chroma of the block's mean colour.
OVU_VECTOR_COPIES
void block_means(const std::uint32_t* __restrict top, const std::uint32_t* __restrict bottom, std::size_t count,
                 bool blue, std::uint8_t* __restrict out) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t sum = top[2 * i] + top[2 * i + 1] + bottom[2 * i] + bottom[2 * i + 1];
    out[i] = clamp_byte(blue ? sum / (4 * kCbDivisor) : sum / (4 * kCrDivisor));
  }
}

// At an odd right or bottom edge the last column or row stands in for the
// missing one: the mean of a pixel pair counted twice is the pair's own, so
// an edge block is the mean of the pixels it has.
void convert_half_chroma(const std::uint8_t* rgb, int width, int height, std::uint8_t* cb, std::uint8_t* cr) {
  const auto w = static_cast<std::size_t>(width), blocks = (w + 1) / 2;
  std::vector<std::uint32_t> rows(8 * blocks);
  std::uint32_t* top_blue = rows.data();
  std::uint32_t* top_red = top_blue + 2 * blocks;
  std::uint32_t* bottom_blue = top_red + 2 * blocks;
  std::uint32_t* bottom_red = bottom_blue + 2 * blocks;
  for (int block_y = 0; 2 * block_y < height; ++block_y) {
    const auto top = static_cast<std::size_t>(2 * block_y), bottom = static_cast<std::size_t>(std::min(2 * block_y + 1, height - 1));
    chroma_row(rgb + 3 * w * top, w, top_blue, top_red);
    chroma_row(rgb + 3 * w * bottom, w, bottom_blue, bottom_red);
    if (w % 2 != 0)
      for (std::uint32_t* row : {top_blue, top_red, bottom_blue, bottom_red}) row[w] = row[w - 1];
    block_means(top_blue, bottom_blue, blocks, true, cb + blocks * top / 2);
    block_means(top_red, bottom_red, blocks, false, cr + blocks * top / 2);
  }
}

std::size_t chroma_plane_size(int width, int height, ChromaLayout layout) {
  if (layout == ChromaLayout::Full) return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  return static_cast<std::size_t>((width + 1) / 2) * static_cast<std::size_t>((height + 1) / 2);
}

}  // namespace

FrameRate record_frame_rate(const std::vector<int>& step_ms, int max_fps) {
  if (step_ms.empty()) return max_fps > 0 ? FrameRate{static_cast<std::uint32_t>(max_fps), 1} : FrameRate{};
  std::uint64_t numerator = 1000 * static_cast<std::uint64_t>(step_ms.size()), denominator = 0;
  for (int ms : step_ms) denominator += static_cast<std::uint64_t>(ms);
  const std::uint64_t common = std::gcd(numerator, denominator);
  numerator /= common;
  denominator /= common;
  // Only a list of huge steps gets here; the nearest ratio that fits will do.
  while (numerator > kMaxTerm || denominator > kMaxTerm) {
    numerator = (numerator + 1) / 2;
    denominator = (denominator + 1) / 2;
  }
  return {static_cast<std::uint32_t>(numerator), static_cast<std::uint32_t>(denominator)};
}

std::string y4m_header(int width, int height, FrameRate rate, ChromaLayout layout) {
  // Players read the range from XCOLORRANGE; y4m has no tag for the matrix.
  return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F" +
         std::to_string(rate.numerator) + ":" + std::to_string(rate.denominator) + " Ip A1:1 " +
         (layout == ChromaLayout::Full ? "C444" : "C420jpeg") + " XCOLORRANGE=FULL\n";
}

std::size_t y4m_planes_size(int width, int height, ChromaLayout layout) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) +
         2 * chroma_plane_size(width, height, layout);
}

void fit_rgb(const std::uint8_t* rgb, int width, int height, int to_width, int to_height, std::vector<std::uint8_t>& out) {
  out.assign(static_cast<std::size_t>(to_width) * static_cast<std::size_t>(to_height) * 3, 0);
  const auto row = static_cast<std::size_t>(std::clamp(width, 0, to_width)) * 3;
  const std::ptrdiff_t from_stride = std::ptrdiff_t{width} * 3, to_stride = std::ptrdiff_t{to_width} * 3;
  for (int y = 0; row > 0 && y < std::min(height, to_height); ++y)
    std::copy_n(rgb + y * from_stride, row, out.begin() + y * to_stride);
}

void rgb_to_ycbcr(const std::uint8_t* rgb, int width, int height, ChromaLayout layout, std::uint8_t* planes) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::uint8_t* cb = planes + pixels;
  std::uint8_t* cr = cb + chroma_plane_size(width, height, layout);
  if (layout == ChromaLayout::Full) {
    convert_full(rgb, pixels, planes, cb, cr);
    return;
  }
  convert_luma(rgb, pixels, planes);
  convert_half_chroma(rgb, width, height, cb, cr);
}

}  // namespace ovu
