// Child process for the interrupted-write tests: writes SIZE MiB of 0xAB
// through the program's own replacing write, so a test can kill it midway.
//   write_probe PATH SIZE
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/file.h"

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  const std::vector<unsigned char> data(std::strtoul(argv[2], nullptr, 10) << 20, 0xAB);
  const int code = ovu::write_file_replacing(argv[1], data.data(), data.size());
  std::printf("%d\n", code);
  return code == 0 ? 0 : 1;
}
