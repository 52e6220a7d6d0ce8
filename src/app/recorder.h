#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "core/y4m.h"
#include "platform/file.h"

namespace ovu {

// --record: every drawn frame's back buffer, read as --screenshot reads it,
// converted and written as a YUV4MPEG2 frame. Any failure is a stop with the
// file error's code; the temporary file then goes and an earlier file stays.
class Recorder {
public:
  // Before any window opens, so that threads started later hold the same
  // signals as the writer; nothing happens without --record.
  void open(const Options& options);
  // The header, at the size of the window that opened: every frame keeps it.
  void start(int width, int height);
  // The frame just drawn at this drawable size. A window that changed size
  // since start is recorded at its top left, cut or padded with black.
  void frame(int width, int height);
  void finish();
  bool active() const { return file_.value != -1; }

private:
  void write(const std::uint8_t* data, std::size_t size);

  std::string path_;
  OutputFile file_;
  FrameRate rate_;
  ChromaLayout layout_ = ChromaLayout::Full;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> fitted_;  // a picture of another size, brought to the header's
  std::vector<std::uint8_t> frame_;   // the FRAME line and the planes
};

}  // namespace ovu
