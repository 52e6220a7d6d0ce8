#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/demo.h"
#include "app/options.h"
#include "app/screensaver.h"
#include "core/environment.h"
#include "core/error_line.h"
#include "platform/file.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "platform/settings.h"

namespace {

int usage_error(const std::string& message) {
  std::fprintf(stderr, "ovu: %s\n%s", ovu::printable(message).c_str(), ovu::usage_text().c_str());
  return ovu::kExitUsage;
}

// /s and /p take no options: the stored settings stand for them, and
// OVU_VERBOSE in the environment for --verbose, which also says what was applied.
void apply_stored_settings(ovu::Options& options) {
  if (ovu::environment("OVU_VERBOSE") != nullptr) options.verbose = true;
  const auto stored = ovu::platform_stored_settings();
  if (!stored) return;
  ovu::apply_settings(*stored, options);
  if (options.verbose) std::fprintf(stderr, "screensaver: %s\n", ovu::describe_settings(*stored).c_str());
}

int run(int argc, char** argv) {
  const auto screensaver = ovu::parse_screensaver_args(argc, argv);
  const ovu::ParsedOptions parsed = screensaver ? *screensaver : ovu::parse_options(argc, argv);
  if (!parsed.ok) return usage_error(parsed.error);
  ovu::Options options = parsed.options;
  if (options.mode == ovu::Options::Mode::Settings) {
    if (!ovu::platform_settings_dialog(options.window))
      ovu::platform_message("ovu has no settings: there is nothing to configure.", options.window);
    return 0;
  }
  if (screensaver) apply_stored_settings(options);
  if (options.help) {
    std::fputs(ovu::usage_text().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("ovu " OVU_VERSION);
    return 0;
  }
  std::string error;
  if (!ovu::resolve_root_window(options, std::getenv("XSCREENSAVER_WINDOW"), error)) return usage_error(error);
  // Refuse an output that cannot be written before any window opens.
  for (const auto& output : ovu::output_files(options)) {
    const std::string& path = *output.second;
    if (path.empty() || path == "-") continue;
    if (const int code = ovu::check_writable(path); code != 0)
      return usage_error("cannot write '" + path + "': " + ovu::file_error_text(code));
  }
  return ovu::run_demo(options);
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(run, argc, argv); }
