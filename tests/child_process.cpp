#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace ovu::test {

namespace {

using Clock = std::chrono::steady_clock;

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
  for (const auto& set : options.env_set) env.push_back(set);
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const ChildOptions& options)
    : timeout_seconds_(options.timeout_seconds) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return;
  std::vector<std::string> env = child_environment(options);
  std::vector<std::string> args = argv;
  std::vector<char*> env_ptrs = pointers(env), arg_ptrs = pointers(args);

  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    const int null_in = open("/dev/null", O_RDONLY);
    dup2(null_in, STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0) _exit(127);
    execve(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

Child::~Child() {
  if (pid_ > 0 && !reaped_) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

void Child::drain(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (poll(fds, 2, timeout_ms) <= 0) return;
  int* fd_of[2] = {&out_fd_, &err_fd_};
  std::string* sink[2] = {&result_.out, &result_.err};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      sink[i]->append(buffer, static_cast<std::size_t>(got));
    } else {
      close(*fd_of[i]);
      *fd_of[i] = -1;
    }
  }
}

bool Child::still_running_after(double seconds) {
  if (pid_ <= 0 || reaped_) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  while (Clock::now() < deadline) {
    if (waitpid(pid_, &status_, WNOHANG) == pid_) {
      reaped_ = true;
      return false;
    }
    drain(10);
    if (out_fd_ < 0 && err_fd_ < 0) usleep(10000);
  }
  return true;
}

void Child::signal(int number) {
  if (pid_ > 0 && !reaped_) kill(pid_, number);
}

ChildResult Child::wait() {
  if (pid_ <= 0) return result_;
  const auto deadline = Clock::now() + std::chrono::milliseconds(static_cast<long>(timeout_seconds_ * 1000));
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      result_.timed_out = true;
      kill(-pid_, SIGKILL);
      break;
    }
    drain(static_cast<int>(left));
  }
  if (!reaped_) {
    waitpid(pid_, &status_, 0);
    reaped_ = true;
  }
  if (WIFEXITED(status_)) result_.exit_code = WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) result_.signal = WTERMSIG(status_);
  return result_;
}

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options) {
  Child child(argv, options);
  return child.wait();
}

}  // namespace ovu::test
