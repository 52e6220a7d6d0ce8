#include "driver.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace ovu::test {

namespace fs = std::filesystem;

namespace {

// The child's outputs go to files of their own, unlinked at once, read at its end.
int scratch_file() {
  char name[] = "/tmp/ovu-child-XXXXXX";
  const int fd = mkstemp(name);
  if (fd >= 0) unlink(name);
  return fd;
}

std::string contents(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t got; (got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  return text;
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options)
    : out_fd_(scratch_file()), err_fd_(scratch_file()) {
  // env sets the environment and the directory, then becomes the program: the same process.
  std::vector<std::string> args = {"/usr/bin/env"};
  if (!options.working_directory.empty()) args.insert(args.end(), {"-C", options.working_directory});
  for (const auto& name : options.env_unset) args.insert(args.end(), {"-u", name});
  args.insert(args.end(), options.env_set.begin(), options.env_set.end());
  args.insert(args.end(), argv.begin(), argv.end());
  std::vector<char*> pointers;
  for (auto& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);  // its own group, so that a timeout ends whatever it started too
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(out_fd_, STDOUT_FILENO);
    dup2(err_fd_, STDERR_FILENO);
    execv(pointers[0], pointers.data());
    _exit(127);
  }
}

Child::~Child() {
  if (pid_ > 0 && !reaped_) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(out_fd_);
  close(err_fd_);
}

void Child::signal(int number) { if (pid_ > 0 && !reaped_) kill(pid_, number); }

std::string Child::output() const { return contents(out_fd_); }

bool Child::running() {
  if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

ChildResult Child::wait(double seconds) {
  ChildResult result;
  result.timed_out = !eventually([&] { return !running(); }, seconds);
  if (result.timed_out) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    reaped_ = true;
  }
  if (WIFEXITED(status_)) result.exit_code = WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
  result.out = contents(out_fd_);
  result.err = contents(err_fd_);
  return result;
}

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options) { return Child(argv, options).wait(); }

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  char pattern[] = "/tmp/ovu-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);  // as root, whatever the tests did to the permissions
}

XServer::XServer(const std::string& screen, bool glx) {
  // Without -noreset the server starts afresh whenever its last client leaves, refusing the next one meanwhile.
  std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", "1",   "-screen", "0",
                                   screen,          "-nolisten",  "tcp", "-noreset"};
  if (!glx) args.insert(args.end(), {"-extension", "GLX"});
  server_ = std::make_unique<Child>(args);
  // It writes its display number once it takes connections.
  if (await(*server_, [&] { return server_->output().find('\n') != std::string::npos; }, "a display number").empty())
    display_ = ":" + server_->output().substr(0, server_->output().find('\n'));
}

XServer::~XServer() {
  server_->signal(SIGTERM);  // so that it removes its lock and socket
  server_->wait();
}

Compositor::Compositor(Kind kind, const std::string& scale) {
  std::vector<std::string> command;
  if (geteuid() == 0) {
    const passwd* user = getpwnam("ovu-wayland");
    if (user == nullptr || chown(dir_.path().c_str(), user->pw_uid, user->pw_gid) != 0) {
      unavailable_ = "there is no user ovu-wayland to run the compositor as (scripts/test.sh makes it)";
      return;
    }
    command = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user->pw_uid),
               "--regid=" + std::to_string(user->pw_gid), "--clear-groups"};
  }
  const std::string dir = dir_.path(), size[] = {"--width=320", "--height=240"};
  const std::vector<std::string> programs[] = {
      {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "/usr/bin/sway", "-c", dir + "/config"},
      {"/usr/bin/weston", "--backend=headless-backend.so", "--socket=wayland-1", size[0], size[1]},
      {"KWIN_COMPOSE=Q", "/usr/bin/dbus-run-session", "--", dir + "/kwin_wayland", "--virtual", "--socket=wayland-1",
       size[0], size[1], "--scale=" + scale, "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"}};
  write_file(dir_.file("config"), "xwayland disable\n"
                                  "output HEADLESS-1 resolution 320x240 position 0 0\n"
                                  "output HEADLESS-2 resolution 200x150 position 320 0\n"
                                  "for_window [title=\"^ovu$\"] floating enable\n"
                                  "default_floating_border pixel 12\n"
                                  "client.focused #ff00ff #ff00ff #ffffff #ff00ff #ff00ff\n"
                                  "client.unfocused #ff00ff #ff00ff #ffffff #ff00ff #ff00ff\n");
  std::error_code missing;  // then it fails to start, saying so
  if (kind == Kind::KWin) fs::copy_file("/usr/bin/kwin_wayland", dir_.file("kwin_wayland"), missing);
  command = command + std::vector<std::string>{"/usr/bin/env", "-i", "XDG_RUNTIME_DIR=" + dir, "HOME=" + dir,
                                               "PATH=/usr/bin:/bin"} + programs[int(kind)];
  server_ = std::make_unique<Child>(command);
  // Ready once its socket is there (a client's first request waits for it
  // to listen), and sway once it answers on its second socket too.
  const std::string ready = await(*server_, [&] {
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename();
      if (entry.is_socket() && name.rfind("wayland-", 0) == 0) wayland_ = entry.path();
      if (entry.is_socket() && name.rfind("sway-ipc.", 0) == 0) ipc_ = entry.path();
    }
    return !wayland_.empty() && (kind != Kind::Sway || (!ipc_.empty() && msg({"-t", "get_version"}).exit_code == 0));
  }, "its sockets");
  EXPECT_EQ(ready, "") << server_->output();
}

// Its whole group, so that KWin goes with the session bus that started it.
Compositor::~Compositor() {
  if (!server_) return;
  kill(-server_->pid(), SIGTERM);
  server_->wait();
}

ChildResult Compositor::msg(const std::vector<std::string>& args) const {
  return run_child(std::vector<std::string>{"/usr/bin/swaymsg", "-s", ipc_} + args);
}

std::vector<std::string> program(const std::vector<std::string>& args) {
  std::vector<std::string> command = {OVU_BINARY};
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// The tests' own display ("DISPLAY=:n"): a server started with the first use.
const std::string& display_env() {
  static const XServer server("640x480x24");
  static const std::string env = server.env();
  return env;
}

ChildOptions program_options(const std::string& cwd, std::vector<std::string> env) {
  ChildOptions options;
  options.working_directory = cwd.empty() ? std::string(OVU_BUILD_DIR) : cwd;
  options.env_set = {"ASAN_OPTIONS=detect_leaks=0", display_env()};
  for (const auto& e : env) {
    const std::string name = e.substr(0, e.find('='));
    auto& set = options.env_set;
    set.erase(std::remove_if(set.begin(), set.end(), [&](const auto& s) { return s.rfind(name + "=", 0) == 0; }),
              set.end());
    (e.find('=') == std::string::npos ? options.env_unset : set).push_back(e);
  }
  return options;
}

bool eventually(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string await(Child& child, const std::function<bool()>& condition, const std::string& what, double seconds) {
  bool ended = false;
  if (eventually([&] { return condition() || (ended = !child.running()); }, seconds) && !ended) return "";
  return ended ? "it ended before " + what : "no " + what + " within " + std::to_string(int(seconds)) + " s";
}

std::string row_name(const std::string& what) {
  std::string name = what;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

ChildResult tool(const std::vector<std::string>& args, const std::string& display) {
  ChildOptions options;
  options.env_set = {display.empty() ? display_env() : display};
  return run_child(args, options);
}

void run_row(const ProgramRow& row) {
  SCOPED_TRACE(row.what);
  TempDir dir;
  for (const char* name : {"CHRMWARP.bmp", "vo.bmp", "vomask.bmp"})
    fs::copy_file(std::string(OVU_BUILD_DIR) + "/" + name, dir.file(name));
  const auto shell = [&](const std::string& commands) {
    if (commands.empty()) return true;
    ChildOptions options;
    options.working_directory = dir.path();
    options.env_set = {std::string("OVU_BINARY=") + OVU_BINARY};
    const ChildResult done = run_child({"/bin/sh", "-ec", commands}, options);
    EXPECT_EQ(done.exit_code, 0) << commands << "\n" << done.err;
    return done.exit_code == 0;
  };
  if (!shell(row.setup)) return;
  auto args = row.args, env = row.env;
  for (auto* words : {&args, &env})
    for (auto& word : *words)
      for (auto at = word.find("{dir}"); at != std::string::npos; at = word.find("{dir}", at))
        word.replace(at, 5, dir.path());
  // The program goes where "{ovu}" stands, behind what runs it, or else first.
  const auto at = std::find(args.begin(), args.end(), "{ovu}");
  if (at == args.end()) args = program(args);
  else *at = OVU_BINARY;
  ChildResult r = run_child(args, program_options(dir.path(), env));
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, row.code) << r.err;
  // A trailing '*' stands for anything after.
  const std::size_t compared = !row.out.empty() && row.out.back() == '*' ? row.out.size() - 1 : std::string::npos;
  EXPECT_EQ(r.out.substr(0, compared), row.out.substr(0, compared));
  EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  // A reason's control characters reach no terminal.
  for (char c : r.err) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << r.err;
  shell(row.check);
  if (row.verify) row.verify(dir, r);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().string().find(".ovu-tmp-"), std::string::npos) << "left behind: " << entry.path();
}

Image read_png(const std::string& path) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
  if (pixels == nullptr) return {};
  Image out{width, height, std::vector<std::uint8_t>(pixels, pixels + std::size_t(width) * height * 3)};
  stbi_image_free(pixels);
  return out;
}

}  // namespace ovu::test
