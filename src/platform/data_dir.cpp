// The data directory of an installed copy: the install step's layout
// (OVU_DATA_FROM_BINARY, relative to the program's directory, so it holds
// for any prefix) from where the program runs, which Linux names in /proc.
// Elsewhere the program's own path is not found this way, and there is no
// such directory.

#include <filesystem>

#include "platform/file.h"

namespace ovu {

std::string installed_data_dir() {
  std::error_code failed;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (failed || !program.is_absolute()) return "";
  return (program.parent_path() / OVU_DATA_FROM_BINARY).lexically_normal().string();
}

}  // namespace ovu
