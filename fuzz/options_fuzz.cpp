// libFuzzer target for the command line: the input is the argument list,
// arguments separated by NUL bytes. Checked: a refusal always says why in
// one line; an accepted command line gives values inside their ranges, and
// writing those values back out as arguments parses to the same options.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/options.h"

namespace {

constexpr std::size_t kMaxArguments = 32;
constexpr int kMaxWindowSide = 32767;

void check(bool ok) {
  if (!ok) std::abort();
}

ovu::ParsedOptions parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"ovu"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return ovu::parse_options(static_cast<int>(argv.size()), argv.data());
}

// The options as one canonical command line.
std::vector<std::string> arguments_for(const ovu::Options& o) {
  std::vector<std::string> args;
  auto number = [&](const char* name, int value) {
    if (value != 0) args.insert(args.end(), {name, std::to_string(value)});
  };
  auto path = [&](const char* name, const std::string& value) {
    if (!value.empty()) args.insert(args.end(), {name, value});
  };
  auto flag = [&](const char* name, bool on) {
    if (on) args.emplace_back(name);
  };
  number("--frames", o.frames);
  if (!o.fixed_step_ms.empty()) {
    std::string list;
    for (int ms : o.fixed_step_ms) list += (list.empty() ? "" : ",") + std::to_string(ms);
    args.insert(args.end(), {"--fixed-step", list});
  }
  path("--screenshot", o.screenshot);
  path("--dump-water", o.dump_water);
  path("--data-dir", o.data_dir);
  if (o.windowed) args.insert(args.end(), {"--windowed", std::to_string(o.width) + "x" + std::to_string(o.height)});
  flag("--vsync", o.vsync);
  flag("--fps", o.fps);
  flag("--verbose", o.verbose);
  flag("--no-intro", !o.intro);
  flag("--help", o.help);
  flag("--version", o.version);
  return args;
}

bool same(const ovu::Options& a, const ovu::Options& b) {
  return a.frames == b.frames && a.fixed_step_ms == b.fixed_step_ms && a.screenshot == b.screenshot &&
         a.dump_water == b.dump_water && a.data_dir == b.data_dir && a.windowed == b.windowed &&
         a.width == b.width && a.height == b.height && a.vsync == b.vsync && a.fps == b.fps &&
         a.verbose == b.verbose && a.intro == b.intro && a.help == b.help && a.version == b.version;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != 0) {
      args.back().push_back(static_cast<char>(data[i]));
    } else if (args.size() < kMaxArguments) {
      args.emplace_back();
    }
  }
  if (size == 0) args.clear();

  const ovu::ParsedOptions parsed = parse(args);
  if (!parsed.ok) {
    check(!parsed.error.empty() && parsed.error.find('\n') == std::string::npos);
    return 0;
  }
  const ovu::Options& o = parsed.options;
  check(parsed.error.empty());
  check(o.frames >= 0);
  for (int ms : o.fixed_step_ms) check(ms >= 1);
  check(o.windowed ? o.width >= 1 && o.width <= kMaxWindowSide && o.height >= 1 && o.height <= kMaxWindowSide
                   : o.width == 0 && o.height == 0);

  const ovu::ParsedOptions again = parse(arguments_for(o));
  check(again.ok && same(again.options, o));
  return 0;
}
