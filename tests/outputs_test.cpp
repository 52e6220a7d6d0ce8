// What --dump-water and --screenshot do to the names they are given: a
// regular file is replaced whole, a link's target is replaced, a device or
// FIFO is written where it is, and a failure leaves what was there and no
// temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kDumpBytes = 83232;
const std::string kPrevious = "the file of an earlier run\n";

// Unmapped from outside before its last frame, as a minimised window is.
constexpr const char* kMinimise =
    "\"$@\" & ovu=$!; xdotool search --sync --name '^ovu$' windowunmap >/dev/null; wait $ovu";

TEST(Outputs, EachKindOfNameIsWrittenAsItShouldBe) {
  ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)";
  std::unique_ptr<test::Child> reader;
  auto previous = [](const std::string& out) { return test::write_file(out, kPrevious), true; };
  auto linked = [](const std::string& target) {
    return [target](const std::string& out) { return fs::create_symlink(target, out), true; };
  };
  auto fifo = [](const std::string& out) { return mkfifo(out.c_str(), 0644) == 0; };
  // A null device of our own: a mistake must not replace the machine's.
  auto null_device = [](const std::string& out) { return mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; };
  auto read_fifo = [&](const std::string& out) {
    if (!fifo(out)) return false;
    reader = std::make_unique<test::Child>(std::vector<std::string>{"/bin/cat", out});
    return true;
  };
  using Result = const test::ChildResult&;
  auto untouched = [](const std::string& out, Result) { EXPECT_EQ(test::read_file(out), kPrevious); };
  auto dumped = [](const std::string& file, Result) { EXPECT_EQ(fs::file_size(file), kDumpBytes); };
  auto dumped_through_link = [&](const char* name) {
    return [=](const std::string& out, Result r) {
      EXPECT_TRUE(fs::is_symlink(out));
      dumped(fs::path(out).parent_path() / name, r);
    };
  };
  const std::vector<std::string> dump = {"--dump-water", "{out}"};
  const std::vector<std::string> shot = {"--screenshot", "{out}"};
  const std::vector<std::string> limit = {"/usr/bin/prlimit", "--fsize=2000", "--core=0", "--"};
  const std::vector<std::string> own_server = {"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x480x24",
                                               "/bin/bash", "-c", kMinimise, "bash"};
  const struct Row {
    const char* what;
    std::function<bool(const std::string&)> setup;  // false: cannot be made here
    std::vector<std::string> wrap;                  // put before the program
    std::vector<std::string> args;
    int exit_code;
    std::string line;
    const char* reason;
    std::function<void(const std::string&, Result)> check;
  } rows[] = {
      {"a new name", nullptr, {}, dump, 0, "", "", dumped},
      {"a regular file", previous, {}, dump, 0, "", "", dumped},
      {"a link to a file", [&](const std::string& out) { return previous(out + ".old") && linked("out.old")(out); },
       {}, dump, 0, "", "", dumped_through_link("out.old")},
      {"a link to nothing yet", linked("made"), {}, dump, 0, "", "", dumped_through_link("made")},
      {"a character device", null_device, {}, dump, 0, "", "",
       [](const std::string& out, Result) { EXPECT_TRUE(fs::is_character_file(out)); }},
      // More than a pipe holds, so the writes must block once the open did not.
      {"a FIFO with a reader", read_fifo, {}, dump, 0, "", "",
       [&](const std::string&, Result) { EXPECT_EQ(reader->wait().out.size(), kDumpBytes); }},
      {"a FIFO nobody reads", fifo, {}, dump, 6, "Runtime error   6 at 00D10003", "FIFO that nothing reads",
       [](const std::string& out, Result) { EXPECT_TRUE(fs::is_fifo(out)); }},
      // A pipe, which its link in /proc names by no path.
      {"standard output", nullptr, {}, {"--dump-water", "/dev/stdout"}, 0, "{dump}", "",
       [](const std::string&, Result r) { EXPECT_EQ(r.out.size(), kDumpBytes); }},
      {"a dump over the file-size limit", previous, limit, dump, 27, "Runtime error  27 at 00D10003",
       "File too large", untouched},
      {"a screenshot over the file-size limit", previous, limit, shot, 27, "Runtime error  27 at 00D10002",
       "File too large", untouched},
      {"a screenshot of a minimised window", previous, own_server,
       {"--frames", "100", "--delay", "50000", "--screenshot", "{out}"}, 1, "Runtime error   1 at 00D10002",
       "minimised", untouched},
  };
  for (const Row& row : rows) {
    test::TempDir dir;
    const std::string out = dir.file("out");
    if (row.setup && !row.setup(out)) {
      std::printf("skipped here: %s\n", row.what);
      continue;
    }
    auto args = row.wrap;
    for (std::string arg : test::program({"--windowed", "64x48", "--fixed-step", "16", "--frames", "2"}))
      args.push_back(arg);
    for (const std::string& arg : row.args) args.push_back(arg == "{out}" ? out : arg);
    const auto r = test::run_child(args, test::program_options());
    EXPECT_EQ(r.exit_code, row.exit_code) << row.what << "\n" << r.err;
    const std::string line = row.line.empty() ? "" : row.line + "\n";
    EXPECT_TRUE(row.line == "{dump}" || r.out == line) << row.what << ": " << r.out;
    EXPECT_NE(r.err.find(row.reason), std::string::npos) << row.what << "\n" << r.err;
    row.check(out, r);
    for (const auto& entry : fs::directory_iterator(dir.path()))
      EXPECT_EQ(entry.path().string().find(".ovu-tmp-"), std::string::npos) << row.what << ": " << entry.path();
  }
}

}  // namespace
}  // namespace ovu
