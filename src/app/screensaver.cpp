#include "app/screensaver.h"

#include <cctype>
#include <string>

#include "core/error_line.h"

namespace ovu {

namespace {

bool named_scr(const std::string& program) {
  if (program.size() < 4) return false;
  std::string suffix = program.substr(program.size() - 4);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix == ".scr";
}

// "/s", "-P:123" and the like: the switch letter, lower case, and what
// followed a ':' (nullopt when there was no ':'); 0 when it is no switch.
char switch_letter(const std::string& arg, std::optional<std::string>& glued) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return 0;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[1])));
  if (letter != 's' && letter != 'p' && letter != 'c') return 0;
  if (arg.size() == 2) return letter;
  if (arg[2] != ':') return 0;
  glued = arg.substr(3);
  return letter;
}

}  // namespace

std::string program_folder(const std::string& program) {
  const auto separator = program.find_last_of("/\\");
  if (separator == std::string::npos) return "";
  // A folder at the top keeps its separator: "/ovu" lives in "/".
  return program.substr(0, separator == 0 ? 1 : separator);
}

std::optional<ParsedOptions> parse_screensaver_args(int argc, const char* const* argv) {
  const std::string program = argc > 0 ? argv[0] : "";
  std::optional<std::string> glued;
  const char letter = argc > 1 ? switch_letter(argv[1], glued) : 0;
  if (letter == 0 && !(argc == 1 && named_scr(program))) return std::nullopt;

  ParsedOptions parsed;
  Options& o = parsed.options;
  o.data_dir = program_folder(program);
  o.windows_switch = true;
  // One line, as the command line's own errors: no control characters from the arguments.
  auto fail = [&](const std::string& message) {
    parsed.error = printable(message);
    return parsed;
  };
  // The handle: glued on with ':', or the next argument.
  std::optional<std::string> handle = glued;
  int used = 2;
  if (!handle && argc > 2 && letter != 's') {
    handle = argv[2];
    used = 3;
  }
  if (argc > used) return fail("unexpected '" + std::string(argv[used]) + "' after " + argv[1]);
  // The switch as written, its handle left off (none: a bare .scr configures).
  const std::string name = argc > 1 ? std::string(argv[1]).substr(0, 2) : "";

  if (letter == 's') {
    if (handle) return fail(name + " takes no window handle");
    o.mode = Options::Mode::Screensaver;
  } else if (letter == 'p') {
    if (!handle) return fail(name + " needs the preview window's handle");
    const auto id = parse_window_id(*handle);
    if (!id) return fail(name + ": '" + *handle + "' is not a window handle");
    o.mode = Options::Mode::Preview;
    o.window = *id;
  } else {
    // Configure, with or without an owner for the message ("0": none).
    if (handle && *handle != "0") {
      const auto id = parse_window_id(*handle);
      if (!id) return fail(name + ": '" + *handle + "' is not a window handle");
      o.window = *id;
    }
    o.mode = Options::Mode::Settings;
  }
  parsed.ok = true;
  return parsed;
}

void apply_settings(const ScreensaverSettings& settings, Options& options) {
  options.max_fps = settings.max_fps;
  options.vsync = settings.vsync;
  options.intro = settings.title;
}

bool PointerWatch::moved_away(int x, int y) {
  if (!seen_) {
    seen_ = true;
    x_ = x;
    y_ = y;
    return false;
  }
  return x - x_ > kPointerSlack || x_ - x > kPointerSlack || y - y_ > kPointerSlack || y_ - y > kPointerSlack;
}

}  // namespace ovu
