#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace ovu::test {

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
    : out_fd_(scratch_file()), err_fd_(scratch_file()), timeout_seconds_(options.timeout_seconds) {
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
