// The page's data directory. A page has no installed copy, and its bitmaps
// would cost it far more to fetch than to draw, so make_bitmaps' own code
// draws them into the page's memory file system when the program first asks
// for the directory; the program then reads them as it does everywhere.
// Known limit: the drawing takes a large part of the time to the first frame.

#include <sys/stat.h>

#include "pictures.h"
#include "platform/file.h"

namespace ovu {

// Empty when they could not be written: the loader then says which is missing.
std::string installed_data_dir() {
  const std::string directory = "/ovu";
  mkdir(directory.c_str(), 0755);
  for (const pictures::File& file : pictures::demo_bitmaps())
    if (write_file_replacing(directory + "/" + file.name, file.bytes.data(), file.bytes.size()) != 0) return "";
  return directory;
}

}  // namespace ovu
