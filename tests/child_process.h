#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ovu::test {

struct ChildResult {
  int exit_code = -1;   // -1 when it did not exit normally
  int signal = 0;       // the signal that ended it, if any
  bool timed_out = false;
  std::string out;
  std::string err;
};

struct ChildOptions {
  double timeout_seconds = 300;  // the sanitizers at a load of 10 on 2 cores
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
  // Still running after waiting up to `seconds` for it to end?
  bool still_running_after(double seconds);
  void signal(int number);
  // What it has written on standard output so far.
  std::string output() const;
  // Waits for the end; a child that outlives the timeout is killed and
  // reported as timed out.
  ChildResult wait();

private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  double timeout_seconds_;
  bool reaped_ = false;
  int status_ = 0;
  ChildResult result_;
};

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options = {});

}  // namespace ovu::test
