// A write killed midway by a signal that nothing can catch never leaves a
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

std::string temporary_of(const std::string& path, pid_t pid) { return path + ".ovu-tmp-" + std::to_string(pid); }

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

}  // namespace
}  // namespace ovu
