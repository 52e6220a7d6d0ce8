#include "app/options.h"

#include <algorithm>
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

// The options that take no value, and what each sets; those without a
// field choose the mode, which is worked out once all are read.
struct Flag {
  const char* name;
  bool Options::*field;
  bool value;
};
constexpr Flag kFlags[] = {
    {"--help", &Options::help, true},   {"-h", &Options::help, true},          {"--version", &Options::version, true},
    {"--fps", &Options::fps, true},     {"--verbose", &Options::verbose, true}, {"--vsync", &Options::vsync, true},
    {"--no-vsync", &Options::vsync, false}, {"--no-intro", &Options::intro, false}, {"--quiet", &Options::quiet, true},
    {"--interactive", &Options::interactive, true}, {"--window", nullptr, false}, {"--root", nullptr, false},
    {"--wallpaper", nullptr, false},
};

template <std::string Options::*field>
bool take_text(const std::string& text, Options& o) {
  o.*field = text;
  return true;
}

template <int Options::*field, long long max, bool zero = false>
bool take_count(const std::string& text, Options& o) {
  const auto count = zero ? parse_count_or_zero(text, max) : parse_count(text, max);
  if (count) o.*field = static_cast<int>(*count);
  return count.has_value();
}

// The options that take a value, after '=' or as the next argument.
struct Value {
  const char* name;
  const char* needs;  // what a missing value asks for; null: it counts as an empty one
  const char* is;     // what a good value is; null: any text but the empty one
  bool (*take)(const std::string& text, Options& o);
};
const Value kValues[] = {
    {"--frames", "a number", "a whole number from 1 to 2147483647", take_count<&Options::frames, INT_MAX>},
    {"--fixed-step", "a number of milliseconds",
     "a whole number from 1 to 2147483647 or a comma-separated list of them",
     [](const std::string& text, Options& o) {
       auto steps = parse_step_list(text);
       if (steps) o.fixed_step_ms = std::move(*steps);
       return steps.has_value();
     }},
    {"--windowed", "a size such as 1280x720", "a size such as 1280x720",
     [](const std::string& text, Options& o) { return parse_size(text, o.width, o.height); }},
    {"--screenshot", "a path", nullptr, take_text<&Options::screenshot>},
    {"--dump-water", "a path", nullptr, take_text<&Options::dump_water>},
    {"--record", "a path", nullptr, take_text<&Options::record>},
    {"--record-input", "a path", nullptr, take_text<&Options::record_input>},
    {"--replay", "a path", nullptr, take_text<&Options::replay>},
    {"--data-dir", "a path", nullptr, take_text<&Options::data_dir>},
    {"--record-format", nullptr, "444 or 420",
     [](const std::string& text, Options& o) {
       o.record_chroma = text == "420" ? ChromaLayout::Half : ChromaLayout::Full;
       return text == "444" || text == "420";
     }},
    {"--window-id", "a window id", "a window id (decimal or 0x hex)",
     [](const std::string& text, Options& o) {
       const auto id = parse_window_id(text);
       if (id) o.window = *id;
       return id.has_value();
     }},
    {"--delay", "a number of microseconds", "a whole number from 0 to 1000000",
     take_count<&Options::delay_us, kMaxDelayUs, true>},
    {"--max-fps", "a number of frames per second", "a whole number from 1 to 1000",
     take_count<&Options::max_fps, kMaxFps>},
    {"--output", "an output's name, such as HDMI-A-1", nullptr, take_text<&Options::output>},
};

template <typename Table>
auto find_option(const Table& table, const std::string& name) -> decltype(&table[0]) {
  for (const auto& option : table)
    if (name == option.name) return &option;
  return nullptr;
}

// The options only a screensaver host's run takes.
bool host_option(const std::string& name) {
  return name == "--root" || name == "--window" || name == "--window-id" || name == "--delay";
}

// The mode, from the options given (their names, in order), and the checks
// of options against each other: "" when they go together, else why not.
std::string resolve_mode(Options& o, const std::vector<std::string>& given) {
  using Mode = Options::Mode;
  const auto has = [&](const char* name) { return std::find(given.begin(), given.end(), name) != given.end(); };
  // The hosts' convention: a named window wins, else the last of --root and --window counts.
  const auto choice = [](const std::string& name) { return name == "--root" || name == "--window"; };
  const auto last = std::find_if(given.rbegin(), given.rend(), choice);
  const bool root = last != given.rend() && *last == "--root";
  o.mode = o.window != 0 ? Mode::HostWindow : root ? Mode::HostRoot : Mode::Demo;
  const bool windowed = has("--windowed");
  if (has("--wallpaper")) {
    // A wallpaper has no one frame to keep or record, no host, and takes no pointer.
    const auto host = std::find_if(given.begin(), given.end(), host_option);
    for (const auto& [refused, option] : {std::pair{!o.screenshot.empty(), "--screenshot"},
                                          {!o.record.empty(), "--record"}, {windowed, "--windowed"},
                                          {o.interactive, "--interactive"},
                                          {host != given.end(), host != given.end() ? host->c_str() : ""}})
      if (refused) return std::string("--wallpaper cannot go with ") + option;
    o.mode = Mode::Wallpaper;
    // No host paces it: a background need not take more.
    if (o.max_fps == 0) o.max_fps = 30;
  }
  if (!o.output.empty() && o.mode != Mode::Wallpaper) return "--output goes with --wallpaper";
  if (windowed && o.mode != Mode::Demo)
    return "--windowed makes a window of our own: it cannot go with --root or --window-id";
  if (windowed) o.mode = Mode::WindowedDemo;
  if (!o.screenshot.empty() && o.frames == 0)
    return "--screenshot needs --frames: it keeps the last frame, and without --frames there is none";
  if (has("--record-format") && o.record.empty()) return "--record-format goes with --record";
  if (o.interactive && !own_window(o.mode))
    return "--interactive needs a window of our own: in a host's window the pointer is the host's";
  const auto outputs = output_files(o);
  for (std::size_t a = 0; a < std::size(outputs); ++a)
    for (std::size_t b = a + 1; b < std::size(outputs); ++b)
      if (!outputs[a].second->empty() && !outputs[b].second->empty() &&
          same_file(*outputs[a].second, *outputs[b].second))
        return std::string(outputs[a].first) + " and " + outputs[b].first + " name the same file '" +
               *outputs[a].second + "'";
  return "";
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
  std::vector<std::string> given;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    // Screensaver hosts write their options with one dash as well.
    if (name.rfind("--", 0) != 0 && host_option("-" + name)) name = "-" + name;
    std::optional<std::string> text;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      text = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (const Flag* flag = find_option(kFlags, name)) {
      if (text) return fail(name + " takes no value");
      if (flag->field) o.*(flag->field) = flag->value;
    } else if (const Value* value = find_option(kValues, name)) {
      if (!text && i + 1 < argc) text = argv[++i];
      if ((!text || (text->empty() && !value->is)) && value->needs) return fail(name + " needs " + value->needs);
      if (!value->take(text.value_or(""), o)) return fail(name + ": '" + text.value_or("") + "' is not " + value->is);
    } else {
      return fail("unknown option '" + std::string(argv[i]) + "'");
    }
    given.push_back(name);
  }
  if (const std::string error = resolve_mode(o, given); !error.empty()) return fail(error);
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
  request.pointer = options.mode == Mode::Screensaver || options.interactive;
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
