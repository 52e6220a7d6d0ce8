// The GL stream of the real program, recorded with apitrace: the set-up and
// eight frames, every call and argument compared with the design's values,
// worked out here where they are computed (the generator's initial heights,
// the normals, the camera sway, the title's schedule and grid).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <regex>
#include <sstream>

#include "core/frame_loop.h"
#include "core/random.h"
#include "core/water.h"
#include "driver.h"

namespace ovu {
namespace {

constexpr int N = 100;
using Ext = long double;
using Calls = std::vector<std::string>;  // name(arguments), as apitrace writes them
using test::operator+;

// The set-up (before the first clear), then each frame from its clear to
// its swap; each call without its number and its arguments' names.
std::vector<Calls> record(const std::vector<std::string>& args) {
  test::TempDir dir;
  std::vector<std::string> command = {"/usr/bin/env", "apitrace", "trace", "--output", dir.file("ovu.trace")};
  for (const auto& word : test::program(args)) command.push_back(word);
  const auto run =
      test::run_child(command, test::program_options("", {"ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::istringstream lines(test::tool({"apitrace", "dump", "--color=never", "--call-nos=no", "--arg-names=no",
                                       dir.file("ovu.trace")}).out);
  std::vector<Calls> parts(1);
  for (std::string line; std::getline(lines, line);) {
    if (line.find('(') == line.npos || line.find("// fake") != line.npos) continue;
    // Neither the window system's calls but the swap, nor GLU's queries and smaller textures.
    if (!line.rfind("glGet", 0) || !line.rfind("glPixelStore", 0) ||
        (!line.rfind("glX", 0) && line.rfind("glXSwap", 0)) ||
        (!line.rfind("glTexImage2D", 0) && line.rfind("glTexImage2D(GL_TEXTURE_2D, 0,", 0)))
      continue;
    if (line.rfind("glClear(", 0) == 0) parts.emplace_back();
    parts.back().push_back(line);
  }
  return parts;
}

// A call's values, and its text with '#' for each (not the digits of a name such as GL_LIGHT0).
std::pair<std::vector<double>, std::string> values(const std::string& call) {
  static const std::regex number("([( {&])(-?[0-9][-+.e0-9]*)");
  std::vector<double> found;
  for (std::sregex_iterator it(call.begin(), call.end(), number), end; it != end; ++it) found.push_back(std::stod((*it)[2]));
  return {found, std::regex_replace(call, number, "$1#")};
}

// The call with each '#' of `text` replaced by the next value, to six decimals: nearer than the comparison needs.
std::string call(std::string text, std::initializer_list<Ext> numbers) {
  for (const Ext number : numbers) text.replace(text.find('#'), 1, std::to_string(double(number)));
  return text;
}


// The calls from `at` on are these, their values as near as apitrace's seven digits; the first difference fails.
testing::AssertionResult expect(const Calls& calls, std::size_t& at, const Calls& expected) {
  for (const std::string& text : expected) {
    const std::string sent = at < calls.size() ? calls[at++] : "the end of the stream";
    const auto [got, shape] = values(sent);
    const auto [want, expected_shape] = values(text);
    bool same = shape == expected_shape;
    for (std::size_t k = 0; same && k < want.size(); ++k)
      same = std::fabs(got[k] - want[k]) <= 1e-5 * std::max(1.0, std::fabs(want[k]));
    if (!same) return testing::AssertionFailure() << "call " << at << ": " << sent << " where " << text << " belongs";
  }
  return testing::AssertionSuccess();
}

// The 99 strips of the surface: row i, then row i + 1, column by column, 2.5
// apart and centred on 50; each vertex after the normal of its cell, made
// from its neighbours' heights.
Calls water(const std::vector<double>& h) {
  Calls calls;
  for (int i = 1; i < N; ++i) {
    calls.push_back("glBegin(GL_TRIANGLE_STRIP)");
    for (int j = 1; j <= N; ++j)
      for (int k : {i * (N + 2) + j, (i + 1) * (N + 2) + j}) {
        calls.push_back(call("glNormal3fv({#, 10, #})", {h[k - 1] - h[k + 1], h[k - N - 2] - h[k + N + 2]}));
        calls.push_back(call("glVertex3f(#, #, #)", {(j - 50) * 2.5L, h[k], (k / (N + 2) - 50) * 2.5L}));
      }
    calls.push_back("glEnd()");
  }
  return calls;
}

// The title's 30 strips: columns i and i + 1 climbing rows 0 to 29; texture
// coordinates wobble by W along the phase (column OR row) + seconds.
Calls title(float seconds, float wobble) {
  Calls calls;
  for (int i = 0; i < 30; ++i) {
    calls.push_back("glBegin(GL_TRIANGLE_STRIP)");
    for (int v = 0; v < 60; ++v) {
      const int m = i + v % 2, j = v / 2;
      const Ext phase = Ext(m | j) + seconds;
      calls.push_back(
          call("glTexCoord2f(#, #)", {Ext(m) / 30 + wobble * std::sin(phase), Ext(j) / 30 + wobble * std::cos(phase)}));
      calls.push_back(call("glVertex2f(#, #)", {Ext(m) / 30 - 0.5L, Ext(j) / 30 - 0.5L}));
    }
    calls.push_back("glEnd()");
  }
  return calls;
}

TEST(GlStream, SetUpAndEightFramesSendWhatTheSceneIsMadeOf) {
  // 1.25 s apart: fading in, held, the dissolve from its start, and 10 s.
  const std::vector<Calls> trace = record({"--windowed", "160x120", "--fixed-step", "1250", "--frames", "8"});
  ASSERT_EQ(trace.size(), 9u);

  // gluPerspective: 50 degrees, the window's aspect, 0.001 to 1000.
  const Ext f = 1 / std::tan(25 * 3.14159265358979323846L / 180), z_near = 0.001L, z_far = 1000;
  std::size_t at = 0;
  EXPECT_TRUE(expect(
      trace[0], at,
      {"glViewport(0, 0, 160, 120)", "glMatrixMode(GL_PROJECTION)", "glLoadIdentity()",
       call("glMultMatrixd({#, 0, 0, 0, 0, #, 0, 0, 0, 0, #, -1, 0, 0, #, 0})",
            {f * 120 / 160, f, (z_far + z_near) / (z_near - z_far), 2 * z_far * z_near / (z_near - z_far)}),
       "glEnable(GL_LIGHT0)", "glLightfv(GL_LIGHT0, GL_AMBIENT, {0, 0, 0, 1})",
       "glLightfv(GL_LIGHT0, GL_DIFFUSE, {1, 1, 0.5, 1})", "glLightfv(GL_LIGHT0, GL_SPECULAR, {1, 0.7, 0.5, 1})",
       "glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1)", "glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1)",
       "glEnable(GL_DEPTH_TEST)", "glEnable(GL_FOG)", "glClearColor(0.5, 0.5, 0.7, 1)", "glFogi(GL_FOG_MODE, GL_EXP2)",
       "glFogfv(GL_FOG_COLOR, {0.5, 0.5, 0.7, 1})", "glFogf(GL_FOG_DENSITY, 0.008)",
       // The environment map, then the title with its mask as alpha.
       "glGenTextures(1, &1)", "glBindTexture(GL_TEXTURE_2D, 1)",
       "glTexImage2D(GL_TEXTURE_2D, 0, 3, 512, 512, 0, GL_RGB, GL_UNSIGNED_BYTE, blob(786432))", "glGenTextures(1, &2)",
       "glBindTexture(GL_TEXTURE_2D, 2)",
       "glTexImage2D(GL_TEXTURE_2D, 0, 4, 512, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE, blob(1048576))"}));
  EXPECT_EQ(at, trace[0].size()) << "more set-up than this";

  // The initial heights: the first 10404 draws of the never-seeded generator,
  // row-major, border included; each the single nearest (d - 500) / 1000.
  std::vector<double> start;
  for (std::uint32_t k = 0, state = 0; k < (N + 2) * (N + 2); ++k) {
    state = state * 0x08088405u + 1;
    start.push_back(static_cast<float>(Ext(static_cast<int>((std::uint64_t{state} * 1000) >> 32) - 500) / 1000));
  }
  // The later frames' heights from the core's own frame loop, as each frame draws them.
  Random random;
  Water core(random);
  std::vector<std::vector<double>> drawn;
  FrameLoop loop(core, random);
  loop.start(0);
  for (std::uint32_t n = 1; n <= 8; loop.step(), ++n) {
    loop.tick(1250 * n), loop.drop(), drawn.emplace_back();
    for (const Cell& c : core.cells()) drawn.back().push_back(c.height);
  }
  float frame_clock = 0;
  for (int n = 1; n <= 8; ++n, frame_clock = static_cast<float>(Ext(frame_clock) + 0.1f)) {
    SCOPED_TRACE("frame " + std::to_string(n));
    const Calls& calls = trace[n];
    const float seconds = 1.25f * static_cast<float>(n);
    const std::vector<double>& h = n == 1 ? start : drawn[n - 1];
    at = 0;
    ASSERT_TRUE(expect(calls, at,
                       Calls{"glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)", "glMatrixMode(GL_MODELVIEW)",
                             "glLoadIdentity()", "glTranslatef(0, 0, -160)", "glRotatef(10, 1, 0, 0)",
                             call("glRotatef(#, 0, 1, 0)", {std::sin(Ext(frame_clock) / 10) * 30}),  // the sway
                             "glLightfv(GL_LIGHT0, GL_POSITION, {0, 30, -70, 1})", "glEnable(GL_TEXTURE_2D)",
                             "glEnable(GL_NORMALIZE)", "glEnable(GL_LIGHTING)", "glEnable(GL_TEXTURE_GEN_S)",
                             "glEnable(GL_TEXTURE_GEN_T)", "glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP)",
                             "glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP)", "glBindTexture(GL_TEXTURE_2D, 1)",
                             "glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, {0.1, 0.4, 1, 1})",
                             "glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, {1, 1, 1, 1})",
                             "glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, &50)"} +
                           water(h) +
                           // The ball: unlit, 20 nearer the eye than the light, radius 8 in 20 stacks.
                           Calls{"glDisable(GL_NORMALIZE)", "glDisable(GL_LIGHTING)", "glColor3f(1, 0.9, 0.9)",
                                 "glTranslatef(0, 30, -50)"}));
    int begins = 0, off_the_sphere = 0;
    for (; at < calls.size() && calls[at] != "glDisable(GL_TEXTURE_GEN_S)"; ++at) {
      const std::vector<double> v = values(calls[at]).first;
      begins += calls[at].rfind("glBegin(", 0) == 0;
      off_the_sphere += calls[at].rfind("glVertex3f(", 0) == 0 && std::fabs(std::hypot(v[0], v[1], v[2]) - 8) > 1e-4;
    }
    EXPECT_EQ(std::make_pair(begins, off_the_sphere), std::make_pair(20, 0)) << "strips; vertices off the sphere";
    const float dissolve = seconds < 5 ? 0 : static_cast<float>((Ext(seconds) - 5) / 5);
    const Calls intro = Calls{"glMatrixMode(GL_MODELVIEW)", "glPushMatrix()", "glLoadIdentity()", "glScalef(2, 2, 2)",
                              "glMatrixMode(GL_PROJECTION)", "glPushMatrix()", "glLoadIdentity()", "glEnable(GL_BLEND)",
                              "glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)",
                              call("glColor4f(1, 1, 1, #)", {seconds < 2 ? seconds / 2 : 1 - dissolve}),
                              "glBindTexture(GL_TEXTURE_2D, 2)"} +
                        title(seconds, static_cast<float>(0.04L * dissolve)) +
                        Calls{"glDisable(GL_BLEND)", "glMatrixMode(GL_PROJECTION)", "glPopMatrix()",
                              "glMatrixMode(GL_MODELVIEW)", "glPopMatrix()"};
    ASSERT_TRUE(expect(calls, at,
                       Calls{"glDisable(GL_TEXTURE_GEN_S)", "glDisable(GL_TEXTURE_GEN_T)"} +
                           (seconds < 10 ? intro : Calls{}) + Calls{"glFlush()"}));
    // The swap's arguments are the display's; nothing after it.
    EXPECT_EQ(calls.at(at).rfind("glXSwapBuffers(", 0), 0u);
    EXPECT_EQ(at + 1, calls.size()) << "more in the frame";
  }
}

}  // namespace
}  // namespace ovu
