#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace ovu::test {

namespace {

std::vector<std::string> child_environment(const ChildOptions& options) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (const auto& unset : options.env_unset) drop |= name == unset;
    for (const auto& set : options.env_set) drop |= name == set.substr(0, set.find('='));
    if (!drop) env.push_back(entry);
  }
  env.insert(env.end(), options.env_set.begin(), options.env_set.end());
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

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
    : out_fd_(scratch_file()), err_fd_(scratch_file()), timeout_seconds_(options.timeout_seconds) {
  std::vector<std::string> env = child_environment(options), args = argv;
  std::vector<char*> env_ptrs = pointers(env), arg_ptrs = pointers(args);
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);  // its own group, so that a timeout ends whatever it started too
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(out_fd_, STDOUT_FILENO);
    dup2(err_fd_, STDERR_FILENO);
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0) _exit(127);
    execve(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
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

bool Child::still_running_after(double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (pid_ > 0 && !reaped_) {
    if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    if (reaped_ || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pid_ > 0 && !reaped_;
}

void Child::signal(int number) {
  if (pid_ > 0 && !reaped_) kill(pid_, number);
}

std::string Child::output() const { return contents(out_fd_); }

ChildResult Child::wait() {
  if (still_running_after(timeout_seconds_)) {
    result_.timed_out = true;
    kill(-pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    reaped_ = true;
  }
  if (reaped_ && WIFEXITED(status_)) result_.exit_code = WEXITSTATUS(status_);
  if (reaped_ && WIFSIGNALED(status_)) result_.signal = WTERMSIG(status_);
  result_.out = contents(out_fd_);
  result_.err = contents(err_fd_);
  return result_;
}

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options) {
  Child child(argv, options);
  return child.wait();
}

}  // namespace ovu::test
