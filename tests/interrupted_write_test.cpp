// A run killed while it writes --dump-water or --screenshot never leaves a
// truncated file under the final name: whatever was there stays as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

const std::string kPrevious = "the file of an earlier run\n";

std::string temporary_of(const std::string& path, pid_t pid) { return path + ".tmp-" + std::to_string(pid); }

TEST(InterruptedWrite, KillNineDuringTheWriteLeavesTheFinalNameAlone) {
  test::TempDir dir;
  const std::string path = dir.file("water.bin");
  test::write_file(path, kPrevious);
  constexpr std::uintmax_t kMiB = 256;  // long enough to be caught in the middle
  test::Child writer({OVU_WRITE_PROBE, path, std::to_string(kMiB)});
  const std::string temporary = temporary_of(path, writer.pid());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::error_code none;
  while (fs::file_size(temporary, none) == static_cast<std::uintmax_t>(-1) || fs::file_size(temporary) == 0) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the write never started";
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  writer.signal(SIGKILL);
  const auto r = writer.wait();
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_EQ(test::read_file(path), kPrevious);
  EXPECT_LT(fs::file_size(temporary), kMiB << 20);  // it was stopped midway
}

TEST(InterruptedWrite, ProgramKilledInTheMiddleOfItsOutputLeavesTheFinalNameAlone) {
  ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)";
  // A file-size limit below the output's size: the kernel kills the program
  // (SIGXFSZ, no handler of ours runs) in the middle of writing it.
  struct Case {
    const char* option;
    const char* name;
    int limit;
  } cases[] = {{"--dump-water", "water.bin", 40000}, {"--screenshot", "shot.png", 2000}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string path = dir.file(c.name);
    test::write_file(path, kPrevious);
    test::ChildOptions options = test::program_options();
    options.env_set.push_back("MESA_SHADER_CACHE_DISABLE=true");  // nothing else may write
    auto args = test::program({"--windowed", "160x120", "--fixed-step", "16", "--frames", "3", c.option, path});
    args.insert(args.begin(), {"/usr/bin/prlimit", "--fsize=" + std::to_string(c.limit), "--core=0", "--"});
    test::Child ovu(args, options);  // prlimit execs the program: same process
    const auto r = ovu.wait();
    EXPECT_EQ(r.signal, SIGXFSZ) << c.option << " " << r.exit_code << "\n" << r.err;
    EXPECT_EQ(test::read_file(path), kPrevious) << c.option;
    std::error_code none;
    EXPECT_EQ(fs::file_size(temporary_of(path, ovu.pid()), none), static_cast<std::uintmax_t>(c.limit)) << c.option;
  }
}

}  // namespace
}  // namespace ovu
