// The runtime stop as Windows shows it: the line on standard output ends in
// CR LF, the exit code is the line's code, and processor faults map to the
// codes of the fault table. Each case runs in its own child process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "child_process.h"

namespace ovu {
namespace {

std::string probe_path() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, length);
  return path.substr(0, path.find_last_of("\\/") + 1) + "win32_stop_probe.exe";
}

test::ChildResult probe(std::vector<std::string> args) {
  args.insert(args.begin(), probe_path());
  test::ChildOptions options;
  options.timeout_seconds = 30;
  return test::run_child(args, options);
}

TEST(Win32Stop, WritesTheLineWithCrLfAndExitsWithTheLowEightBitsOfTheCode) {
  struct Case {
    const char* code;
    const char* location;
    int exit_code;
    const char* line;
  } cases[] = {
      {"2", "0x00B10101", 2, "Runtime error   2 at 00B10101\r\n"},
      {"100", "0x2A", 100, "Runtime error 100 at 0000002A\r\n"},
      {"203", "0xFFFFFFFF", 203, "Runtime error 203 at FFFFFFFF\r\n"},
      {"258", "0x10", 2, "Runtime error   2 at 00000010\r\n"},
  };
  for (const Case& c : cases) {
    const auto r = probe({"stop", c.code, c.location});
    EXPECT_EQ(r.exit_code, c.exit_code) << c.code;
    // Exactly the line: no zero byte before the CR LF, nothing else.
    EXPECT_EQ(r.out, c.line) << c.code;
    EXPECT_NE(r.err.find("probe: asked to stop"), std::string::npos) << c.code;
  }
}

TEST(Win32Stop, ProcessorFaultsEndWithTheCodesOfTheTable) {
  struct Case {
    const char* what;
    int code;
  } cases[] = {
      {"segv", 216},     {"stack", 202},   {"divide", 200},         {"privileged", 218},
      {"overflow", 215}, {"bounds", 201},  {"control-c-exit", 217}, {"illegal", 255},
      {"abort", 255},    {"alloc", 203},
  };
  for (const Case& c : cases) {
    const auto r = probe({c.what});
    ASSERT_FALSE(r.timed_out) << c.what;
    EXPECT_EQ(r.exit_code, c.code) << c.what << "\n" << r.err;
    ASSERT_EQ(r.out.size(), 31u) << c.what << ": " << r.out;
    EXPECT_EQ(r.out.substr(0, 14) + r.out.substr(17, 4), "Runtime error  at ") << c.what;
    EXPECT_EQ(r.out.substr(14, 3), std::to_string(c.code)) << c.what;
    const std::string location = r.out.substr(21, 8);
    for (char digit : location) EXPECT_TRUE(std::isxdigit(digit) && !std::islower(digit)) << location;
    EXPECT_NE(location, "00000000") << c.what;
    EXPECT_EQ(r.out.substr(29), "\r\n") << c.what;
  }
}

TEST(Win32Stop, SameFaultReportsTheSameLocationEveryRun) {
  // The location is an offset into the image, so address randomisation does not move it.
  const auto first = probe({"segv"});
  const auto second = probe({"segv"});
  EXPECT_EQ(first.out, second.out);
  EXPECT_NE(probe({"divide"}).out, first.out);
}

TEST(Win32Stop, ControlWordIsSetBeforeTheProgramRunsAndANormalEndWritesNothing) {
  const auto r = probe({"fpu"});
  EXPECT_EQ(r.exit_code, 0);
  // 0x133F as loaded; reserved bit 6 reads back as 1 on current processors.
  EXPECT_TRUE(r.out == "control word 0x133F, set\r\n" || r.out == "control word 0x137F, set\r\n") << r.out;
  const auto normal = probe({"normal"});
  EXPECT_EQ(normal.exit_code, 0);
  EXPECT_EQ(normal.out, "");
}

}  // namespace
}  // namespace ovu
