#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

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
  for (const auto& set : options.env_set) env.push_back(set);
  return env;
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;

  std::vector<std::string> env = child_environment(options);
  std::vector<char*> env_ptrs, arg_ptrs;
  for (auto& e : env) env_ptrs.push_back(e.data());
  env_ptrs.push_back(nullptr);
  std::vector<std::string> args = argv;
  for (auto& a : args) arg_ptrs.push_back(a.data());
  arg_ptrs.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
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

  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(options.timeout_seconds * 1000));
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (auto& fd : fds)
    if (fd.fd >= 0) close(fd.fd);

  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace ovu::test
