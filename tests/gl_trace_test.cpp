// The GL stream itself, recorded with apitrace: call counts and order of a
// frame, and what is never sent.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "program_run.h"
#include "temp_dir.h"

namespace ovu {
namespace {

struct Call {
  std::string name;
  std::string args;
};

using Frame = std::vector<Call>;

struct Trace {
  std::vector<Call> setup;   // everything before the first frame's clear
  std::vector<Frame> frames; // split at each buffer swap
};

Trace record(const std::vector<std::string>& args) {
  test::TempDir dir;
  const std::string file = dir.file("ovu.trace");
  std::vector<std::string> command = {"apitrace", "trace", "--output", file};
  const auto traced = test::program(args);
  command.insert(command.end(), traced.begin(), traced.end());
  test::ChildOptions options = test::program_options(120);
  options.env_set = {"ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
  command.insert(command.begin(), "/usr/bin/env");
  const auto run = test::run_child(command, options);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  const auto dump = test::tool({"apitrace", "dump", "--color=never", file}, 120);
  EXPECT_EQ(dump.exit_code, 0) << dump.err;

  Trace trace;
  std::istringstream lines(dump.out);
  std::string line;
  bool in_frames = false;
  Frame current;
  while (std::getline(lines, line)) {
    const auto space = line.find(' ');
    const auto paren = line.find('(');
    if (space == std::string::npos || paren == std::string::npos || paren < space) continue;
    Call call{line.substr(space + 1, paren - space - 1), line.substr(paren)};
    if (call.name == "glClear") in_frames = true;
    if (!in_frames) {
      trace.setup.push_back(call);
      continue;
    }
    current.push_back(call);
    if (call.name == "glXSwapBuffers") {
      trace.frames.push_back(current);
      current.clear();
    }
  }
  return trace;
}

std::size_t find(const Frame& calls, const std::string& name, const std::string& args_part = "",
                 std::size_t from = 0) {
  for (std::size_t i = from; i < calls.size(); ++i)
    if (calls[i].name == name && calls[i].args.find(args_part) != std::string::npos) return i;
  return std::string::npos;
}

std::map<std::string, int> count(const Frame& calls, std::size_t from, std::size_t to) {
  std::map<std::string, int> counts;
  for (std::size_t i = from; i < to && i < calls.size(); ++i) ++counts[calls[i].name];
  return counts;
}

class GlTrace : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(test::have_display()) << "run the tests under an X server (xvfb-run -a)"; }
};

TEST_F(GlTrace, FramesSendTheWaterAndTheTitleInImmediateMode) {
  // Frames at 4 s and 8 s show the title; the one at 12 s does not.
  const Trace trace = record({"--windowed", "160x120", "--fixed-step", "4000", "--frames", "3"});
  ASSERT_EQ(trace.frames.size(), 3u);

  const char* setup_order[] = {"glEnable", "glLightfv", "glLightfv", "glLightfv", "glLightModeli",
                               "glLightModeli", "glEnable", "glEnable", "glClearColor", "glFogi",
                               "glFogfv", "glFogf"};
  const std::size_t first = find(trace.setup, "glEnable", "GL_LIGHT0");
  ASSERT_NE(first, std::string::npos);
  for (std::size_t k = 0; k < std::size(setup_order); ++k)
    EXPECT_EQ(trace.setup[first + k].name, setup_order[k]) << k;
  EXPECT_NE(trace.setup[first + 11].args.find("0.008"), std::string::npos);
  EXPECT_NE(trace.setup[first + 9].args.find("GL_EXP2"), std::string::npos);

  for (std::size_t f = 0; f < trace.frames.size(); ++f) {
    const Frame& frame = trace.frames[f];
    const char* opening[] = {"glClear", "glMatrixMode", "glLoadIdentity", "glTranslatef", "glRotatef",
                             "glRotatef", "glLightfv", "glEnable"};
    for (std::size_t k = 0; k < std::size(opening); ++k) EXPECT_EQ(frame[k].name, opening[k]) << f << ":" << k;
    EXPECT_EQ(frame[0].args, "(mask = GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)");
    EXPECT_EQ(frame[3].args, "(x = 0, y = 0, z = -160)");
    EXPECT_EQ(frame[6].args, "(light = GL_LIGHT0, pname = GL_POSITION, params = {0, 30, -70, 1})");

    const std::size_t strips_from = find(frame, "glMaterialfv", "GL_SHININESS");
    const std::size_t strips_to = find(frame, "glDisable", "GL_LIGHTING", strips_from);
    ASSERT_NE(strips_to, std::string::npos) << f;
    auto water = count(frame, strips_from, strips_to);
    EXPECT_EQ(water["glBegin"], 99) << f;
    EXPECT_EQ(water["glEnd"], 99) << f;
    EXPECT_EQ(water["glVertex3f"], 19800) << f;
    EXPECT_EQ(water["glNormal3fv"], 19800) << f;
    EXPECT_EQ(find(frame, "glBegin", "GL_TRIANGLE_STRIP", strips_from), strips_from + 1);
    EXPECT_EQ(frame[strips_from + 2].name, "glNormal3fv");
    EXPECT_EQ(frame[strips_from + 3].name, "glVertex3f");
    EXPECT_EQ(count(frame, 0, frame.size())["glNormal3fv"], 19800);

    const std::size_t blend = find(frame, "glEnable", "GL_BLEND");
    auto all = count(frame, 0, frame.size());
    if (f < 2) {
      ASSERT_NE(blend, std::string::npos) << f;
      auto title = count(frame, blend, find(frame, "glDisable", "GL_BLEND", blend));
      EXPECT_EQ(title["glBegin"], 30) << f;
      EXPECT_EQ(title["glVertex2f"], 1800) << f;
      EXPECT_EQ(title["glTexCoord2f"], 1800) << f;
      EXPECT_EQ(all["glPushMatrix"], 2) << f;
      EXPECT_EQ(all["glPopMatrix"], 2) << f;
    } else {
      EXPECT_EQ(blend, std::string::npos);
      EXPECT_EQ(all.count("glVertex2f"), 0u);
      EXPECT_EQ(all.count("glPushMatrix"), 0u);
    }
    EXPECT_EQ(frame[frame.size() - 2].name, "glFlush") << f;
  }

  for (const Frame* calls : {&trace.setup, &trace.frames[0]})
    for (const Call& call : *calls) {
      EXPECT_NE(call.name.rfind("glTexParameter", 0), 0u) << call.name;
      EXPECT_NE(call.name.rfind("glTexEnv", 0), 0u) << call.name;
      EXPECT_NE(call.name, "glCullFace");
      EXPECT_NE(call.name, "glShadeModel");
      EXPECT_NE(call.name, "glGetFramebufferAttachmentParameteriv");  // the depth bits, asked for the log only
    }
}

}  // namespace
}  // namespace ovu
