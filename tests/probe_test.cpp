// The runtime parts under the program, each driven in a process of its own:
// the bitmap loaders on damaged files, the runtime stop and the faults that
// end in it, and writes cut off in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "driver.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;
using test::TempDir;


test::ChildResult probe(std::vector<std::string> args, const std::string& user = "", const std::string& cwd = "",
                        bool closed_stdin = false) {
  args.insert(args.begin(), OVU_PROBE);
  if (closed_stdin) args.insert(args.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" <&-"});
  // Root reads whatever it likes: permission checks run as nobody.
  if (!user.empty())
    args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups"});
  test::ChildOptions options;
  options.working_directory = cwd;
  // The sanitizers' own reports would otherwise stand in for ours.
  options.env_set = {
      "ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0:handle_segv=0:handle_sigill=0:"
      "handle_sigfpe=0:handle_abort=0:allow_user_segv_handler=1"};
  return test::run_child(args, options);
}

// Headers full of junk, which the loaders must not read.
std::string junk(std::size_t size, int seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 37 + seed * 11 + i / 1000) & 0xFF);
  return bytes;
}

// The texels as stored: red, green, blue from blue, green, red at 54; alpha
// from the mask at 1078; row 0 the first stored row.
std::string expected_texels(const std::string& colour, const std::string& mask) {
  std::string texels;
  for (std::size_t p = 0; p < 512 * 512; ++p) {
    for (int c : {2, 1, 0}) texels += colour[54 + 3 * p + c];
    if (!mask.empty()) texels += mask[1078 + p];
  }
  return texels;
}

// Done to a file ("." for the directory) before a load, as the rows name it.
void damage(const std::string& path, const std::string& how) {
  int failed = 0;
  if (how == "short") failed = truncate(path.c_str(), off_t(fs::file_size(path) - 1));
  if (how == "huge") {  // other headers and a sparse 4 GiB tail: only the fixed block at the front is read
    test::write_file(path, std::string(54, 'x') + test::read_file(path).substr(54));
    failed = truncate(path.c_str(), off_t{1} << 32);
  }
  if (how[0] == '0') failed = chmod(path.c_str(), static_cast<mode_t>(std::stoi(how, nullptr, 8)));
  if (how == "directory" || how == "fifo" || how == "loop" || how == "socket") fs::remove(path);
  if (how == "directory") fs::create_directory(path);
  if (how == "fifo") failed = mkfifo(path.c_str(), 0644);
  if (how == "loop") fs::create_symlink(path, path);
  if (how == "socket") {  // its descriptor stays open in this process, which is no matter
    sockaddr_un address{AF_UNIX, {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    failed = bind(socket(AF_UNIX, SOCK_STREAM, 0), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  ASSERT_EQ(failed, 0) << how;
}

// Loads with the real loaders, the runtime stop as the program calls it, and
// faults: each ends with its code and at most one line on standard output.
TEST(Probe, LoadsStopsAndFaultsEndWithTheirCodesAndOneLine) {
  const std::string colour = junk(54 + 512 * 512 * 3, 1), mask = junk(1078 + 512 * 512, 2);
  const std::string rgb = expected_texels(colour, ""), rgba = expected_texels(colour, mask);
  // The probe's arguments, run in a directory that holds c.bmp and m.bmp; the damage done first (file, how,
  // ...); the exit code; the stop's place, the texels when it loads, or "" for a fault's own place.
  struct Row { std::vector<std::string> args, damage; int code; std::string location; bool as_nobody = false; } rows[] = {
      {{"rgb", "c.bmp"}, {}, 0, rgb}, {{"rgba", "c.bmp", "m.bmp"}, {}, 0, rgba}, {{"rgb", "c.bmp"}, {"c.bmp", "huge"}, 0, rgb},
      {{"rgba", "c.bmp", "m.bmp"}, {"c.bmp", "0444", "m.bmp", "0444"}, 0, rgba, true},
      {{"rgb", "c.bmp"}, {".", "0111"}, 0, rgb, true},  // the names are known: search permission is enough
      {{"rgb", "c.bmp"}, {"c.bmp", "short"}, 100, "00B10003"}, {{"rgba", "c.bmp", "m.bmp"}, {"c.bmp", "short"}, 100, "00B10015"},
      {{"rgba", "c.bmp", "m.bmp"}, {"m.bmp", "short"}, 100, "00B10016"}, {{"rgb", "none.bmp"}, {}, ENOENT, "00B10001"},
      {{"rgba", "none.bmp", "none.bmp"}, {}, ENOENT, "00B10011"},
      {{"rgba", "c.bmp", "none.bmp"}, {}, ENOENT, "00B10012"},  // after the colour file opened
      {{"rgb", "c.bmp"}, {"c.bmp", "directory"}, EISDIR, "00B10001"}, {{"rgb", "c.bmp"}, {"c.bmp", "fifo"}, EINVAL, "00B10001"},
      {{"rgb", "c.bmp"}, {"c.bmp", "loop"}, ELOOP, "00B10001"}, {{"rgb", "c.bmp"}, {"c.bmp", "socket"}, ENXIO, "00B10001"},
      {{"rgb", "c.bmp/x"}, {}, ENOTDIR, "00B10001"}, {{"rgb", "/dev/null"}, {}, EINVAL, "00B10001"},
      {{"rgba", "c.bmp", "m.bmp"}, {"m.bmp", "0000"}, EACCES, "00B10012", true},
      // clang-format off
      {{"stop", "2", "0x00B10101"}, {}, 2, "00B10101"},
      {{"stop", "258", "0x10"}, {}, 2, "00000010"}, {{"stop", "512", "0x10"}, {}, 0, "00000010"},  // the low 8 bits
      {{"segv"}, {}, 216, ""}, {{"bus"}, {}, 216, ""}, {{"stack"}, {}, 202, ""}, {{"divide"}, {}, 200, ""},
      {{"noncanonical"}, {}, 216, ""}, {{"library"}, {}, 216, ""}, {{"privileged"}, {}, 218, ""},
      {{"undefined"}, {}, 255, ""}, {{"abort"}, {}, 255, ""}, {{"alloc"}, {}, 203, ""},
      // clang-format on
  };
  for (const Row& row : rows) {
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    test::write_file(dir.file("c.bmp"), colour);
    test::write_file(dir.file("m.bmp"), mask);
    std::string what = row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : "");
    for (std::size_t k = 0; k + 1 < row.damage.size(); k += 2) {
      damage(dir.file(row.damage[k]), row.damage[k + 1]);
      what += " " + row.damage[k] + " " + row.damage[k + 1];
    }
    SCOPED_TRACE(what);
    const auto r = probe(row.args, row.as_nobody ? "65534" : "", dir.path());
    EXPECT_EQ(r.exit_code, row.code) << r.err;  // -1 when it had to be killed
    const bool load = row.args[0].rfind("rgb", 0) == 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))  // the stop removed the film's temporary file
      EXPECT_TRUE(row.code == 0 || entry.path().filename().string().rfind("film", 0) != 0) << entry.path();
    EXPECT_TRUE(!load || r.err.rfind(row.code == 0 ? "" : "ovu: bmp: cannot ", 0) == 0) << r.err;
    char line[64];
    std::snprintf(line, sizeof line, "Runtime error %3d at %s\n", row.code, row.location.c_str());
    if (!row.location.empty()) {
      EXPECT_TRUE(r.out == (load && row.code == 0 ? row.location : line)) << r.out.substr(0, 64);
      continue;
    }
    // A fault's place: eight upper-case hex digits, not zero, the same in every run.
    EXPECT_TRUE(std::regex_match(r.out, std::regex(std::string(line).substr(0, 21) + "(?!0{8})[0-9A-F]{8}\n"))) << r.out;
    // Its offset in the file: the wild store lies inside write_wild as nm lists it (text at its own offset).
    if (std::smatch f; row.args[0] == "segv") {
      const std::string nm = test::run_child({"/usr/bin/nm", "-S", OVU_PROBE}).out;
      ASSERT_TRUE(std::regex_search(nm, f, std::regex("([0-9a-f]+) ([0-9a-f]+) t \\w*write_wild"))) << nm;
      EXPECT_LT(std::stoul(r.out.substr(21, 8), nullptr, 16) - std::stoul(f[1], nullptr, 16), std::stoul(f[2], nullptr, 16));
    }
    // Not abort(), whose signal comes from inside the C library, nor the overflow, which meets the guard page at
    // a call or at a store into the frame, as the stack's random start falls.
    const bool fixed_place = row.args[0] != "abort" && row.args[0] != "stack";
    // The next open then takes descriptor 0, as where a host starts it without standard input.
    EXPECT_TRUE(!fixed_place || probe(row.args, "", "", true).out == r.out) << "another place in another run";
  }
}

// A signal in the middle of a replacing write: one that nothing can catch
// leaves the earlier file under the final name; the others take effect only
// once the whole new file is in place. The writer is held stopped while its
// temporary file exists, so the signal surely comes in the middle.
TEST(RuntimeStop, ASignalInTheMiddleOfAWriteLeavesNoTruncatedFile) {
  constexpr std::uintmax_t kMiB = 128;
  const std::string previous = "the file of an earlier run\n";
  auto state = [](pid_t pid) {  // R, S, D, T (stopped), Z (ended)
    const std::string stat = test::read_file("/proc/" + std::to_string(pid) + "/stat");
    return stat.size() > stat.rfind(')') + 2 ? stat[stat.rfind(')') + 2] : 'Z';
  };
  for (int signal : {SIGKILL, SIGQUIT, SIGUSR1, SIGALRM}) {
    SCOPED_TRACE(strsignal(signal));
    TempDir dir;
    const std::string path = dir.file("out");
    std::unique_ptr<test::Child> child;
    std::string temporary;
    std::error_code none;
    // A machine fast enough to finish before the stop lands gets another try.
    for (int attempt = 0; attempt < 10 && !(child && state(child->pid()) == 'T' && fs::exists(temporary, none));
         ++attempt) {
      test::write_file(path, previous);
      child = std::make_unique<test::Child>(std::vector<std::string>{"/usr/bin/prlimit", "--core=0", "--", OVU_PROBE,
                                                                     "write", path, std::to_string(kMiB)});
      temporary = path + ".ovu-tmp-" + std::to_string(child->pid());
      ASSERT_TRUE(test::eventually([&] { return fs::exists(temporary, none) || state(child->pid()) == 'Z'; }));
      child->signal(SIGSTOP);
      ASSERT_TRUE(test::eventually([&] { return state(child->pid()) == 'T' || state(child->pid()) == 'Z'; }));
    }
    ASSERT_TRUE(fs::exists(temporary, none)) << "never held in the middle of its write";
    child->signal(signal);
    child->signal(SIGCONT);
    EXPECT_EQ(child->wait().signal, signal);
    if (signal == SIGKILL) {
      EXPECT_EQ(test::read_file(path), previous);
    } else {
      EXPECT_EQ(fs::file_size(path), kMiB << 20);
      EXPECT_FALSE(fs::exists(temporary));
    }
  }
}

}  // namespace
}  // namespace ovu
