#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "child_process.h"
#include "temp_dir.h"

namespace ovu {
namespace {

using test::TempDir;
using test::write_file;

constexpr std::size_t kColourMinimum = 786486;
constexpr std::size_t kMaskMinimum = 263222;

// Headers full of junk: the loaders must not read them.
std::string colour_file(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  if (size >= 57) {
    bytes[54] = 0x10;  // first stored pixel: blue, green, red
    bytes[55] = 0x20;
    bytes[56] = 0x30;
  }
  return bytes;
}

std::string mask_file(std::size_t size) {
  std::string bytes(size, static_cast<char>(0x7F));
  for (std::size_t i = 0; i < 1078 && i < size; ++i) bytes[i] = static_cast<char>(i * 13);
  if (size > 1078) bytes[1078] = static_cast<char>(255);
  if (size >= kMaskMinimum) bytes[kMaskMinimum - 1] = 0;
  return bytes;
}

struct Loader : ::testing::Test {
  TempDir dir;
  std::string colour = dir.file("colour.bmp");
  std::string mask = dir.file("mask.bmp");

  void SetUp() override {
    write_file(colour, colour_file(kColourMinimum));
    write_file(mask, mask_file(kMaskMinimum));
  }

  static test::ChildResult probe(std::vector<std::string> args, const std::string& as_user = "") {
    args.insert(args.begin(), OVU_BITMAP_PROBE);
    if (!as_user.empty()) args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=" + as_user,
                                                     "--regid=" + as_user, "--clear-groups"});
    test::ChildOptions options;
    options.timeout_seconds = 20;
    return test::run_child(args, options);
  }

  static void expect_stop(const test::ChildResult& r, int code, const char* location, const std::string& name) {
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, code) << r.err;
    char line[64];
    std::snprintf(line, sizeof line, "Runtime error %3d at %s\n", code, location);
    EXPECT_EQ(r.out, line);
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
  }
};

TEST_F(Loader, ExactMinimumFilesLoadAndHeadersAreIgnored) {
  const auto rgb = probe({"rgb", colour});
  EXPECT_EQ(rgb.exit_code, 0) << rgb.err;
  EXPECT_EQ(rgb.out.rfind("first 48 32 16 ", 0), 0u) << rgb.out;  // red 0x30, green 0x20, blue 0x10

  const auto rgba = probe({"rgba", colour, mask});
  EXPECT_EQ(rgba.exit_code, 0) << rgba.err;
  EXPECT_EQ(rgba.out.rfind("first 48 32 16 255 last ", 0), 0u) << rgba.out;
  EXPECT_NE(rgba.out.find(" 0 hash"), std::string::npos) << rgba.out;  // the last mask byte, alpha 0

  // Different headers, trailing bytes and a huge sparse tail change nothing.
  std::string other = colour_file(kColourMinimum);
  for (int i = 0; i < 54; ++i) other[static_cast<std::size_t>(i)] = 'x';
  write_file(colour, other + "trailing");
  ASSERT_EQ(truncate(colour.c_str(), off_t{1} << 32), 0);
  const auto again = probe({"rgb", colour});
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_EQ(again.out.substr(again.out.find("hash")), rgb.out.substr(rgb.out.find("hash")));
}

TEST_F(Loader, ShortAndEmptyFilesStopWithCode100) {
  write_file(colour, colour_file(kColourMinimum - 1));
  expect_stop(probe({"rgb", colour}), 100, "00B10003", "colour.bmp");
  write_file(colour, "");
  expect_stop(probe({"rgb", colour}), 100, "00B10003", "colour.bmp");
  write_file(colour, colour_file(kColourMinimum));
  write_file(mask, mask_file(kMaskMinimum - 1));
  expect_stop(probe({"rgba", colour, mask}), 100, "00B10016", "mask.bmp");
}

TEST_F(Loader, MissingFilesStopWithCode2InTheirOrder) {
  expect_stop(probe({"rgb", dir.file("none.bmp")}), 2, "00B10001", "none.bmp");
  // The colour file opens first, then the missing mask is reported.
  expect_stop(probe({"rgba", colour, dir.file("none.bmp")}), 2, "00B10012", "none.bmp");
  expect_stop(probe({"rgba", dir.file("none.bmp"), dir.file("nomask.bmp")}), 2, "00B10011", "none.bmp");
  expect_stop(probe({"rgb", colour + "/inside"}), ENOTDIR, "00B10001", "inside");
}

TEST_F(Loader, NonRegularFilesAreRefusedWithoutBlocking) {
  const std::string fifo = dir.file("fifo.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  expect_stop(probe({"rgb", fifo}), EINVAL, "00B10001", "fifo.bmp");
  expect_stop(probe({"rgba", colour, fifo}), EINVAL, "00B10012", "fifo.bmp");
  expect_stop(probe({"rgb", dir.path()}), EISDIR, "00B10001", dir.path());
  expect_stop(probe({"rgb", "/dev/zero"}), EINVAL, "00B10001", "/dev/zero");
  const std::string loop = dir.file("loop.bmp");
  std::filesystem::create_symlink(loop, loop);
  expect_stop(probe({"rgb", loop}), ELOOP, "00B10001", "loop.bmp");
}

TEST_F(Loader, ReadOnlyFilesLoadAndUnreadableOnesAreRefused) {
  // Root ignores permissions, so the checks run as an unprivileged user.
  const std::string user = geteuid() == 0 ? "65534" : "";
  if (!user.empty()) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  }
  ASSERT_EQ(chmod(colour.c_str(), 0444), 0);
  ASSERT_EQ(chmod(mask.c_str(), 0444), 0);
  const auto r = probe({"rgba", colour, mask}, user);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("first 48 32 16 255", 0), 0u) << r.out;

  ASSERT_EQ(chmod(mask.c_str(), 0000), 0);
  expect_stop(probe({"rgba", colour, mask}, user), EACCES, "00B10012", "mask.bmp");
}

}  // namespace
}  // namespace ovu
