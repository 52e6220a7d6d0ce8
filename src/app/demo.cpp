#include "app/demo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/bitmap_loader.h"
#include "app/png_image.h"
#include "app/recorder.h"
#include "app/screensaver.h"
#include "core/camera.h"
#include "core/fpu.h"
#include "core/frame_loop.h"
#include "core/frame_pacing.h"
#include "core/input_journal.h"
#include "core/intro.h"
#include "core/random.h"
#include "core/water.h"
#include "gl/scene.h"
#include "gl/texture.h"
#include "platform/file.h"
#include "platform/platform.h"
#include "platform/stop.h"
#include "platform/system_keys.h"

namespace ovu {

namespace {

constexpr const char* kEnvironmentMap = "CHRMWARP.bmp";
constexpr const char* kIntroImage = "vo.bmp";
constexpr const char* kIntroMask = "vomask.bmp";

// Real milliseconds, or a virtual clock where frame n sees the sum of the
// first n lengths of the cycled list.
class TickSource {
public:
  explicit TickSource(const std::vector<int>& step_ms) : step_ms_(step_ms) {}
  std::uint32_t start() { return step_ms_.empty() ? platform_ticks_ms() : 0; }
  std::uint32_t next() {
    if (step_ms_.empty()) return platform_ticks_ms();
    // Wraps like a real counter; the loop accumulates in 64 bits.
    virtual_ms_ += static_cast<std::uint32_t>(step_ms_[next_]);
    next_ = (next_ + 1) % step_ms_.size();
    return virtual_ms_;
  }

private:
  std::vector<int> step_ms_;
  std::size_t next_ = 0;
  std::uint32_t virtual_ms_ = 0;
};

// With --frames on a terminal: frames done, frames per second and the time
// left, on one line that rewrites itself a few times a second.
class Progress {
public:
  explicit Progress(const Options& options)
      : total_(options.frames), shown_(options.frames != 0 && !options.quiet && stderr_is_terminal()) {}

  void update(std::uint64_t done) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    const bool last = done == static_cast<std::uint64_t>(total_);
    if (!last && now - last_shown_ < std::chrono::milliseconds(250)) return;
    last_shown_ = now;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const double left = fps > 0 ? static_cast<double>(static_cast<std::uint64_t>(total_) - done) / fps : 0.0;
    std::fprintf(stderr, "\rframe %llu of %d, %.1f fps, %.0f s left  %s", static_cast<unsigned long long>(done),
                 total_, fps, left, last ? "\n" : "");
  }

private:
  int total_;
  bool shown_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_shown_{};
};

struct Demo {
  explicit Demo(const Options& run_options)
      : options(run_options), ticks(options.fixed_step_ms), pacing(options.max_fps), progress(options) {}
  const Options options;  // a copy: a page's frames run after main has returned
  WindowInfo window = {};
  std::unique_ptr<Water> water = {};
  SceneTextures textures = {};
  std::unique_ptr<IntroFrame> title = {};  // 1,800 vertices: off the stack
  PointerWatch pointer = {};
  Recorder recorder = {};
  float shown_sway = 0;                 // the camera of the picture on the screen
  // The last place each pointer (finger) pressed or dragged over since the last frame.
  std::vector<std::pair<int, DropSite>> pressed = {};
  std::vector<JournalDrop> replay = {};     // --replay's drops, in frame order
  std::size_t next_replay = 0;
  std::string journal = {};                 // --record-input's text so far
  std::optional<FrameLoop> loop = {};       // once there is water
  TickSource ticks;
  FramePacing pacing;
  Progress progress;
  std::chrono::steady_clock::time_point started = {};
  bool unseen = false;  // the last frame found the window unseen
};

// In a screensaver host's window the host owns the keys, the mouse and the
// cursor, and ends us with a termination request; so does the desktop under
// a wallpaper.
bool hosted(const Options& options) { return !own_window(options.mode); }

// Runs whose frames are their output draw every one of them, seen or not.
// A wallpaper's or a screensaver's frames are only ever seen: with none of
// its outputs asking, it waits, --frames or not.
bool batch(const Options& options) {
  if (options.mode == Options::Mode::Wallpaper || options.mode == Options::Mode::Screensaver) return false;
  return options.frames != 0 || writes_frames(options);
}

// An output written whole, or the stop with the file's error: "TAG: cannot write 'PATH': why".
void write_or_stop(const std::string& path, const void* data, std::size_t size, const char* tag,
                   std::uint32_t where) {
  stop_on_file_error(write_file_replacing(path, data, size), where, std::string(tag) + ": cannot write", path);
}

std::int64_t steady_us() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// On each drawable of the frame (a wallpaper's outputs differ in size).
void draw(Demo& demo, float sway) {
  int width = demo.window.width, height = demo.window.height;
  for (int i = 0; platform_select_drawable(i, width, height); ++i) {
    if (width != demo.window.width || height != demo.window.height) {
      demo.window.width = width;
      demo.window.height = height;
      apply_window_size(width, height);
    }
    render_frame(*demo.water, *demo.title, demo.textures, sway);
  }
  demo.shown_sway = sway;
}

// At the size the last frame was drawn at. A minimised window has none:
// an empty picture must not replace a good one, so that is a stop.
void save_screenshot(const Demo& demo) {
  const std::string& path = demo.options.screenshot;
  const int width = demo.window.width, height = demo.window.height;
  if (width <= 0 || height <= 0) {
    const std::string reason = "png: nothing to write to '" + path + "': the window's drawable is " +
                               std::to_string(width) + " x " + std::to_string(height) + " (minimised?)";
    fatal_stop(kCodeNoWindow, kWhereScreenshot, reason.c_str());
  }
  const auto png = encode_png(read_back_buffer(width, height), width, height);
  if (png.empty()) fatal_stop(kCodeOutOfMemory, kWhereScreenshot, "png: cannot encode the picture");
  write_or_stop(path, png.data(), png.size(), "png", kWhereScreenshot);
}

void log_setup(const Demo& demo) {
  std::fprintf(stderr, "gl: %s\n", gl_description().c_str());
  if (!demo.window.context.empty()) std::fprintf(stderr, "gl: context: %s\n", demo.window.context.c_str());
  if (!demo.window.swap_interval.empty())
    std::fprintf(stderr, "gl: swap interval %s\n", demo.window.swap_interval.c_str());
  std::fprintf(stderr, "gl: depth buffer %d bits\n", demo.window.depth_bits);
  std::fprintf(stderr, "window: %d x %d\n", demo.window.width, demo.window.height);
  std::fprintf(stderr, "fpu: control word 0x%04X\n", static_cast<unsigned>(fpu_control()));
}

void open_window(Demo& demo) {
  const WindowRequest request = window_request(demo.options);
  std::string reason;
  if (!platform_open(request, demo.window, reason)) fatal_stop(kCodeNoWindow, kWhereWindow, reason.c_str());
  apply_window_size(demo.window.width, demo.window.height);
}

void init_scene(Demo& demo) {
  init_scene_state();
  const std::string installed = installed_data_dir();
  auto find = [&](const char* name) { return find_bitmap(demo.options.data_dir, name, installed); };
  const BitmapFile map = find(kEnvironmentMap), image = find(kIntroImage), mask = find(kIntroMask);
  // The texture first: a missing file stops before the field is allocated.
  demo.textures.environment = load_texture(map.path, upload_rgb_texture, map.hint);
  demo.water = std::make_unique<Water>(process_random());
  demo.title = std::make_unique<IntroFrame>();
  demo.textures.intro = load_masked_texture(image.path, mask.path, upload_rgba_texture, image.hint, mask.hint);
}

// A press or a drag drops where it touches the water, through the pixel's
// centre as the picture on the screen shows it; a miss keeps an earlier hit.
void press_into_water(Demo& demo, const PlatformEvent& event) {
  const auto site =
      drop_site_under(demo.shown_sway, demo.window.width, demo.window.height, event.x + 0.5, event.y + 0.5);
  if (!site) return;
  const auto same = [&](const auto& entry) { return entry.first == event.pointer; };
  const auto at = std::find_if(demo.pressed.begin(), demo.pressed.end(), same);
  if (at != demo.pressed.end())
    at->second = *site;
  else
    demo.pressed.emplace_back(event.pointer, *site);
}

// One waiting event; true when it ends the program. The pointer ends the
// screensaver run, and drops into the water of an interactive one.
bool handle_event(Demo& demo, const PlatformEvent& event) {
  const bool screensaver = demo.options.mode == Options::Mode::Screensaver;
  switch (event.kind) {
    case PlatformEvent::Key:
    case PlatformEvent::SystemKey: return key_ends_run(event.kind, hosted(demo.options), screensaver);
    case PlatformEvent::Quit: return true;
    case PlatformEvent::Press:
      if (screensaver) return true;
      press_into_water(demo, event);
      return false;
    case PlatformEvent::Pointer:
      if (screensaver) return demo.pointer.moved_away(event.x, event.y);
      if (event.held) press_into_water(demo, event);
      return false;
    case PlatformEvent::Resize:
      demo.window.width = event.width;
      demo.window.height = event.height;
      apply_window_size(event.width, event.height);
      return false;
    default: return false;
  }
}

// The waiting events, in order; true when one ends the program.
bool handle_events(Demo& demo) {
  PlatformEvent event;
  while (platform_poll(event))
    if (handle_event(demo, event)) return true;
  return false;
}

// The whole file; its end is no error, and a failed read's own error is kept.
int read_whole_file(const std::string& path, std::string& text) {
  FileHandle file;
  int code = file_open(path.c_str(), file);
  if (code != 0) return code;
  std::string chunk(1 << 16, '\0');
  for (std::size_t got = 0; code == 0; text.append(chunk, 0, got))
    code = file_read(file, chunk.data(), chunk.size(), &got);
  file_close(file);
  return code == static_cast<int>(kCodeShortRead) ? 0 : code;
}

// The whole journal before the first frame: a bad one is refused, never applied in part.
std::vector<JournalDrop> read_replay(const Options& options) {
  const std::string& path = options.replay;
  if (path.empty()) return {};
  std::string text;
  stop_on_file_error(read_whole_file(path, text), kWhereReplay, "replay: cannot read", path);
  ParsedJournal parsed = parse_journal(text, static_cast<std::uint64_t>(options.frames));
  if (!parsed.ok) {
    const std::string reason = "replay: '" + path + "' line " + std::to_string(parsed.line) + ": " + parsed.reason;
    fatal_stop(kCodeDataError, kWhereReplay, reason.c_str());
  }
  return std::move(parsed.drops);
}

// This frame's drops from the journal, then the pointer's, each noted for --record-input.
std::vector<DropSite> input_drops(Demo& demo, std::uint64_t frame) {
  std::vector<DropSite> drops;
  for (; demo.next_replay < demo.replay.size() && demo.replay[demo.next_replay].frame == frame; ++demo.next_replay)
    drops.push_back(demo.replay[demo.next_replay].site);
  for (const auto& [pointer, site] : demo.pressed) drops.push_back(site);
  demo.pressed.clear();
  if (!demo.options.record_input.empty())
    for (const DropSite& site : drops) demo.journal += journal_line({frame, site});
  return drops;
}

void write_journal(const Demo& demo) {
  const std::string text = kJournalHeader + std::string("\n") + demo.journal;
  write_or_stop(demo.options.record_input, text.data(), text.size(), "journal", kWhereInputJournal);
}

void write_dump(const Demo& demo) {
  const auto bytes = field_bytes(*demo.water);
  write_or_stop(demo.options.dump_water, bytes.data(), bytes.size(), "dump", kWhereDump);
}

// Everything before the first frame: the window, the scene and the clocks.
void init(Demo& demo) {
  const Options& options = demo.options;
  demo.replay = read_replay(options);
  demo.recorder.open(options);
  open_window(demo);
  demo.recorder.start(demo.window.width, demo.window.height);
  if (options.verbose) log_setup(demo);
  init_scene(demo);
  demo.loop.emplace(*demo.water, process_random());
  demo.loop->start(demo.ticks.start());
  // A person who drops into the water needs to see where.
  if (!hosted(options) && !options.interactive) platform_hide_cursor();
  demo.started = std::chrono::steady_clock::now();
  demo.progress = Progress(options);  // its rate counted from here, as --fps's is
  demo.pacing.start(steady_us());
}

// One frame, top to bottom; it never waits, but says when the next is due.
NextFrame frame(Demo& demo) {
  const Options& options = demo.options;
  if (handle_events(demo)) return {NextFrame::Stop};
  // An unseen window draws nothing. The clocks go on, so the first frame back
  // takes one long (clamped) step, and its interval starts afresh. A paused
  // page draws nothing either, and its clock stands still.
  const bool unseen = !batch(options) && platform_unseen();
  if (unseen || platform_paused()) {
    if (unseen) demo.unseen = true;
    return {NextFrame::Idle};
  }
  if (std::exchange(demo.unseen, false)) demo.pacing.start(steady_us());
  // The model is worked out before the drawing and stepped after it, so the
  // picture shows the field with this frame's drops.
  const FrameView view = demo.loop->tick(demo.ticks.next());  // its number and clocks
  demo.loop->drop(input_drops(demo, view.number));            // the random drop, a person's, then the normals
  if (options.intro) intro_frame(view.seconds, *demo.title);
  draw(demo, sway_angle(view.frame_clock));
  flush_frame();
  demo.recorder.frame(demo.window.width, demo.window.height);
  const bool last = options.frames != 0 && view.number == static_cast<std::uint64_t>(options.frames);
  if (last && !options.screenshot.empty()) save_screenshot(demo);
  demo.loop->step();  // the water over the frame's time, and the frame clock
  platform_swap();
  demo.progress.update(view.number);
  if (last) return {NextFrame::Stop};
  // Pacing: the hosts' pause, then whatever is left of the frame's interval after it.
  return {NextFrame::After, options.delay_us + demo.pacing.wait_after_frame(steady_us() + options.delay_us)};
}

// After the last frame: the window goes, the outputs are written; the exit code.
int finish(Demo& demo) {
  const Options& options = demo.options;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - demo.started;
  platform_close();

  demo.recorder.finish();
  if (!options.dump_water.empty()) write_dump(demo);
  if (!options.record_input.empty()) write_journal(demo);
  if (options.fps) {
    const double seconds = elapsed.count();
    const std::uint64_t frames = demo.loop->frames();
    std::fprintf(stderr, "fps: %llu frames in %.3f s: %.1f fps\n", static_cast<unsigned long long>(frames), seconds,
                 seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
  }
  return 0;
}

}  // namespace

int run_demo(const Options& options) {
  // Kept past this function's return, after which a page's frames run.
  static std::unique_ptr<Demo> demo;
  demo = std::make_unique<Demo>(options);
  init(*demo);
  return platform_run_frames([](void* run) { return frame(*static_cast<Demo*>(run)); },
                             [](void* run) { return finish(*static_cast<Demo*>(run)); }, demo.get());
}

}  // namespace ovu
