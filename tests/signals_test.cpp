// Signals and the error line: a hang-up ends the run in order, a signal in
// the middle of a write takes effect after it, a closed pipe on standard
// output leaves the exit code and the reason, and X-level failures stop with
// code 1 and one readable line. Rows that kill X connections or windows run
// on an X server of their own.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kProbeMiB = 128;  // long enough to be caught in the middle on a busy machine

// Standard output a pipe that nobody reads.
constexpr const char* kBrokenStdout =
    "p=$(mktemp -u) && mkfifo \"$p\" && exec 3<>\"$p\" 4>\"$p\" 3<&- && rm \"$p\" && exec \"$@\" >&4";
constexpr const char* kKillConnection =
    "\"$@\" & ovu=$!; xdotool search --sync --name '^ovu$' windowkill >/dev/null; wait $ovu";
constexpr const char* kDestroyWindow =
    "\"$@\" & ovu=$!; \"$X11_HELPER\" destroy $(xdotool search --sync --name '^ovu$' | head -1); wait $ovu";
constexpr const char* kInputOnlyHost =
    "\"$X11_HELPER\" host 64x48 \"$0.id\" input-only 2>/dev/null & until [ -s \"$0.id\" ]; do sleep 0.05; done; "
    "exec \"$@\" --window-id $(cat \"$0.id\")";

bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  return condition();
}

bool catches(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
  return false;
}

bool has_temporary(const std::string& dir) {
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().string().find(".ovu-tmp-") != std::string::npos) return true;
  return false;
}

TEST(Signals, EachEndsTheRunAsItShould) {
  ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)";
  auto own_server = [](const char* script) {
    return std::vector<std::string>{"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24", "/bin/bash", "-c",
                                    script, "{out}"};
  };
  const std::vector<std::string> broken_stdout = {"/bin/bash", "-c", kBrokenStdout, "bash"};
  const std::vector<std::string> no_core = {"/usr/bin/prlimit", "--core=0", "--"};
  const std::vector<std::string> probe = {OVU_WRITE_PROBE, "{out}", std::to_string(kProbeMiB)};
  auto in_window = [](std::vector<std::string> args) {
    args.insert(args.begin(), {"--windowed", "64x48"});
    return test::program(args);
  };
  enum When { Never, Started, Writing };
  const struct Row {
    const char* what;
    std::vector<std::string> wrap;  // put before the command
    std::vector<std::string> command;
    When when;
    int signal;     // sent `when`
    int exit_code;  // -1: ended by the signal
    std::string line;
    const char* reason;
    std::uintmax_t out_bytes;  // 0: none made
  } rows[] = {
      {"a hang-up", {}, in_window({"--dump-water", "{out}"}), Started, SIGHUP, 0, "", "", 83232},
      {"SIGQUIT in a write", no_core, probe, Writing, SIGQUIT, -1, "", "", kProbeMiB << 20},
      {"SIGUSR1 in a write", no_core, probe, Writing, SIGUSR1, -1, "", "", kProbeMiB << 20},
      {"SIGALRM in a write", no_core, probe, Writing, SIGALRM, -1, "", "", kProbeMiB << 20},
      {"a closed pipe at a stop", broken_stdout, in_window({"--data-dir", "/nonexistent"}), Never, 0, 2, "",
       "bmp: cannot open '/nonexistent/CHRMWARP.bmp'", 0},
      {"a closed pipe for --help", broken_stdout, test::program({"--help"}), Never, 0, 0, "", "", 0},
      {"a closed pipe for --version", broken_stdout, test::program({"--version"}), Never, 0, 0, "", "", 0},
      {"control characters in a reason", {}, in_window({"--data-dir", "/nonexistent/a\nb\x1b[2J"}), Never, 0, 2,
       "Runtime error   2 at 00B10001", "'/nonexistent/a?b?[2J/CHRMWARP.bmp'", 0},
      {"a killed X connection", own_server(kKillConnection), in_window({}), Never, 0, 1,
       "Runtime error   1 at 00D10005", "ovu: x11: the connection to the X server was lost", 0},
      {"our window destroyed", own_server(kDestroyWindow), in_window({}), Never, 0, 1,
       "Runtime error   1 at 00D10004", "ovu: x11: our window was destroyed from outside", 0},
      {"an input-only host window", own_server(kInputOnlyHost), test::program({}), Never, 0, 1,
       "Runtime error   1 at 00D10001", "is input-only", 0},
  };
  for (const Row& row : rows) {
    test::TempDir dir;
    const std::string out = dir.file("out");
    std::vector<std::string> args = row.wrap;
    args.insert(args.end(), row.command.begin(), row.command.end());
    for (std::string& arg : args)
      if (arg == "{out}") arg = out;
    test::ChildOptions options = test::program_options();
    options.env_set.push_back(std::string("X11_HELPER=") + OVU_X11_HELPER);
    test::Child child(args, options);
    const std::string temporary = out + ".ovu-tmp-" + std::to_string(child.pid());
    auto ready = [&] {
      if (row.when == Started) return catches(child.pid(), SIGHUP);
      std::error_code missing;
      const auto size = fs::file_size(temporary, missing);
      return !missing && size > 0;
    };
    EXPECT_TRUE(row.when == Never || eventually(ready)) << row.what;
    if (row.signal != 0) child.signal(row.signal);
    const auto r = child.wait();
    EXPECT_EQ(r.exit_code, row.exit_code) << row.what << "\n" << r.err;
    EXPECT_EQ(r.signal, row.exit_code < 0 ? row.signal : 0) << row.what;
    EXPECT_EQ(r.out, row.line.empty() ? "" : row.line + "\n") << row.what;
    EXPECT_NE(r.err.find(row.reason), std::string::npos) << row.what << "\n" << r.err;
    for (char c : r.err) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << row.what << "\n" << r.err;
    std::error_code none;
    EXPECT_EQ(fs::file_size(out, none), row.out_bytes != 0 ? row.out_bytes : static_cast<std::uintmax_t>(-1))
        << row.what;
    EXPECT_FALSE(has_temporary(dir.path())) << row.what;
  }
}

}  // namespace
}  // namespace ovu
