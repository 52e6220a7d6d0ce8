// The GL stream of the real program, recorded with apitrace: the set-up and
// eight frames, every call and argument compared with the design's values,
// worked out here where they are computed (the generator's initial heights,
// the normals, the camera sway, the title's schedule and grid).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <sstream>

#include "driver.h"

namespace ovu {
namespace {

constexpr int N = 100;
using Ext = long double;

struct Call {
  std::string text;  // name(arguments), as apitrace writes it
  std::vector<double> numbers;
};

// apitrace writes seven significant digits: as near as that.
bool near(double actual, double expected, double tolerance = 1e-6) {
  return std::fabs(actual - expected) <= tolerance * std::max(1.0, std::fabs(expected));
}

struct Trace {
  std::vector<Call> setup;                // before the first clear
  std::vector<std::vector<Call>> frames;  // each from its clear to its swap
};

Trace record(const std::vector<std::string>& args) {
  test::TempDir dir;
  std::vector<std::string> command = {"/usr/bin/env", "apitrace", "trace", "--output", dir.file("ovu.trace")};
  for (const auto& word : test::program(args)) command.push_back(word);
  const auto run =
      test::run_child(command, test::program_options("", {"ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"}));
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const auto dump = test::tool({"apitrace", "dump", "--color=never", dir.file("ovu.trace")});
  Trace trace;
  std::vector<Call>* into = &trace.setup;
  std::istringstream lines(dump.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("// fake") != std::string::npos || line.find('(') == std::string::npos || line[0] == '/') continue;
    Call call{line.substr(line.find(' ') + 1), {}};
    // Every number, but not the digits of a name such as GL_LIGHT0.
    for (const char* at = call.text.c_str(); *at != '\0'; ++at) {
      if (std::isalpha(static_cast<unsigned char>(*at)) || *at == '_')
        while (std::isalnum(static_cast<unsigned char>(at[1])) || at[1] == '_') ++at;
      else if (std::isdigit(static_cast<unsigned char>(*at)) ||
               (*at == '-' && std::isdigit(static_cast<unsigned char>(at[1])))) {
        char* end = nullptr;
        call.numbers.push_back(std::strtod(at, &end));
        at = end - 1;
      }
    }
    if (call.text.rfind("glClear(", 0) == 0) into = &trace.frames.emplace_back();
    // After the last swap: the end of the run, no frame's.
    if (into->empty() || into->back().text.rfind("glXSwapBuffers", 0) != 0) into->push_back(call);
  }
  return trace;
}

// Walks a stream; the first difference fails the test and ends the walk.
class Cursor {
public:
  Cursor(const std::vector<Call>& calls, std::string where) : calls_(calls), where_(std::move(where)) {}
  bool ok() const { return ok_; }
  bool done() const { return at_ == calls_.size(); }
  const Call* next() {
    if (ok_ && at_ < calls_.size()) return &calls_[at_++];
    fail("the stream ends early");
    return nullptr;
  }
  // The call as written, or with this name and these numbers within `tolerance`.
  void expect(const std::string& text, const std::vector<double>& numbers = {}, double tolerance = 1e-6) {
    const Call* call = next();
    if (call == nullptr) return;
    bool same = numbers.empty() ? call->text == text
                                : call->text.rfind(text + "(", 0) == 0 && call->numbers.size() == numbers.size();
    for (std::size_t k = 0; same && k < numbers.size(); ++k) same = near(call->numbers[k], numbers[k], tolerance);
    if (!same) fail(call->text + " where " + text + " belongs");
  }
  void expect(std::initializer_list<const char*> texts) {
    for (const char* text : texts) expect(text);
  }
  // glBegin(mode) ... glEnd(): the calls between.
  std::vector<Call> block(const std::string& mode) {
    expect("glBegin(mode = " + mode + ")");
    std::vector<Call> inner;
    while (ok_ && at_ < calls_.size() && calls_[at_].text != "glEnd()") inner.push_back(calls_[at_++]);
    expect("glEnd()");
    return inner;
  }
  std::vector<Call> until(const std::string& text) {
    std::vector<Call> skipped;
    while (ok_ && at_ < calls_.size() && calls_[at_].text != text) skipped.push_back(calls_[at_++]);
    return skipped;
  }
  void fail(const std::string& what) {
    if (ok_) ADD_FAILURE() << where_ << ", call " << at_ << ": " << what;
    ok_ = false;
  }

private:
  const std::vector<Call>& calls_;
  std::string where_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// The initial heights: the first 10404 draws of the never-seeded generator,
// row-major, border included; each the single nearest (d - 500) / 1000.
std::vector<double> initial_heights() {
  std::vector<double> heights;
  std::uint32_t state = 0;
  for (int k = 0; k < (N + 2) * (N + 2); ++k) {
    state = state * 0x08088405u + 1;
    heights.push_back(static_cast<float>(Ext(static_cast<int>((std::uint64_t{state} * 1000) >> 32) - 500) / 1000));
  }
  return heights;
}

// The 99 strips of the surface: row i, then row i + 1, column by column, 2.5
// apart and centred on 50; each vertex with the normal of its cell, made
// from its neighbours' heights (the border's as they were at the start).
void check_water(Cursor& stream, const std::vector<double>& start, bool first_frame) {
  std::vector<double> h = start;
  std::vector<std::vector<double>> normals(h.size());
  for (int i = 1; i < N && stream.ok(); ++i) {
    const auto calls = stream.block("GL_TRIANGLE_STRIP");
    for (int j = 1; j <= N && stream.ok(); ++j)
      for (int row : {i, i + 1}) {
        const std::size_t at = 4 * (j - 1) + 2 * (row - i);
        const int k = row * (N + 2) + j;
        const bool placed = at + 1 < calls.size() && calls[at].text.rfind("glNormal3fv(", 0) == 0 &&
                            calls[at + 1].text.rfind("glVertex3f(", 0) == 0 &&
                            calls[at + 1].numbers[0] == (j - 50) * 2.5 && calls[at + 1].numbers[2] == (row - 50) * 2.5;
        // Every cell is sent twice, by the strips above and below it: alike both times.
        if (!placed || (!normals[k].empty() && (normals[k] != calls[at].numbers || h[k] != calls[at + 1].numbers[1])))
          return stream.fail("strip " + std::to_string(i) + ", row " + std::to_string(row) + ", column " +
                             std::to_string(j));
        normals[k] = calls[at].numbers;
        h[k] = calls[at + 1].numbers[1];
      }
    if (calls.size() != 4 * N) stream.fail("strip " + std::to_string(i) + " is too long");
  }
  for (int k = N + 3; k < (N + 1) * (N + 2) && stream.ok(); ++k) {
    if (normals[k].empty()) continue;  // the border
    const double expected[3] = {h[k - 1] - h[k + 1], 10, h[k - N - 2] - h[k + N + 2]};
    bool same = !first_frame || near(h[k], start[k]);
    for (int c = 0; c < 3; ++c) same = same && near(normals[k][c], expected[c], 4e-6);
    if (!same) stream.fail("cell " + std::to_string(k) + ": its height or its normal");
  }
}

// The title's 30 strips: columns i and i + 1 climbing rows 0 to 29; texture
// coordinates wobble by W along the phase (column OR row) + seconds.
void check_title(Cursor& stream, float seconds, float wobble) {
  for (int i = 0; i < 30 && stream.ok(); ++i) {
    const auto calls = stream.block("GL_TRIANGLE_STRIP");
    for (int v = 0; v < 60 && stream.ok(); ++v) {
      const int m = i + v % 2, j = v / 2;
      const Ext phase = Ext(m | j) + seconds;
      const Ext expected[4] = {Ext(m) / 30 + wobble * std::sin(phase), Ext(j) / 30 + wobble * std::cos(phase),
                               Ext(m) / 30 - 0.5L, Ext(j) / 30 - 0.5L};
      bool same = calls.size() == 120 && calls[2 * v].text.rfind("glTexCoord2f(", 0) == 0 &&
                  calls[2 * v + 1].text.rfind("glVertex2f(", 0) == 0;
      for (int c = 0; c < 4 && same; ++c) same = near(calls[2 * v + c / 2].numbers[c % 2], double(expected[c]));
      if (!same) stream.fail("title strip " + std::to_string(i) + ", vertex " + std::to_string(v));
    }
  }
}

TEST(GlStream, SetUpAndEightFramesSendWhatTheSceneIsMadeOf) {
  // 1.25 s apart: fading in, held, the dissolve from its start, and 10 s.
  const Trace trace = record({"--windowed", "160x120", "--fixed-step", "1250", "--frames", "8"});
  ASSERT_EQ(trace.frames.size(), 8u);

  // The set-up, without GLU's own calls; textures at full size only.
  std::vector<Call> setup;
  for (const Call& call : trace.setup)
    for (const char* name :
         {"glViewport", "glMatrixMode", "glLoadIdentity", "glMultMatrixd", "glEnable", "glDisable", "glLight", "glFog",
          "glClearColor", "glGenTextures", "glBindTexture", "glTexParameter", "glTexEnv", "glShadeModel", "glCullFace",
          "glFrontFace", "glMaterial", "glHint", "glTexImage2D(target = GL_TEXTURE_2D, level = 0,"})
      if (call.text.rfind(name, 0) == 0) setup.push_back(call);
  Cursor set_up(setup, "set-up");
  const Ext f = 1 / std::tan(25 * 3.14159265358979323846L / 180), z_near = 0.001L, z_far = 1000;
  set_up.expect({"glViewport(x = 0, y = 0, width = 160, height = 120)", "glMatrixMode(mode = GL_PROJECTION)",
                 "glLoadIdentity()"});
  // gluPerspective: 50 degrees, the window's aspect, 0.001 to 1000.
  set_up.expect("glMultMatrixd",
                {double(f * 120 / 160), 0, 0, 0, 0, double(f), 0, 0, 0, 0, double((z_far + z_near) / (z_near - z_far)),
                 -1, 0, 0, double(2 * z_far * z_near / (z_near - z_far)), 0},
                1e-12);
  set_up.expect(
      {"glEnable(cap = GL_LIGHT0)", "glLightfv(light = GL_LIGHT0, pname = GL_AMBIENT, params = {0, 0, 0, 1})",
       "glLightfv(light = GL_LIGHT0, pname = GL_DIFFUSE, params = {1, 1, 0.5, 1})",
       "glLightfv(light = GL_LIGHT0, pname = GL_SPECULAR, params = {1, 0.7, 0.5, 1})",
       "glLightModeli(pname = GL_LIGHT_MODEL_LOCAL_VIEWER, param = 1)",
       "glLightModeli(pname = GL_LIGHT_MODEL_TWO_SIDE, param = 1)", "glEnable(cap = GL_DEPTH_TEST)",
       "glEnable(cap = GL_FOG)", "glClearColor(red = 0.5, green = 0.5, blue = 0.7, alpha = 1)",
       "glFogi(pname = GL_FOG_MODE, param = GL_EXP2)", "glFogfv(pname = GL_FOG_COLOR, params = {0.5, 0.5, 0.7, 1})",
       "glFogf(pname = GL_FOG_DENSITY, param = 0.008)",
       // The environment map, then the title with its mask as alpha.
       "glGenTextures(n = 1, textures = &1)", "glBindTexture(target = GL_TEXTURE_2D, texture = 1)",
       "glTexImage2D(target = GL_TEXTURE_2D, level = 0, internalformat = 3, width = 512, height = 512, border = 0, "
       "format = GL_RGB, type = GL_UNSIGNED_BYTE, pixels = blob(786432))",
       "glGenTextures(n = 1, textures = &2)", "glBindTexture(target = GL_TEXTURE_2D, texture = 2)",
       "glTexImage2D(target = GL_TEXTURE_2D, level = 0, internalformat = 4, width = 512, height = 512, border = 0, "
       "format = GL_RGBA, type = GL_UNSIGNED_BYTE, pixels = blob(1048576))"});
  EXPECT_TRUE(set_up.done()) << "more set-up than this";

  const std::vector<double> start = initial_heights();
  float frame_clock = 0;
  for (int n = 1; n <= 8; ++n, frame_clock = static_cast<float>(Ext(frame_clock) + 0.1f)) {
    Cursor frame(trace.frames[n - 1], "frame " + std::to_string(n));
    const float seconds = 1.25f * static_cast<float>(n);
    frame.expect({"glClear(mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)", "glMatrixMode(mode = GL_MODELVIEW)",
                  "glLoadIdentity()", "glTranslatef(x = 0, y = 0, z = -160)",
                  "glRotatef(angle = 10, x = 1, y = 0, z = 0)"});
    frame.expect("glRotatef", {double(std::sin(Ext(frame_clock) / 10) * 30), 0, 1, 0}, 1e-5);  // the sway
    frame.expect({"glLightfv(light = GL_LIGHT0, pname = GL_POSITION, params = {0, 30, -70, 1})",
                  "glEnable(cap = GL_TEXTURE_2D)", "glEnable(cap = GL_NORMALIZE)", "glEnable(cap = GL_LIGHTING)",
                  "glEnable(cap = GL_TEXTURE_GEN_S)", "glEnable(cap = GL_TEXTURE_GEN_T)",
                  "glTexGeni(coord = GL_S, pname = GL_TEXTURE_GEN_MODE, param = GL_SPHERE_MAP)",
                  "glTexGeni(coord = GL_T, pname = GL_TEXTURE_GEN_MODE, param = GL_SPHERE_MAP)",
                  "glBindTexture(target = GL_TEXTURE_2D, texture = 1)",
                  "glMaterialfv(face = GL_FRONT_AND_BACK, pname = GL_DIFFUSE, params = {0.1, 0.4, 1, 1})",
                  "glMaterialfv(face = GL_FRONT_AND_BACK, pname = GL_SPECULAR, params = {1, 1, 1, 1})",
                  "glMaterialfv(face = GL_FRONT_AND_BACK, pname = GL_SHININESS, params = &50)"});
    check_water(frame, start, n == 1);
    // The ball: unlit, 20 nearer the eye than the light, radius 8 in 20 stacks.
    frame.expect({"glDisable(cap = GL_NORMALIZE)", "glDisable(cap = GL_LIGHTING)",
                  "glColor3f(red = 1, green = 0.9, blue = 0.9)", "glTranslatef(x = 0, y = 30, z = -50)"});
    int begins = 0;
    double radius = 0;
    for (const Call& call : frame.until("glDisable(cap = GL_TEXTURE_GEN_S)")) {
      begins += call.text.rfind("glBegin(", 0) == 0;
      if (call.text.rfind("glVertex3f(", 0) == 0)
        radius = std::max(radius, std::hypot(call.numbers[0], call.numbers[1], call.numbers[2]));
    }
    EXPECT_EQ(begins, 20) << n;
    EXPECT_NEAR(radius, 8, 1e-4) << n;
    frame.expect({"glDisable(cap = GL_TEXTURE_GEN_S)", "glDisable(cap = GL_TEXTURE_GEN_T)"});
    if (seconds < 10) {
      const float dissolve = seconds < 5 ? 0 : static_cast<float>((Ext(seconds) - 5) / 5);
      frame.expect({"glMatrixMode(mode = GL_MODELVIEW)", "glPushMatrix()", "glLoadIdentity()",
                    "glScalef(x = 2, y = 2, z = 2)", "glMatrixMode(mode = GL_PROJECTION)", "glPushMatrix()",
                    "glLoadIdentity()", "glEnable(cap = GL_BLEND)",
                    "glBlendFunc(sfactor = GL_SRC_ALPHA, dfactor = GL_ONE_MINUS_SRC_ALPHA)"});
      frame.expect("glColor4f", {1, 1, 1, seconds < 2 ? seconds / 2 : 1 - dissolve});
      frame.expect("glBindTexture(target = GL_TEXTURE_2D, texture = 2)");
      check_title(frame, seconds, static_cast<float>(0.04L * dissolve));
      frame.expect({"glDisable(cap = GL_BLEND)", "glMatrixMode(mode = GL_PROJECTION)", "glPopMatrix()",
                    "glMatrixMode(mode = GL_MODELVIEW)", "glPopMatrix()"});
    }
    frame.expect("glFlush()");
    const Call* swap = frame.next();  // its arguments are the display's
    EXPECT_TRUE(swap != nullptr && swap->text.rfind("glXSwapBuffers(", 0) == 0) << n;
    EXPECT_TRUE(frame.done()) << "more in frame " << n;
  }
}

}  // namespace
}  // namespace ovu
