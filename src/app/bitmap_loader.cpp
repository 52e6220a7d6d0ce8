#include "app/bitmap_loader.h"

#include <filesystem>
#include <vector>

#include "core/bitmap.h"
#include "platform/file.h"
#include "platform/stop.h"

namespace ovu {

namespace {

void check(int code, StopPlace where, const char* action, const std::string& path, const std::string& hint = {}) {
  stop_on_file_error(code, where, "bmp: cannot " + std::string(action), path, hint);
}

}  // namespace

std::uint32_t load_texture(const std::string& path, UploadTexels upload_rgb, const std::string& hint) {
  FileHandle file;
  check(file_open(path.c_str(), file), kColourOpen, "open", path, hint);
  check(file_seek(file, kColourDataOffset), kColourSeek, "position in", path);
  std::vector<std::uint8_t> pixels(kColourDataBytes);
  check(file_read(file, pixels.data(), pixels.size()), kColourRead, "read", path);
  bgr_to_rgb(pixels.data(), kBitmapPixels);
  const std::uint32_t name = upload_rgb(pixels.data());
  std::vector<std::uint8_t>().swap(pixels);  // freed before the close; clearing would keep the memory
  check(file_close(file), kColourClose, "close", path);
  return name;
}

std::uint32_t load_masked_texture(const std::string& colour_path, const std::string& mask_path,
                                  UploadTexels upload_rgba, const std::string& colour_hint,
                                  const std::string& mask_hint) {
  std::vector<std::uint8_t> rgba(kRgbaBytes), colour(kColourDataBytes), mask(kMaskDataBytes);
  FileHandle colour_file, mask_file;
  check(file_open(colour_path.c_str(), colour_file), kMaskedColourOpen, "open", colour_path, colour_hint);
  check(file_open(mask_path.c_str(), mask_file), kMaskOpen, "open", mask_path, mask_hint);
  check(file_seek(colour_file, kColourDataOffset), kMaskedColourSeek, "position in", colour_path);
  check(file_seek(mask_file, kMaskDataOffset), kMaskSeek, "position in", mask_path);
  check(file_read(colour_file, colour.data(), colour.size()), kMaskedColourRead, "read", colour_path);
  check(file_read(mask_file, mask.data(), mask.size()), kMaskRead, "read", mask_path);
  check(file_close(colour_file), kMaskedColourClose, "close", colour_path);
  check(file_close(mask_file), kMaskClose, "close", mask_path);
  assemble_rgba(colour.data(), mask.data(), rgba.data(), kBitmapPixels);
  return upload_rgba(rgba.data());
}

std::string data_path(const std::string& directory, const char* name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

BitmapFile find_bitmap(const std::string& directory, const char* name, const std::string& installed) {
  namespace fs = std::filesystem;
  std::error_code failed;
  // Anything under the name here, a broken link included, is the one meant.
  if (!directory.empty() || installed.empty() || fs::symlink_status(name, failed).type() != fs::file_type::not_found)
    return {data_path(directory, name), ""};
  std::string there = data_path(installed, name);
  if (fs::exists(there, failed)) return {there, ""};
  return {name, "not in " + installed + " either"};
}

}  // namespace ovu
