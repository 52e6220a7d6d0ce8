// The floor ovu's frame rate is measured against: the GL stream of one of
// its frames, sent again and again for a field, camera and title frozen at
// start-up, with none of the program's own per-frame arithmetic (no drop,
// no wave step, no normals, no title grid). Same window, same set-up, same
// textures, same options and the same --fps line as ovu.
//   gl_floor [--windowed WxH] [--frames N] [--fps] [--no-intro] [--no-vsync] [--data-dir DIR]
//   gl_floor --clear-only ...   only the clear and the swap of each frame, and no
//                               textures or field: start-up is the GL's own
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/bitmap_loader.h"
#include "app/options.h"
#include "core/camera.h"
#include "core/frame_loop.h"
#include "core/intro.h"
#include "core/random.h"
#include "core/water.h"
#include "gl/scene.h"
#include "gl/texture.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "platform/stop.h"

namespace {

// Frozen where the benchmark runs of ovu (16 ms virtual frames) spend their
// middle: the field has calmed from its rough start and carries dents, the
// title is fully shown and the camera well into its swing.
constexpr int kFrozenFrame = 150;
constexpr float kFrozenStep = 1.6f;
constexpr std::uint32_t kWhereWindow = 0x00F10001;

struct Frozen {
  bool clear_only = false;
  bool intro = true;
  float sway = 0;
  ovu::Water* water = nullptr;
  ovu::SceneTextures textures{};
  ovu::IntroFrame title{};
};

void send_frame(const Frozen& frozen) {
  if (frozen.clear_only) {
    ovu::clear_frame();
  } else {
    ovu::render_frame(*frozen.water, frozen.title, frozen.textures, frozen.sway);
  }
  ovu::flush_frame();
  ovu::platform_swap();
}

bool key_or_close() {
  ovu::PlatformEvent event;
  while (ovu::platform_poll(event)) {
    if (event.kind == ovu::PlatformEvent::Key || event.kind == ovu::PlatformEvent::Quit) return true;
    if (event.kind == ovu::PlatformEvent::Resize) ovu::apply_window_size(event.width, event.height);
  }
  return false;
}

// The field, camera and title of frame kFrozenFrame of a 16 ms run, with
// both textures loaded and mipmapped as ovu does.
void freeze(Frozen& frozen, const std::string& dir, std::unique_ptr<ovu::Water>& water) {
  frozen.textures.environment = ovu::load_texture(ovu::data_path(dir, "CHRMWARP.bmp"), ovu::upload_rgb_texture);
  ovu::Random& random = ovu::process_random();
  water = std::make_unique<ovu::Water>(random);
  float frame_clock = 0;
  for (int frame = 0; frame < kFrozenFrame; ++frame) {
    if (random.next(ovu::kDropChance) == 1) ovu::drop_ripple(*water, random);
    water->update(kFrozenStep);
    frame_clock = ovu::advance_frame_clock(frame_clock);
  }
  water->build_normals();
  frozen.sway = ovu::sway_angle(frame_clock);
  frozen.water = water.get();
  frozen.textures.intro = ovu::load_masked_texture(ovu::data_path(dir, "vo.bmp"), ovu::data_path(dir, "vomask.bmp"),
                                                  ovu::upload_rgba_texture);
  const float seconds = ovu::seconds_from_ms(std::uint64_t{16} * kFrozenFrame);
  if (frozen.intro) ovu::intro_frame(seconds, frozen.title);
}

int run(int argc, char** argv) {
  Frozen frozen;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--clear-only") == 0)
      frozen.clear_only = true;
    else
      args.push_back(argv[i]);
  }
  const ovu::ParsedOptions parsed = ovu::parse_options(static_cast<int>(args.size()), args.data());
  if (!parsed.ok) {
    std::fprintf(stderr, "gl_floor: %s\n", parsed.error.c_str());
    return ovu::kExitUsage;
  }
  const ovu::Options& options = parsed.options;
  frozen.intro = options.intro;

  const ovu::WindowRequest request = ovu::window_request(options);
  ovu::WindowInfo window;
  std::string reason;
  if (!ovu::platform_open(request, window, reason)) ovu::fatal_stop(ovu::kCodeNoWindow, kWhereWindow, reason.c_str());
  ovu::apply_window_size(window.width, window.height);
  ovu::init_scene_state();

  // Clear-only is the GL's own floor, start-up included: no textures, no field.
  std::unique_ptr<ovu::Water> water;
  if (!frozen.clear_only) freeze(frozen, options.data_dir, water);
  ovu::platform_hide_cursor();

  std::uint64_t frames = 0;
  const auto started = std::chrono::steady_clock::now();
  while (!key_or_close()) {
    send_frame(frozen);
    if (++frames == static_cast<std::uint64_t>(options.frames)) break;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  ovu::platform_close();
  if (options.fps) {
    // ovu's --fps line, so the benchmark script reads both the same way.
    const double seconds = elapsed.count();
    std::fprintf(stderr, "fps: %llu frames in %.3f s: %.1f fps\n", static_cast<unsigned long long>(frames), seconds,
                 seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(run, argc, argv); }
