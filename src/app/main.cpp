#include <cstdio>
#include <string>

#include "app/demo.h"
#include "app/options.h"
#include "platform/file.h"
#include "platform/guard.h"

namespace {

int usage_error(const std::string& message) {
  std::fprintf(stderr, "ovu: %s\n%s", message.c_str(), ovu::usage_text().c_str());
  return ovu::kExitUsage;
}

int run(int argc, char** argv) {
  const ovu::ParsedOptions parsed = ovu::parse_options(argc, argv);
  if (!parsed.ok) return usage_error(parsed.error);
  const ovu::Options& options = parsed.options;
  if (options.help) {
    std::fputs(ovu::usage_text().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("ovu " OVU_VERSION);
    return 0;
  }
  // Refuse an output that cannot be written before any window opens.
  for (const std::string* path : {&options.screenshot, &options.dump_water}) {
    if (path->empty()) continue;
    if (const int code = ovu::check_writable(*path); code != 0)
      return usage_error("cannot write '" + *path + "': " + ovu::file_error_text(code));
  }
  return ovu::run_demo(options);
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(run, argc, argv); }
