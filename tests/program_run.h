#pragma once

#include <string>
#include <vector>

#include "child_process.h"

namespace ovu::test {

// Runs the real program from the build directory, where its bitmaps are.
ChildOptions program_options(double timeout_seconds = 60);
std::vector<std::string> program(std::vector<std::string> args);

// Runs a tool from PATH (xdotool, xprop, apitrace) and returns its result.
ChildResult tool(std::vector<std::string> args, double timeout_seconds = 20);

// The tests need a real X server with GL (xvfb-run provides one).
bool have_display();

}  // namespace ovu::test
