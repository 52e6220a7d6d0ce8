// make_bitmaps: writes the demo's three bitmaps (pictures.h) into one directory; with --icons,
// the program's icon instead (ovu.ico and PNGs of the icon theme's sizes). The build runs it on
// the host; it needs nothing beyond the standard library and no input files.

#include <cstdio>
#include <cstring>
#include <string>

#include "icon_file.h"
#include "pictures.h"

namespace {

constexpr int kUsageExit = 64;  // EX_USAGE

bool write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string reason = bmp::write_atomically(path, bytes);
  if (reason.empty()) return true;
  std::fprintf(stderr, "make_bitmaps: %s: %s\n", path.c_str(), reason.c_str());
  return false;
}

std::string in_directory(std::string directory, const std::string& name) {
  if (directory.back() != '/' && directory.back() != '\\') directory += '/';
  return directory + name;
}

// ovu.ico for the Windows resources, ovu-SIZE.png for the hicolor icon theme.
bool write_icons(const std::string& directory) {
  constexpr int kIcoSizes[] = {16, 24, 32, 48, 64, 256};
  constexpr int kThemeSizes[] = {48, 64, 128, 256};
  std::vector<pictures::Icon> images;
  for (int size : kIcoSizes) images.push_back(pictures::draw_icon(size));
  if (!write_file(in_directory(directory, "ovu.ico"), icon::encode_ico(images))) return false;
  for (int size : kThemeSizes) {
    const std::string name = "ovu-" + std::to_string(size) + ".png";
    if (!write_file(in_directory(directory, name), icon::encode_png(pictures::draw_icon(size)))) return false;
  }
  return true;
}

void usage(std::FILE* to) { std::fprintf(to, "usage: make_bitmaps [--icons] [OUTPUT_DIR]\n"); }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    usage(stdout);
    return 0;
  }
  const bool icons = argc > 1 && std::strcmp(argv[1], "--icons") == 0;
  const int first = icons ? 2 : 1;
  if (argc > first + 1 || (argc == first + 1 && (argv[first][0] == '\0' || argv[first][0] == '-'))) {
    usage(stderr);
    return kUsageExit;
  }
  const std::string directory = argc == first + 1 ? argv[first] : ".";
  if (icons) return write_icons(directory) ? 0 : 1;

  for (const pictures::File& file : pictures::demo_bitmaps())
    if (!write_file(in_directory(directory, file.name), file.bytes)) return 1;
  return 0;
}
