#include "app/options.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <utility>

#include "core/error_line.h"

namespace ovu {

namespace {

constexpr long long kMaxWindowSide = 32767;

// Plain decimal digits only: no sign, no spaces, no hex, no trailing junk.
std::optional<long long> parse_count(const std::string& text, long long max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || value <= 0 || value > max) return std::nullopt;
  return value;
}

constexpr long long kMaxDelayUs = 1000000;
constexpr long long kMaxFps = 1000;

// A count where 0 makes sense too; "00" and the like stay refused.
std::optional<long long> parse_count_or_zero(const std::string& text, long long max) {
  if (text == "0") return 0;
  return parse_count(text, max);
}

// Both outputs naming one file would leave only the one written last.
// Spellings that differ only lexically (./x and x, a/../x, a relative and
// an absolute name) count as the same; links and hard links are not
// looked into.
bool same_file(const std::string& a, const std::string& b) {
  auto normal = [](const std::string& text) {
    std::error_code failed;
    const auto absolute = std::filesystem::absolute(text, failed);
    return (failed ? std::filesystem::path(text) : absolute).lexically_normal();
  };
  return normal(a) == normal(b);
}

// "16" or "16,60": every entry a whole number of milliseconds.
std::optional<std::vector<int>> parse_step_list(const std::string& text) {
  std::vector<int> steps;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const auto ms = parse_count(text.substr(start, comma - start), INT_MAX);
    if (!ms) return std::nullopt;
    steps.push_back(static_cast<int>(*ms));
    if (comma == std::string::npos) return steps;
    start = comma + 1;
  }
}

// The options that take no value, and what each sets.
struct Flag {
  const char* name;
  bool Options::*field;
  bool value;
};
constexpr Flag kFlags[] = {
    {"--help", &Options::help, true},   {"-h", &Options::help, true},          {"--version", &Options::version, true},
    {"--fps", &Options::fps, true},     {"--verbose", &Options::verbose, true}, {"--vsync", &Options::vsync, true},
    {"--no-vsync", &Options::vsync, false}, {"--no-intro", &Options::intro, false}, {"--quiet", &Options::quiet, true},
    {"--interactive", &Options::interactive, true},
};

const Flag* find_flag(const std::string& name) {
  for (const Flag& flag : kFlags)
    if (name == flag.name) return &flag;
  return nullptr;
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
    parsed.error = printable(message);
    return parsed;
  };
  // The hosts' convention: a named window wins, else the last of --root and --window counts.
  bool root = false;
  bool windowed = false;
  bool record_format = false;
  bool wallpaper = false;
  std::string host_option;  // the first of the options only a host's run takes
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    // Screensaver hosts write their options with one dash as well.
    for (const char* host_option : {"-window", "-root", "-window-id", "-delay"})
      if (name == host_option) name = "-" + name;
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

    if (name == "--root" || name == "--window" || name == "--window-id" || name == "--delay")
      if (host_option.empty()) host_option = name;
    if (const Flag* f = find_flag(name)) {
      if (inline_value) return fail(name + " takes no value");
      o.*(f->field) = f->value;
    } else if (name == "--frames") {
      const auto text = value();
      if (!text) return fail(name + " needs a number");
      const auto count = parse_count(*text, INT_MAX);
      if (!count) return fail(name + ": '" + *text + "' is not a whole number from 1 to 2147483647");
      o.frames = static_cast<int>(*count);
    } else if (name == "--fixed-step") {
      const auto text = value();
      if (!text) return fail(name + " needs a number of milliseconds");
      auto steps = parse_step_list(*text);
      if (!steps)
        return fail(name + ": '" + *text + "' is not a whole number from 1 to 2147483647 or a comma-separated list of them");
      o.fixed_step_ms = std::move(*steps);
    } else if (name == "--windowed") {
      const auto text = value();
      if (!text) return fail(name + " needs a size such as 1280x720");
      if (!parse_size(*text, o.width, o.height))
        return fail(name + ": '" + *text + "' is not a size such as 1280x720");
      windowed = true;
    } else if (name == "--screenshot" || name == "--dump-water" || name == "--data-dir" || name == "--record" ||
               name == "--record-input" || name == "--replay") {
      const auto text = value();
      if (!text || text->empty()) return fail(name + " needs a path");
      (name == "--screenshot"     ? o.screenshot
       : name == "--dump-water"   ? o.dump_water
       : name == "--record"       ? o.record
       : name == "--record-input" ? o.record_input
       : name == "--replay"       ? o.replay
                                  : o.data_dir) = *text;
    } else if (name == "--record-format") {
      const auto text = value();
      if (!text || (*text != "444" && *text != "420"))
        return fail(name + ": '" + text.value_or("") + "' is not 444 or 420");
      o.record_chroma = *text == "444" ? ChromaLayout::Full : ChromaLayout::Half;
      record_format = true;
    } else if (name == "--window" || name == "--root") {
      if (inline_value) return fail(name + " takes no value");
      root = name == "--root";
    } else if (name == "--window-id") {
      const auto text = value();
      if (!text) return fail(name + " needs a window id");
      const auto id = parse_window_id(*text);
      if (!id) return fail(name + ": '" + *text + "' is not a window id (decimal or 0x hex)");
      o.window = *id;
    } else if (name == "--delay") {
      const auto text = value();
      if (!text) return fail(name + " needs a number of microseconds");
      const auto delay = parse_count_or_zero(*text, kMaxDelayUs);
      if (!delay) return fail(name + ": '" + *text + "' is not a whole number from 0 to 1000000");
      o.delay_us = static_cast<int>(*delay);
    } else if (name == "--max-fps") {
      const auto text = value();
      if (!text) return fail(name + " needs a number of frames per second");
      const auto fps = parse_count(*text, kMaxFps);
      if (!fps) return fail(name + ": '" + *text + "' is not a whole number from 1 to 1000");
      o.max_fps = static_cast<int>(*fps);
    } else if (name == "--wallpaper") {
      if (inline_value) return fail(name + " takes no value");
      wallpaper = true;
    } else if (name == "--output") {
      const auto text = value();
      if (!text || text->empty()) return fail(name + " needs an output's name, such as HDMI-A-1");
      o.output = *text;
    } else {
      return fail("unknown option '" + std::string(argv[i]) + "'");
    }
  }
  using Mode = Options::Mode;
  o.mode = o.window != 0 ? Mode::HostWindow : root ? Mode::HostRoot : Mode::Demo;
  if (wallpaper) {
    // A wallpaper has no one frame to keep or record, no host, and takes no pointer.
    for (const auto& [given, option] : {std::pair{!o.screenshot.empty(), "--screenshot"},
                                        {!o.record.empty(), "--record"}, {windowed, "--windowed"},
                                        {o.interactive, "--interactive"},
                                        {!host_option.empty(), host_option.c_str()}})
      if (given) return fail(std::string("--wallpaper cannot go with ") + option);
    o.mode = Mode::Wallpaper;
    // No host paces it: a background need not take more.
    if (o.max_fps == 0) o.max_fps = 30;
  }
  if (!o.output.empty() && !wallpaper) return fail("--output goes with --wallpaper");
  if (windowed && o.mode != Mode::Demo)
    return fail("--windowed makes a window of our own: it cannot go with --root or --window-id");
  if (windowed) o.mode = Mode::WindowedDemo;
  if (!o.screenshot.empty() && o.frames == 0)
    return fail("--screenshot needs --frames: it keeps the last frame, and without --frames there is none");
  if (record_format && o.record.empty()) return fail("--record-format goes with --record");
  if (o.interactive && !own_window(o.mode))
    return fail("--interactive needs a window of our own: in a host's window the pointer is the host's");
  const auto outputs = output_files(o);
  for (std::size_t a = 0; a < std::size(outputs); ++a)
    for (std::size_t b = a + 1; b < std::size(outputs); ++b)
      if (!outputs[a].second->empty() && !outputs[b].second->empty() &&
          same_file(*outputs[a].second, *outputs[b].second))
        return fail(std::string(outputs[a].first) + " and " + outputs[b].first + " name the same file '" +
                    *outputs[a].second + "'");
  parsed.ok = true;
  return parsed;
}

std::string usage_text() {
  return "usage: ovu [options]\n"
         "  --frames N          end normally after N frames\n"
         "  --fixed-step MS     a virtual clock: every frame is MS milliseconds long; a list such as\n"
         "                      16,60 gives the frames those lengths in turn, over and over\n"
         "  --screenshot FILE   write the last frame as a PNG (with --frames)\n"
         "  --dump-water FILE   write the water field at the end (10404 x height, velocity as float32 LE)\n"
         "  --record FILE       write every frame as YUV4MPEG2 video (.y4m), BT.709 full range; - is\n"
         "                      standard output; frame rate 1000/MS of --fixed-step (a list: its mean),\n"
         "                      else --max-fps, else 60\n"
         "  --record-format F   444 (the default: every pixel's colour) or 420 (for players that need it)\n"
         "  --interactive       a press or a drag of the pointer drops a dent into the water there\n"
         "  --record-input FILE write the drops of the run (the pointer's and replayed ones) as a journal\n"
         "  --replay FILE       apply the drops of a journal at their frames\n"
         "  --windowed WxH      a normal window of that size instead of covering the screen\n"
         "  --data-dir DIR      read the bitmaps from DIR instead of the current directory\n"
         "  --no-intro          leave out the title overlay\n"
         "  --vsync             wait for the display between frames (the default)\n"
         "  --no-vsync          draw frames as fast as possible, for benchmarks\n"
         "  --max-fps N         start frames at most N times a second, on a steady schedule (1 to 1000)\n"
         "  --fps               print frames, seconds and frames per second at the end\n"
         "  --verbose           print the GL, window and depth-buffer details\n"
         "  --quiet             no progress line on a terminal (shown with --frames)\n"
         "  --window            draw in a window of our own (the default)\n"
         "  --root              draw on the screensaver host's window (XSCREENSAVER_WINDOW), else the root window\n"
         "  --window-id ID      draw into that existing window (decimal or 0x hex), at its size\n"
         "  --delay USEC        pause this many microseconds after every frame (0 to 1000000)\n"
         "  --wallpaper         draw as the background of every Wayland output (layer shell), at\n"
         "                      most 30 frames a second unless --max-fps says otherwise\n"
         "  --output NAME       with --wallpaper: only on this output\n"
         "  --help, --version\n"
         "As a Windows screensaver: /s runs it, /p HWND previews it in that window, /c configures.\n";
}

bool own_window(Options::Mode mode) {
  return mode == Options::Mode::Demo || mode == Options::Mode::WindowedDemo || mode == Options::Mode::Screensaver;
}

WindowRequest window_request(const Options& options) {
  using Mode = Options::Mode;
  using Placement = WindowRequest::Placement;
  WindowRequest request;
  switch (options.mode) {
    case Mode::WindowedDemo: request.placement = Placement::Windowed; break;
    case Mode::HostRoot: request.placement = Placement::HostRoot; break;
    case Mode::HostWindow:
    case Mode::Preview: request.placement = Placement::HostWindow; break;
    case Mode::Screensaver: request.placement = Placement::AllMonitors; break;
    case Mode::Wallpaper: request.placement = Placement::Wallpaper; break;
    case Mode::Demo:
    case Mode::Settings: request.placement = Placement::Maximised; break;  // the settings draw nothing
  }
  request.width = options.width;
  request.height = options.height;
  request.host_window = request.placement == Placement::HostWindow ? options.window : 0;
  request.output = options.output;
  request.vsync = options.vsync;
  request.pointer_events = options.mode == Mode::Screensaver;
  request.pointer_presses = options.interactive;
  request.offscreen_without_display = writes_frames(options);
  return request;
}

std::array<std::pair<const char*, const std::string*>, 4> output_files(const Options& options) {
  return {{{"--screenshot", &options.screenshot},
           {"--dump-water", &options.dump_water},
           {"--record", &options.record},
           {"--record-input", &options.record_input}}};
}

bool writes_frames(const Options& options) {
  return !options.screenshot.empty() || !options.record.empty() || !options.dump_water.empty();
}

std::optional<std::uint32_t> parse_window_id(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  std::uint32_t value = 0;
  const char* last = digits.data() + digits.size();
  const auto [end, error] = std::from_chars(digits.data(), last, value, hex ? 16 : 10);
  if (digits.empty() || error != std::errc() || end != last || value == 0) return std::nullopt;
  return value;
}

bool resolve_root_window(Options& options, const char* host_window, std::string& error) {
  // An empty variable names nothing, as if it were not set.
  if (options.mode != Options::Mode::HostRoot || host_window == nullptr || *host_window == '\0') return true;
  const auto id = parse_window_id(host_window);
  if (!id) {
    error = "XSCREENSAVER_WINDOW: '" + std::string(host_window) + "' is not a window id";
    return false;
  }
  options.mode = Options::Mode::HostWindow;
  options.window = *id;
  return true;
}

}  // namespace ovu
