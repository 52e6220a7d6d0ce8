// The driver for the real program: runs it with a row of arguments and
// set-up, and checks exit code, standard output, standard error and files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace ovu::test {

struct ChildResult {
  int exit_code = -1;   // -1 when it did not exit normally
  int signal = 0;       // the signal that ended it, if any
  bool timed_out = false;
  std::string out, err;
};

struct ChildOptions {
  std::string working_directory;      // empty: inherit
  std::vector<std::string> env_set;   // "NAME=value" entries added or replaced
  std::vector<std::string> env_unset; // names removed
};

// A child started with no standard input and both outputs captured, in a
// process group of its own.
class Child {
public:
  Child(const std::vector<std::string>& argv, const ChildOptions& options = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int number);
  // What it has written on standard output so far.
  std::string output() const;
  // False once it has ended (it is then reaped; wait() still reports how).
  bool running();
  // Waits for the end; a child that outlives the timeout is killed and
  // reported as timed out. The default 300 s: the sanitizers at a load of 10 on 2 cores.
  ChildResult wait(double seconds = 300);

private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options = {});

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Waits for `condition`, polling; false if it does not come within `seconds`.
bool eventually(const std::function<bool()>& condition, double seconds = 300);

// Waits for `condition` while `child` runs: empty once it holds, else why
// not: the child ended first, or `seconds` passed.
std::string await(Child& child, const std::function<bool()>& condition, const std::string& what,
                  double seconds = 120);

// A row's description as a test name: letters and digits, the rest '_'.
std::string row_name(const std::string& what);

// An X server of the test's own, so that the keys, clicks and close requests
// it sends reach nothing else and nothing else takes its focus.
class XServer {
public:
  explicit XServer(const std::string& screen = "200x150x24", bool glx = true);
  ~XServer();  // not copied: it holds the server
  std::string env() const { return "DISPLAY=" + display_; }

private:
  std::unique_ptr<Child> server_;
  std::string display_;
};

// A headless Wayland compositor of the test's own, run as the caller, or as
// root as the user ovu-wayland (sway refuses root). Sway: software
// rendering, no input devices, outputs HEADLESS-1 of 320 x 240 and, once
// made with `create_output`, HEADLESS-2 of 200 x 150 to its right; windows
// titled "ovu" float with a magenta border. Weston 10's headless backend:
// no layer shell and no seat. KWin's virtual one (under a session bus of its
// own, from a copy of the binary, whose file capabilities are refused here):
// one output, Virtual-0, of 320 x 240 at `scale`; grim cannot capture it.
// Clients reach it through the absolute path in env(), SDL's through its
// Wayland driver.
class Compositor {
public:
  enum class Kind { Sway, Weston, KWin };
  explicit Compositor(Kind kind = Kind::Sway, const std::string& scale = "1");
  ~Compositor();  // not copied: it holds the compositor
  // Why it cannot run here; empty when it runs.
  const std::string& unavailable() const { return unavailable_; }
  std::vector<std::string> env() const {
    return {"WAYLAND_DISPLAY=" + wayland_, "SWAYSOCK=" + ipc_, "SDL_VIDEODRIVER=wayland"};
  }
  ChildResult msg(const std::vector<std::string>& args) const;  // swaymsg

private:
  TempDir dir_;  // its XDG_RUNTIME_DIR, which the compositor outlives
  std::unique_ptr<Child> server_;
  std::string wayland_, ipc_, unavailable_;
};

// The program with its arguments, and options to run it in `cwd` (default:
// where its bitmaps are) on the tests' display, `env` changed as in a row.
// Leak checks are left to memcheck: the GL and window libraries keep memory
// until exit.
std::vector<std::string> program(const std::vector<std::string>& args);
ChildOptions program_options(const std::string& cwd = "", std::vector<std::string> env = {});

// xdotool, xprop, apitrace, the X11 helper: on `display` ("DISPLAY=:5") or the tests' display.
ChildResult tool(const std::vector<std::string>& args, const std::string& display = "");

struct ProgramRow {
  std::string what;
  // "{dir}": the row's directory (here and in env); "{ovu}": where the program
  // goes, behind what runs it (without one, the program comes first)
  std::vector<std::string> args;
  int code = 0;
  std::string out;                    // all of standard output; a final '*': anything after
  std::string err;                    // a part of standard error
  std::vector<std::string> env = {};  // "NAME=value" to set, "NAME" to unset
  // Shell commands run in the row's directory, which holds a fresh copy of the
  // bitmaps and is the working directory ($OVU_BINARY: the build's program):
  std::string setup = {};  // before the run
  std::string check = {};  // after it, to succeed: the files it wrote
  std::function<void(const TempDir&, const ChildResult&)> verify = {};  // what the shell cannot see
};

// The words of both, in order: command lines and call lists put together.
inline std::vector<std::string> operator+(std::vector<std::string> words, const std::vector<std::string>& more) {
  words.insert(words.end(), more.begin(), more.end());
  return words;
}

// Runs one row in a directory of its own and checks what it promises.
void run_row(const ProgramRow& row);
inline void PrintTo(const ProgramRow& row, std::ostream* out) { *out << row.what; }

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};
Image read_png(const std::string& path);

// Fog above the horizon, (0.5, 0.5, 0.7), and dark blue water near the
// camera: the scene, from a pixel of its top row and one of its bottom row.
// A compositor's copy may round the fog's blue up.
template <typename T>
bool scene(const T* top, const T* bottom) {
  return top[0] == 128 && top[1] == 128 && top[2] - 178u <= 1 && bottom[0] + bottom[1] + bottom[2] < 300 &&
         bottom[2] > bottom[0] && bottom[1] < 128;
}

}  // namespace ovu::test
