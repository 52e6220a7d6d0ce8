#include <gtest/gtest.h>

#include <cctype>

#include "child_process.h"

namespace ovu {
namespace {

using test::run_child;

test::ChildResult probe(std::vector<std::string> args) {
  args.insert(args.begin(), OVU_STOP_PROBE);
  test::ChildOptions options;
  options.timeout_seconds = 20;
  // The sanitizers' own reports would otherwise stand in for ours.
  options.env_set = {"ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0:handle_segv=0:handle_sigill=0:handle_sigfpe=0:handle_abort=0:allow_user_segv_handler=1"};
  return run_child(args, options);
}

TEST(RuntimeStop, WritesTheLineAndExitsWithTheLowEightBitsOfTheCode) {
  struct Case {
    const char* code;
    const char* location;
    int exit_code;
    const char* line;
  } cases[] = {
      {"0", "0x1", 0, "Runtime error   0 at 00000001\n"},
      {"2", "0x00B10101", 2, "Runtime error   2 at 00B10101\n"},
      {"100", "0x2A", 100, "Runtime error 100 at 0000002A\n"},
      {"203", "0xFFFFFFFF", 203, "Runtime error 203 at FFFFFFFF\n"},
      {"255", "0x10", 255, "Runtime error 255 at 00000010\n"},
      {"258", "0x10", 2, "Runtime error   2 at 00000010\n"},
      {"512", "0x10", 0, "Runtime error   0 at 00000010\n"},
  };
  for (const Case& c : cases) {
    const auto r = probe({"stop", c.code, c.location});
    EXPECT_EQ(r.exit_code, c.exit_code) << c.code;
    EXPECT_EQ(r.out, c.line) << c.code;  // no zero byte, nothing else on stdout
    EXPECT_NE(r.err.find("probe: asked to stop"), std::string::npos) << c.code;
  }
}

TEST(RuntimeStop, FaultsEndWithTheirCodes) {
  struct Case {
    const char* what;
    int code;
  } cases[] = {
      {"segv", 216}, {"bus", 216}, {"stack", 202}, {"divide", 200}, {"undefined", 255},
      {"privileged", 218}, {"noncanonical", 216}, {"library", 216}, {"interrupt", 217}, {"abort", 255},
      {"alloc", 203},
  };
  for (const Case& c : cases) {
    const auto r = probe({c.what});
    EXPECT_FALSE(r.timed_out) << c.what;
    EXPECT_EQ(r.exit_code, c.code) << c.what << "\n" << r.err;
    ASSERT_EQ(r.out.size(), 30u) << c.what << ": " << r.out;
    EXPECT_EQ(r.out.substr(0, 14) + r.out.substr(17, 4), "Runtime error  at ") << c.what;
    EXPECT_EQ(r.out.substr(14, 3), std::to_string(c.code)) << c.what;
    const std::string location = r.out.substr(21, 8);
    for (char digit : location) EXPECT_TRUE(std::isxdigit(digit) && !std::islower(digit)) << location;
    EXPECT_NE(location, "00000000") << c.what;
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_FALSE(r.err.empty()) << c.what;
  }
}

TEST(RuntimeStop, SameFaultReportsTheSameLocationEveryRun) {
  // Our code and a library's, which is loaded at another address every run.
  for (const char* fault : {"segv", "library"}) EXPECT_EQ(probe({fault}).out, probe({fault}).out) << fault;
}

TEST(RuntimeStop, NormalEndAndTerminationWriteNoLine) {
  const auto normal = probe({"normal"});
  EXPECT_EQ(normal.exit_code, 0);
  EXPECT_EQ(normal.out, "");
  const auto term = probe({"terminate"});
  EXPECT_EQ(term.exit_code, 0);
  EXPECT_EQ(term.out, "close requested\n");
}

}  // namespace
}  // namespace ovu
