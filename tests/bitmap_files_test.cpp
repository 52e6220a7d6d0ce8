#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kSide = 512;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "ovu_bitmaps_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

test::ChildResult make_bitmaps(std::vector<std::string> args) {
  args.insert(args.begin(), OVU_MAKE_BITMAPS);
  test::ChildOptions options;
  options.timeout_seconds = 60;
  return test::run_child(args, options);
}

Bytes read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t u32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

// One run shared by the picture checks.
struct Run {
  TempDir dir;
  test::ChildResult result = make_bitmaps({dir.path.string()});
  Bytes environment = read_file(dir.path / "CHRMWARP.bmp");
  Bytes title = read_file(dir.path / "vo.bmp");
  Bytes mask = read_file(dir.path / "vomask.bmp");
  bool ok() const { return result.exit_code == 0 && environment.size() == 786486 && mask.size() == 263222; }
};
const Run& run() {
  static const Run shared;
  return shared;
}

// Rows in file order: row 0 is the bottom of the picture. Channel 0 is blue, as stored.
int alpha(int x, int row) { return run().mask[1078 + static_cast<std::size_t>(row * kSide + x)]; }
int channel(const Bytes& b, int x, int row, int c) {
  return b[54 + static_cast<std::size_t>((row * kSide + x) * 3 + c)];
}
double luminance(const Bytes& b, int x, int row) {
  return 0.299 * channel(b, x, row, 2) + 0.587 * channel(b, x, row, 1) + 0.114 * channel(b, x, row, 0);
}

TEST(BitmapFiles, AreWellFormedBottomUpBitmapsAndReproducible) {
  ASSERT_TRUE(run().ok()) << run().result.err;
  TempDir again;
  ASSERT_EQ(make_bitmaps({again.path.string() + "/"}).exit_code, 0);
  EXPECT_EQ(names_in(run().dir.path), (std::set<std::string>{"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"}));
  struct Case {
    const char* name;
    unsigned bits, offset, size, colours;
  } cases[] = {
      {"CHRMWARP.bmp", 24, 54, 786486, 0},
      {"vo.bmp", 24, 54, 786486, 0},
      {"vomask.bmp", 8, 1078, 263222, 256},
  };
  for (const Case& c : cases) {
    const Bytes b = read_file(run().dir.path / c.name);
    ASSERT_EQ(b.size(), c.size) << c.name;
    EXPECT_EQ(b, read_file(again.path / c.name)) << c.name << " differs between runs";
    EXPECT_EQ(std::string(b.begin(), b.begin() + 2), "BM") << c.name;
    // Offset and value; the word at 26 holds one plane and, above it, the bits per pixel.
    const unsigned fields[][2] = {
        {2, c.size}, {6, 0}, {10, c.offset}, {14, 40}, {18, 512}, {22, 512},
        {26, 1 | c.bits << 16}, {30, 0}, {34, c.size - c.offset}, {46, c.colours}, {50, 0},
    };
    for (const auto& f : fields) EXPECT_EQ(u32(b, f[0]), f[1]) << c.name << " at offset " << f[0];
    EXPECT_GT(u32(b, 38), 0u) << c.name << " pixels per metre";
    for (unsigned n = 0; n < c.colours; ++n) EXPECT_EQ(u32(b, 54 + 4 * n), n * 0x010101u) << "palette " << n;
  }
}

// Columns holding fully opaque mask pixels, grouped into runs: one per letter, as they never touch.
std::vector<std::pair<int, int>> letter_spans() {
  std::vector<std::pair<int, int>> spans;
  for (int x = 0; x < kSide; ++x) {
    bool opaque = false;
    for (int row = 0; row < kSide; ++row) opaque |= alpha(x, row) == 255;
    if (!opaque) continue;
    if (spans.empty() || spans.back().second != x - 1) spans.push_back({x, x});
    spans.back().second = x;
  }
  return spans;
}

TEST(BitmapFiles, MaskIsOpaqueOnTheLettersClearAroundThemAndSoftAtTheEdges) {
  ASSERT_TRUE(run().ok()) << run().result.err;
  int opaque = 0, ramp = 0;
  for (int row = 1; row + 1 < kSide; ++row) {
    for (int x = 1; x + 1 < kSide; ++x) {
      const int a = alpha(x, row);
      opaque += a == 255;
      // Beside the letter and above anything the shadow or the halo reach: an anti-aliasing step.
      const bool beside = alpha(x - 1, row) == 255 || alpha(x + 1, row) == 255 || alpha(x, row - 1) == 255 ||
                          alpha(x, row + 1) == 255;
      ramp += beside && a >= 128 && a < 255;
    }
  }
  EXPECT_GT(opaque, 20000);
  EXPECT_GT(ramp, 1000);
  for (int i = 0; i < 16 * 16; ++i) {
    const int x = i % 16, row = i / 16;
    ASSERT_EQ(alpha(x, row) + alpha(kSide - 1 - x, row) + alpha(x, kSide - 1 - row) +
                  alpha(kSide - 1 - x, kSide - 1 - row), 0) << "corners must be clear";
  }
  EXPECT_EQ(letter_spans().size(), 3u);
}

TEST(BitmapFiles, TitleReadsOvuUprightAndLinesUpWithItsMask) {
  ASSERT_TRUE(run().ok()) << run().result.err;
  const auto spans = letter_spans();
  ASSERT_EQ(spans.size(), 3u);
  auto opaque_width = [](std::pair<int, int> span, int row) {
    int left = kSide, right = -1;
    for (int x = span.first; x <= span.second; ++x) {
      if (alpha(x, row) == 255) left = std::min(left, x), right = std::max(right, x);
    }
    return right - left + 1;
  };
  int bottom = kSide, top = -1;
  for (int row = 0; row < kSide; ++row) {
    if (opaque_width(spans[1], row) > 0) bottom = std::min(bottom, row), top = std::max(top, row);
  }
  const int height = top - bottom;
  ASSERT_GT(height, 100);
  // The "v" is wide near the top of the picture (late rows) and narrow near the bottom.
  EXPECT_GT(opaque_width(spans[1], bottom + height * 4 / 5), 2 * opaque_width(spans[1], bottom + height / 5));

  // Down the middle of each outer letter: the "o" is closed above and below, the "u" only below.
  auto closed = [](std::pair<int, int> span, int from, int to) {
    bool any = false;
    for (int row = from; row <= to; ++row) any |= alpha((span.first + span.second) / 2, row) == 255;
    return any;
  };
  const int quarter = height / 4;
  EXPECT_TRUE(closed(spans[0], top - quarter, top)) << "o first";
  EXPECT_TRUE(closed(spans[0], bottom, bottom + quarter)) << "o first";
  EXPECT_FALSE(closed(spans[2], top - quarter, top)) << "u last";
  EXPECT_TRUE(closed(spans[2], bottom, bottom + quarter)) << "u last";

  // Bright metal only where the mask is opaque; only dark backdrop where it is clear.
  int bright = 0;
  for (int i = 0; i < kSide * kSide; ++i) {
    const int x = i % kSide, row = i / kSide;
    const double l = luminance(run().title, x, row);
    bright += l > 180;
    ASSERT_TRUE(l <= 180 || alpha(x, row) == 255) << x << "," << row;
    ASSERT_TRUE(l < 100 || alpha(x, row) > 0) << x << "," << row;
  }
  EXPECT_GT(bright, 5000);
}

TEST(BitmapFiles, EnvironmentHasSkyAboveAndDarkerGroundBelow) {
  ASSERT_TRUE(run().ok()) << run().result.err;
  // Means over a central block of rows a quarter of the way in from the top or the bottom.
  auto mean = [](int first_row, int c) {
    double sum = 0;
    for (int row = first_row; row < first_row + kSide / 8; ++row) {
      for (int x = kSide * 2 / 5; x < kSide * 3 / 5; ++x) {
        sum += c < 3 ? channel(run().environment, x, row, c) : luminance(run().environment, x, row);
      }
    }
    return sum / (kSide / 8 * (kSide * 3 / 5 - kSide * 2 / 5));
  };
  const int sky = kSide * 5 / 8, ground = kSide / 4;
  EXPECT_GT(mean(sky, 0), mean(sky, 2) + 40) << "sky should be blue";
  EXPECT_GT(mean(sky, 0), mean(ground, 0) + 40);
  EXPECT_GT(mean(sky, 3), mean(ground, 3) + 40);
}

TEST(MakeBitmaps, RejectsBadUsage) {
  const std::vector<std::string> cases[] = {{"a", "b"}, {"-o"}, {""}};
  for (const auto& args : cases) {
    const auto r = make_bitmaps(args);
    EXPECT_EQ(r.exit_code, 64) << args[0];
    EXPECT_NE(r.err.find("usage: make_bitmaps"), std::string::npos) << args[0];
  }
  EXPECT_EQ(make_bitmaps({"--help"}).exit_code, 0);
}

TEST(MakeBitmaps, ReportsAFailedWriteAndLeavesNoPartialFile) {
  TempDir dir;
  const std::string base = dir.path.string();
  // A directory squatting on vo.bmp: the environment map is written, then vo.bmp cannot be.
  fs::create_directories(dir.path / "blocked" / "vo.bmp");
  std::ofstream(dir.path / "plain_file") << "x";
  struct Case {
    std::string output, failing_file;
  } cases[] = {
      {base + "/blocked", base + "/blocked/vo.bmp"},
      {base + "/missing/deeper", base + "/missing/deeper/CHRMWARP.bmp"},
      {base + "/plain_file", base + "/plain_file/CHRMWARP.bmp"},
  };
  for (const Case& c : cases) {
    const auto r = make_bitmaps({c.output});
    EXPECT_EQ(r.exit_code, 1) << c.output;
    const std::string prefix = "make_bitmaps: " + c.failing_file + ": ";
    EXPECT_EQ(r.err.compare(0, prefix.size(), prefix), 0) << r.err;
    EXPECT_GT(r.err.size(), prefix.size() + 1) << "no reason given";
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
  EXPECT_EQ(names_in(dir.path / "blocked"), (std::set<std::string>{"CHRMWARP.bmp", "vo.bmp"}));
  EXPECT_TRUE(fs::is_directory(dir.path / "blocked" / "vo.bmp"));
  EXPECT_EQ(fs::file_size(dir.path / "blocked" / "CHRMWARP.bmp"), 786486u);
}

}  // namespace
}  // namespace ovu
