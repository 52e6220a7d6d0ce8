#pragma once

#include "app/options.h"

namespace ovu {

// Opens the window, sets up the scene, runs the frame loop until a key, a
// close request or the frame limit, and returns the exit code.
int run_demo(const Options& options);

}  // namespace ovu
