// An installed copy finds its bitmaps without --data-dir: in the current
// directory first, then in the data directory that the install step put
// beside its program.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

TEST(DataDirectory, CurrentDirectoryFirstThenTheInstalledOne) {
  ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)";
  test::TempDir prefix_dir, here;
  const fs::path prefix = fs::canonical(prefix_dir.path());
  const std::string installed = prefix / "share/ovu";
  fs::create_directories(prefix / "bin");
  fs::create_directories(installed);
  fs::copy_file(OVU_BINARY, prefix / "bin/ovu");
  for (const char* name : {"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"})
    fs::copy_file(std::string(OVU_BUILD_DIR) + "/" + name, installed + "/" + name);
  // Each row changes the files further.
  const struct Row {
    const char* what;
    std::function<void()> change;
    std::vector<std::string> args;
    int exit_code;
    std::string line;
    std::string err;
  } rows[] = {
      {"none here", nullptr, {}, 0, "", ""},
      {"a short one here", [&] { test::write_file(here.file("CHRMWARP.bmp"), "short"); }, {}, 100,
       "Runtime error 100 at 00B10003", "ovu: bmp: cannot read 'CHRMWARP.bmp': file is too short\n"},
      {"one in neither", [&] { fs::remove(here.file("CHRMWARP.bmp")); fs::remove(installed + "/vo.bmp"); }, {}, 2,
       "Runtime error   2 at 00B10011",
       "ovu: bmp: cannot open 'vo.bmp': No such file or directory; not in " + installed + " either\n"},
      {"--data-dir alone", nullptr, {"--data-dir", here.path()}, 2, "Runtime error   2 at 00B10001",
       "ovu: bmp: cannot open '" + here.file("CHRMWARP.bmp") + "': No such file or directory\n"},
  };
  for (const Row& row : rows) {
    if (row.change) row.change();
    auto args = row.args;
    args.insert(args.begin(), {prefix / "bin/ovu", "--windowed", "64x48", "--frames", "1"});
    test::ChildOptions options = test::program_options();
    options.working_directory = here.path();
    const auto r = test::run_child(args, options);
    EXPECT_EQ(r.exit_code, row.exit_code) << row.what << "\n" << r.err;
    EXPECT_EQ(r.out, row.line.empty() ? "" : row.line + "\n") << row.what;
    EXPECT_EQ(r.err, row.err) << row.what;
  }
}

}  // namespace
}  // namespace ovu
