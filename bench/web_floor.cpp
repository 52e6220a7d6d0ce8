// The page's frame-rate floor: a 640 x 480 WebGL canvas cleared and handed
// to the browser, frame after frame, as ovu's unpaced page does it (from the
// browser's main loop, the next frame as soon as the browser has had a
// turn), with nothing drawn. bench/web.sh opens it in headless Chromium and
// reads the console.

#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cstdio>

namespace {

constexpr int kFrames = 300;
int g_frame = 0;
double g_start = 0;

void frame(void*) {
  emscripten_glClearColor(0.5f, 0.5f, g_frame % 2 ? 0.7f : 0.6f, 1);
  emscripten_glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (++g_frame < kFrames) return;
  emscripten_cancel_main_loop();
  const double seconds = (emscripten_get_now() - g_start) / 1000;
  std::printf("floor: clear and hand over to the browser, 640 x 480: %.1f fps\n", kFrames / seconds);
  std::printf("floor: done\n");
}

}  // namespace

int main() {
  emscripten_set_canvas_element_size("#canvas", 640, 480);
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.antialias = EM_FALSE;
  emscripten_webgl_make_context_current(emscripten_webgl_create_context("#canvas", &attributes));
  g_start = emscripten_get_now();
  emscripten_set_main_loop_arg(frame, nullptr, 0, EM_FALSE);
  emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
}
