#pragma once

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
  double timeout_seconds = 30;
  std::string working_directory;      // empty: inherit
  std::vector<std::string> env_set;   // "NAME=value" entries added or replaced
  std::vector<std::string> env_unset; // names removed
};

// Runs argv[0] with its arguments, no standard input, both outputs captured.
// A child that outlives the timeout is killed and reported as timed out.
ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options = {});

}  // namespace ovu::test
