// The page's frame-rate floor: a 640 x 480 WebGL canvas cleared and handed
// to the browser, frame after frame, as ovu's page does it, with nothing
// drawn. bench/web.sh opens it in headless Chromium and reads the console.

#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cstdio>

int main() {
  constexpr int kFrames = 300;
  emscripten_set_canvas_element_size("#canvas", 640, 480);
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.antialias = EM_FALSE;
  emscripten_webgl_make_context_current(emscripten_webgl_create_context("#canvas", &attributes));
  const double start = emscripten_get_now();
  for (int frame = 0; frame < kFrames; ++frame) {
    emscripten_glClearColor(0.5f, 0.5f, frame % 2 ? 0.7f : 0.6f, 1);
    emscripten_glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    emscripten_sleep(0);
  }
  const double seconds = (emscripten_get_now() - start) / 1000;
  std::printf("floor: clear and hand over to the browser, 640 x 480: %.1f fps\n", kFrames / seconds);
  std::printf("floor: done\n");
}
