#include "app/options.h"

#include <climits>
#include <cstdlib>
#include <optional>

namespace ovu {

namespace {

constexpr long kMaxWindowSide = 32767;

// Plain decimal digits only: no sign, no spaces, no hex, no trailing junk.
std::optional<long> parse_count(const std::string& text, long max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > max) return std::nullopt;
  }
  if (value <= 0) return std::nullopt;
  return value;
}

bool parse_size(const std::string& text, int& width, int& height) {
  const auto x = text.find('x');
  if (x == std::string::npos) return false;
  const auto w = parse_count(text.substr(0, x), kMaxWindowSide);
  const auto h = parse_count(text.substr(x + 1), kMaxWindowSide);
  if (!w || !h) return false;
  width = static_cast<int>(*w);
  height = static_cast<int>(*h);
  return true;
}

}  // namespace

ParsedOptions parse_options(int argc, const char* const* argv) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  auto fail = [&](const std::string& message) {
    parsed.ok = false;
    parsed.error = message;
    return parsed;
  };
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::optional<std::string> inline_value;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      inline_value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inline_value) return inline_value;
      if (i + 1 < argc) return std::string(argv[++i]);
      return std::nullopt;
    };
    auto flag = [&](bool& target) {
      target = true;
      return !inline_value;
    };

    if (name == "--help" || name == "-h") {
      if (!flag(o.help)) return fail(name + " takes no value");
    } else if (name == "--version") {
      if (!flag(o.version)) return fail(name + " takes no value");
    } else if (name == "--fps") {
      if (!flag(o.fps)) return fail(name + " takes no value");
    } else if (name == "--verbose") {
      if (!flag(o.verbose)) return fail(name + " takes no value");
    } else if (name == "--vsync") {
      if (!flag(o.vsync)) return fail(name + " takes no value");
    } else if (name == "--no-intro") {
      bool off = false;
      if (!flag(off)) return fail(name + " takes no value");
      o.intro = false;
    } else if (name == "--frames" || name == "--fixed-step") {
      const auto text = value();
      if (!text) return fail(name + " needs a number");
      const auto count = parse_count(*text, INT_MAX);
      if (!count) return fail(name + ": '" + *text + "' is not a whole number from 1 to 2147483647");
      (name == "--frames" ? o.frames : o.fixed_step_ms) = static_cast<int>(*count);
    } else if (name == "--windowed") {
      const auto text = value();
      if (!text) return fail(name + " needs a size such as 1280x720");
      if (!parse_size(*text, o.width, o.height))
        return fail(name + ": '" + *text + "' is not a size such as 1280x720");
      o.windowed = true;
    } else if (name == "--screenshot" || name == "--dump-water" || name == "--data-dir") {
      const auto text = value();
      if (!text || text->empty()) return fail(name + " needs a path");
      (name == "--screenshot" ? o.screenshot : name == "--dump-water" ? o.dump_water : o.data_dir) = *text;
    } else {
      return fail("unknown option '" + std::string(argv[i]) + "'");
    }
  }
  parsed.ok = true;
  return parsed;
}

std::string usage_text() {
  return "usage: ovu [options]\n"
         "  --frames N          end normally after N frames\n"
         "  --fixed-step MS     a virtual clock: every frame is MS milliseconds long\n"
         "  --screenshot FILE   write the last frame as a PNG\n"
         "  --dump-water FILE   write the water field at the end (10404 x height, velocity as float32 LE)\n"
         "  --windowed WxH      a normal window of that size instead of covering the screen\n"
         "  --data-dir DIR      read the bitmaps from DIR instead of the current directory\n"
         "  --no-intro          leave out the title overlay\n"
         "  --vsync             wait for the display between frames\n"
         "  --fps               print frames, seconds and frames per second at the end\n"
         "  --verbose           print the GL, window and depth-buffer details\n"
         "  --help, --version\n";
}

}  // namespace ovu
