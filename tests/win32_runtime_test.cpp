// The runtime under the program on Windows: file access through CreateFileA
// with the system's codes, and the runtime stop, whose line ends in CR LF and
// whose processor faults map to the codes of the fault table. The stop cases
// run this program again as a probe ("probe WHAT"), one failure per run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <regex>
#include <string>
#include <utility>

#include "core/fpu.h"
#include "platform/file.h"
#include "platform/guard.h"
#include "platform/stop.h"

namespace ovu {
namespace {

namespace fs = std::filesystem;

volatile std::uintptr_t g_wild_address = 16;
volatile bool g_keep_going = true;
char* volatile g_sink;

__attribute__((noinline)) void write_wild() { *reinterpret_cast<volatile int*>(g_wild_address) = 1; }

__attribute__((noinline)) int recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return (g_keep_going ? recurse(depth + 1) : 0) + frame[0];
}

__attribute__((noinline)) int divide(volatile int a, volatile int b) { return a / b; }

// An x86-64 processor cannot raise these any more (INTO and BOUND are gone),
// so they are raised as the system reports a fault. Were one continued, the
// probe would return 64 and the test fail.
int probe(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "stop" && argc == 4)
    fatal_stop(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)),
               static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0)), "probe: asked to stop");
  if (what == "segv") write_wild();
  if (what == "stack") return recurse(0);
  if (what == "divide") return divide(1, 0);
  if (what == "privileged") __asm__ volatile("hlt");
  if (what == "illegal") __builtin_trap();
  if (what == "overflow") RaiseException(EXCEPTION_INT_OVERFLOW, 0, 0, nullptr);
  if (what == "bounds") RaiseException(EXCEPTION_ARRAY_BOUNDS_EXCEEDED, 0, 0, nullptr);
  if (what == "control-c-exit") RaiseException(STATUS_CONTROL_C_EXIT, 0, 0, nullptr);
  if (what == "abort") std::abort();
  // A quarter of the address space a block, never touched: the first to
  // fourth request fails on either architecture, at no cost in memory.
  while (what == "alloc") g_sink = new char[std::numeric_limits<std::size_t>::max() / 4];
  if (what == "fpu") std::printf("control word 0x%04X, %s\n", unsigned(fpu_control()), fpu_control_is_set() ? "set" : "");
  return what == "fpu" || what == "normal" ? 0 : 64;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under the temporary one, removed with its read-only files at the end.
struct Scratch {
  fs::path path = fs::temp_directory_path() / ("ovu-" + std::to_string(GetCurrentProcessId()));
  Scratch() { fs::create_directories(path); }
  ~Scratch() {
    for (const auto& entry : fs::directory_iterator(path))
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(path);
  }
  std::string file(const std::string& name, std::size_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
    const std::string full = (path / name).string();
    std::ofstream out(full, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
    out.close();
    SetFileAttributesA(full.c_str(), attributes);
    return full;
  }
};

struct ProbeRun { int code; std::string out, err; };

// This program as a probe; cmd.exe strips the outer quotes and keeps the rest.
ProbeRun run_probe(const std::string& args) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const Scratch scratch;
  const fs::path out = scratch.path / "out", err = scratch.path / "err";
  const std::string command = "\"\"" + std::string(self) + "\" probe " + args + " >\"" + out.string() + "\" 2>\"" +
                              err.string() + "\"\"";
  const int code = std::system(command.c_str());
  return {code, read_file(out), read_file(err)};
}

TEST(Win32Stop, TheLineEndsInCrLfAndFaultsEndWithTheCodesOfTheTable) {
  // Rows: the probe's arguments, exit code, a pattern for all of standard output, a part of standard error.
  struct Case { const char* args; int code; const char* out; const char* err; } cases[] = {
      {"stop 2 0x00B10101", 2, "Runtime error   2 at 00B10101\r\n", "ovu: probe: asked to stop\r\n"},
      {"stop 100 0x2A", 100, "Runtime error 100 at 0000002A\r\n", "ovu: probe: asked to stop"},
      {"stop 203 0xFFFFFFFF", 203, "Runtime error 203 at FFFFFFFF\r\n", "ovu: probe: asked to stop"},
      {"stop 258 0x10", 2, "Runtime error   2 at 00000010\r\n", "ovu: probe: asked to stop"},
      {"segv", 216, "Runtime error 216 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: exception 0xC0000005"},
      {"stack", 202, "Runtime error 202 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"divide", 200, "Runtime error 200 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"privileged", 218, "Runtime error 218 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"overflow", 215, "Runtime error 215 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"bounds", 201, "Runtime error 201 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"control-c-exit", 217, "Runtime error 217 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"illegal", 255, "Runtime error 255 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: "},
      {"abort", 255, "Runtime error 255 at (?!0{8})[0-9A-F]{8}\r\n", "ovu: fault: abort"},
      {"alloc", 203, "Runtime error 203 at (?!0{8})[0-9A-F]{8}\r\n", ""},
      // 0x133F as loaded; reserved bit 6 reads back as 1 on current processors.
      {"fpu", 0, "control word 0x13[37]F, set\r\n", ""},
      {"normal", 0, "", ""},
  };
  for (const Case& c : cases) {
    const ProbeRun r = run_probe(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex(c.out))) << c.args << ": " << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
  }
  // The location is an offset into the image, so address randomisation does not move it.
  EXPECT_EQ(run_probe("segv").out, run_probe("segv").out);
  EXPECT_NE(run_probe("divide").out, run_probe("segv").out);
}

TEST(Win32File, OpenFailuresAreTheSystemsCodesAndReadsComeUpShortWith100) {
  const Scratch scratch;
  const std::string dir = scratch.path.string();
  // A device would block or read as empty; it is refused as no file.
  for (const auto& [path, code] : {std::pair<std::string, int>{dir + "\\missing.bmp", ERROR_FILE_NOT_FOUND},
                                   {dir + "\\no-dir\\x.bmp", ERROR_PATH_NOT_FOUND},
                                   {dir, ERROR_ACCESS_DENIED}, {"NUL", ERROR_BAD_FILE_TYPE}}) {
    FileHandle file;
    EXPECT_EQ(file_open(path.c_str(), file), code) << path;
  }
  const std::string text = file_error_text(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(text != "error 2" && text.find_first_of(".\r\n") == std::string::npos) << text;

  // A file of 100 bytes, which another program may hold open, sharing what it
  // must to let us read. Positioning past the end is no error; the read after it comes up short.
  struct Case { DWORD attributes, access, share; std::uint32_t offset; std::size_t count; int code; } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 0, 100, 0},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 0, 101, 100},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 99, 1, 0},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 99, 2, 100},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 100, 1, 100},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 5000, 1, 100},
      {FILE_ATTRIBUTE_NORMAL, 0, FILE_SHARE_READ, 0xFFFFFFFFu, 1, 100},
      {FILE_ATTRIBUTE_READONLY, GENERIC_READ, FILE_SHARE_READ, 54, 10, 0},  // an image viewer
      {FILE_ATTRIBUTE_NORMAL, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 54, 10, 0},  // an editor
  };
  for (const Case& c : cases) {
    const std::string path = scratch.file(std::to_string(&c - cases) + ".bmp", 100, c.attributes);
    const HANDLE other = CreateFileA(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    FileHandle file;
    ASSERT_EQ(file_open(path.c_str(), file), 0) << &c - cases;
    std::string buffer(c.count, '\0'), want;
    for (std::size_t i = c.offset; i < c.offset + c.count && c.code == 0; ++i) want += static_cast<char>(i * 7);
    EXPECT_EQ(file_seek(file, c.offset), 0) << c.offset;
    EXPECT_EQ(file_read(file, buffer.data(), c.count), c.code) << c.offset << " + " << c.count;
    EXPECT_TRUE(c.code != 0 || buffer == want) << c.offset << " + " << c.count;
    EXPECT_EQ(file_close(file), 0);
    CloseHandle(other);
  }
}

TEST(Win32File, WritesReplaceTheFileWholeAndRefuseWhatCannotBeWritten) {
  const Scratch scratch;
  const std::string path = scratch.file("out.png", 5000);
  ASSERT_EQ(write_file_replacing(path, "new", 3), 0);
  EXPECT_EQ(read_file(path), "new");  // truncated, not overwritten in place
  const std::string dir = scratch.path.string();
  EXPECT_EQ(check_writable(dir + "\\no-dir\\x.png"), ERROR_PATH_NOT_FOUND);
  EXPECT_NE(check_writable(dir), 0);
  EXPECT_EQ(check_writable(dir + "\\fresh.png"), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path), {}), 1);  // nothing left behind but out.png
  // A device is written where it is, never replaced by a renamed file.
  EXPECT_EQ(check_writable("NUL"), 0);
  EXPECT_EQ(write_file_replacing("NUL", "new", 3), 0);
}

}  // namespace
}  // namespace ovu

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "probe") return ovu::run_guarded(ovu::probe, argc - 1, argv + 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
