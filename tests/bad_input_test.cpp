// Bad input to the real binary: each of its three bitmaps damaged in every
// way the loaders tell apart, a working directory it may not search, every
// malformed command line, no display and a display without GLX. Each run
// has a timeout, so a hang fails instead of blocking the suite.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;
using test::program;
using test::program_options;

constexpr const char* kNobody = "65534";

class BadInput : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)"; }
};

// A directory holding fresh copies of the three bitmaps, open to everyone so
// that the unprivileged runs can use it too.
struct DataDir {
  test::TempDir dir;
  DataDir() {
    chmod(dir.path().c_str(), 0755);
    for (const char* name : {"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"})
      fs::copy_file(std::string(OVU_BUILD_DIR) + "/" + name, dir.file(name));
  }
};

// Runs as an unprivileged user (root reads whatever it likes), with a copy of
// the display's cookie that the user may read.
test::ChildResult run_as_nobody(std::vector<std::string> args, const std::string& cwd, const test::TempDir& scratch) {
  test::ChildOptions options = program_options();
  options.working_directory = cwd;
  if (const char* cookie = std::getenv("XAUTHORITY"); cookie != nullptr && fs::exists(cookie)) {
    const std::string copy = scratch.file("Xauthority");
    fs::copy_file(cookie, copy, fs::copy_options::overwrite_existing);
    chmod(scratch.path().c_str(), 0755);
    chmod(copy.c_str(), 0644);
    options.env_set.push_back("XAUTHORITY=" + copy);
  }
  args = program(args);
  args.insert(args.begin(), {"/usr/bin/setpriv", std::string("--reuid=") + kNobody, std::string("--regid=") + kNobody,
                             "--clear-groups"});
  return test::run_child(args, options);
}

void bind_socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
  close(fd);  // the name stays
}

const std::vector<std::string> kOneFrame = {"--windowed", "64x48", "--frames", "1"};

void expect_stop(const test::ChildResult& r, int code, const char* location, const std::string& what) {
  EXPECT_FALSE(r.timed_out) << what;
  EXPECT_EQ(r.exit_code, code) << what << "\n" << r.err;
  char line[64];
  std::snprintf(line, sizeof line, "Runtime error %3d at %s\n", code, location);
  EXPECT_EQ(r.out, line) << what;
  EXPECT_EQ(r.err.rfind("ovu: bmp: cannot ", 0), 0u) << what << "\n" << r.err;
}

TEST_F(BadInput, EachBitmapDamagedStopsWithItsCodeAtItsPlace) {
  struct Bitmap {
    const char* name;
    const char* open_at;
    const char* read_at;
  } bitmaps[] = {
      {"CHRMWARP.bmp", "00B10001", "00B10003"},
      {"vo.bmp", "00B10011", "00B10015"},
      {"vomask.bmp", "00B10012", "00B10016"},
  };
  struct Damage {
    const char* what;
    std::function<void(const std::string&)> make;
    int code;  // 0: still loads
    bool at_read;
    bool as_nobody = false;
  };
  const Damage damages[] = {
      {"empty", [](const std::string& p) { test::write_file(p, ""); }, 100, true},
      {"one byte short", [](const std::string& p) { ASSERT_EQ(truncate(p.c_str(), fs::file_size(p) - 1), 0); }, 100,
       true},
      {"a directory", [](const std::string& p) { fs::remove(p); fs::create_directory(p); }, EISDIR, false},
      {"a FIFO", [](const std::string& p) { fs::remove(p); ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, EINVAL, false},
      {"a socket", [](const std::string& p) { fs::remove(p); bind_socket(p); }, ENXIO, false},
      {"a symlink loop", [](const std::string& p) { fs::remove(p); fs::create_symlink(p, p); }, ELOOP, false},
      {"unreadable", [](const std::string& p) { ASSERT_EQ(chmod(p.c_str(), 0), 0); }, EACCES, false, true},
      // Sparse, so it costs no disk: only the fixed block at the front is read.
      {"4 GiB long", [](const std::string& p) { ASSERT_EQ(truncate(p.c_str(), off_t{1} << 32), 0); }, 0, false},
  };
  for (const Bitmap& bitmap : bitmaps) {
    for (const Damage& damage : damages) {
      DataDir data;
      damage.make(data.dir.file(bitmap.name));
      const std::string what = std::string(bitmap.name) + " " + damage.what;
      test::TempDir scratch;
      test::ChildResult r;
      if (damage.as_nobody) {
        r = run_as_nobody(kOneFrame, data.dir.path(), scratch);
      } else {
        test::ChildOptions options = program_options();
        options.working_directory = data.dir.path();
        r = test::run_child(program(kOneFrame), options);
      }
      if (damage.code == 0) {
        EXPECT_EQ(r.exit_code, 0) << what << "\n" << r.err;
        EXPECT_EQ(r.out, "") << what;
        continue;
      }
      expect_stop(r, damage.code, damage.at_read ? bitmap.read_at : bitmap.open_at, what);
      EXPECT_NE(r.err.find(bitmap.name), std::string::npos) << what << "\n" << r.err;
    }
  }
}

TEST_F(BadInput, WorkingDirectoryNeedsSearchNotReadPermission) {
  DataDir data;
  test::TempDir scratch;
  // No permission at all: the first bitmap cannot be opened.
  ASSERT_EQ(chmod(data.dir.path().c_str(), 0), 0);
  const auto denied = run_as_nobody(kOneFrame, data.dir.path(), scratch);
  expect_stop(denied, EACCES, "00B10001", "cwd 0000");
  EXPECT_NE(denied.err.find("Permission denied"), std::string::npos) << denied.err;
  // Search permission alone is enough: the names are known, nothing is listed.
  ASSERT_EQ(chmod(data.dir.path().c_str(), 0111), 0);
  const auto search_only = run_as_nobody(kOneFrame, data.dir.path(), scratch);
  EXPECT_EQ(search_only.exit_code, 0) << search_only.out << search_only.err;
  chmod(data.dir.path().c_str(), 0755);
}

TEST_F(BadInput, EveryMalformedCommandLineExits64WithUsage) {
  const std::vector<std::vector<std::string>> forms = {
      {"--frames"}, {"--frames", "0"}, {"--frames", "-5"}, {"--frames", "+5"}, {"--frames", "12x"},
      {"--frames", "2147483648"}, {"--frames", "99999999999"}, {"--frames", ""}, {"--frames", "0x10"},
      {"--frames", "--fps"}, {"--frames=", "5"}, {"--fixed-step", "0"}, {"--fixed-step", "1.5"},
      {"--fixed-step"}, {"--windowed"}, {"--windowed", "640"}, {"--windowed", "640x"}, {"--windowed", "x480"},
      {"--windowed", "0x480"}, {"--windowed", "640x480x2"}, {"--windowed", "40000x480"}, {"--windowed", " 640x480"},
      {"--screenshot"}, {"--screenshot="}, {"--dump-water"}, {"--data-dir"}, {"--data-dir="}, {"--fps=1"},
      {"--no-intro=yes"}, {"--help=yes"}, {"--bogus"}, {"-x"}, {"frames"}, {"-"}, {"--"}, {""},
      {"--frames", "5\n6"}, {"--bogus\n\x1b[2J"},
      {"--frames", "1", "--screenshot", "/nonexistent-dir/shot.png"}, {"--dump-water", "/proc/version"},
  };
  for (const auto& args : forms) {
    std::string shown;
    for (const auto& a : args) shown += "[" + a + "]";
    // No display: a form let through by mistake would end with 1, not 64.
    test::ChildOptions options = program_options(20);
    options.env_unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    const auto r = test::run_child(program(args), options);
    EXPECT_FALSE(r.timed_out) << shown;
    EXPECT_EQ(r.exit_code, 64) << shown << "\n" << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err.rfind("ovu: ", 0), 0u) << shown << "\n" << r.err;
    // One line of reason, plain text, then the usage.
    const std::string reason = r.err.substr(0, r.err.find('\n'));
    for (char c : reason) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << shown << ": " << reason;
    EXPECT_EQ(r.err.find("usage: ovu"), reason.size() + 1) << shown << "\n" << r.err;
  }
}

TEST_F(BadInput, DisplayWithoutGlxStopsWithCode1) {
  // A second server of our own that lacks the extension.
  const auto r = test::run_child({"/usr/bin/env", "xvfb-run", "-a", "-s", "-screen 0 320x240x24 -extension GLX",
                                  OVU_BINARY, "--windowed", "64x48", "--frames", "1"},
                                 program_options());
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.out, "Runtime error   1 at 00D10001\n");
  EXPECT_NE(r.err.find("ovu: sdl: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("GLX"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace ovu
