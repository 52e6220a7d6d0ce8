#include "app/recorder.h"

#include <algorithm>
#include <cstring>

#include "gl/scene.h"
#include "platform/stop.h"

namespace ovu {

namespace {

// A film write that failed ends the run with its code; 0 goes on.
void stop_on_error(int code, const std::string& path) {
  stop_on_file_error(code, kWhereRecord, "record: cannot write", path);
}

}  // namespace

void Recorder::open(const Options& options) {
  if (options.record.empty()) return;
  path_ = options.record;
  rate_ = record_frame_rate(options.fixed_step_ms, options.max_fps);
  layout_ = options.record_chroma;
  stop_on_error(output_open(path_, file_), path_);
}

void Recorder::start(int width, int height) {
  if (!active()) return;
  width_ = width;
  height_ = height;
  const std::string header = y4m_header(width, height, rate_, layout_);
  write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
  const std::size_t line = sizeof kY4mFrameLine - 1;
  frame_.assign(line + y4m_planes_size(width, height, layout_), 0);
  std::memcpy(frame_.data(), kY4mFrameLine, line);
}

void Recorder::frame(int width, int height) {
  if (!active()) return;
  const std::vector<std::uint8_t> picture = read_back_buffer(std::max(width, 0), std::max(height, 0));
  const std::uint8_t* rgb = picture.data();
  if (width != width_ || height != height_) {
    fit_rgb(picture.data(), width, height, width_, height_, fitted_);
    rgb = fitted_.data();
  }
  rgb_to_ycbcr(rgb, width_, height_, layout_, frame_.data() + sizeof kY4mFrameLine - 1);
  write(frame_.data(), frame_.size());
}

void Recorder::finish() {
  if (!active()) return;
  stop_on_error(output_finish(file_), path_);
}

// A reader that went away (EPIPE) ends the run here as any other failure does.
void Recorder::write(const std::uint8_t* data, std::size_t size) {
  if (const int code = output_write(file_, data, size); code != 0) {
    output_discard(file_);
    stop_on_error(code, path_);
  }
}

}  // namespace ovu
