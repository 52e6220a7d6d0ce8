#include "program_run.h"

#include <cstdlib>

namespace ovu::test {

ChildOptions program_options(double timeout_seconds) {
  ChildOptions options;
  options.timeout_seconds = timeout_seconds;
  options.working_directory = OVU_BUILD_DIR;
  // Under the sanitizers the GL and window libraries report one-time
  // allocations at exit; the program's own memory is checked by the unit
  // tests and a memcheck run.
  options.env_set = {"ASAN_OPTIONS=detect_leaks=0"};
  return options;
}

std::vector<std::string> program(std::vector<std::string> args) {
  args.insert(args.begin(), OVU_BINARY);
  return args;
}

ChildResult tool(std::vector<std::string> args, double timeout_seconds) {
  args.insert(args.begin(), {"/usr/bin/env"});
  ChildOptions options;
  options.timeout_seconds = timeout_seconds;
  return run_child(args, options);
}

bool have_display() { return std::getenv("DISPLAY") != nullptr; }

}  // namespace ovu::test
