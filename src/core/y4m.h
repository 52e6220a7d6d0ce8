#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovu {

// Frames as YUV4MPEG2 (.y4m): a header line, then per frame "FRAME\n" and
// the Y, Cb and Cr planes. Colours are BT.709 with full range (0 to 255 for
// all three, chroma centred on 128), converted in integers so that every
// build writes the same bytes.

enum class ChromaLayout {
  Full,  // 4:4:4: a Cb and a Cr for every pixel
  Half,  // 4:2:0: one pair per 2 x 2 block, the block's mean (centred siting)
};

struct FrameRate {
  std::uint32_t numerator = 60;
  std::uint32_t denominator = 1;
};

// 1000 / MS for a fixed step; for a list of steps, 1000 / their mean, so the
// film lasts as long as the virtual clock ran. Without a step, `max_fps`
// when it is set, else 60. Reduced, each term at most 2^31 - 1.
FrameRate record_frame_rate(const std::vector<int>& step_ms, int max_fps);

std::string y4m_header(int width, int height, FrameRate rate, ChromaLayout layout);

inline constexpr char kY4mFrameLine[] = "FRAME\n";

// The bytes of one frame's planes, the FRAME line not included.
std::size_t y4m_planes_size(int width, int height, ChromaLayout layout);

// A picture of `width` x `height` RGB pixels at the top left of one of
// `to_width` x `to_height`, cut where it is larger and padded with black
// where it is smaller: a film keeps one size when the window changes its.
void fit_rgb(const std::uint8_t* rgb, int width, int height, int to_width, int to_height, std::vector<std::uint8_t>& out);

// RGB rows, top first, to the Y plane, then Cb, then Cr (y4m_planes_size bytes).
void rgb_to_ycbcr(const std::uint8_t* rgb, int width, int height, ChromaLayout layout, std::uint8_t* planes);

}  // namespace ovu
