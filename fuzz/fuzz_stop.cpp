// Linked into the fuzz targets in place of the platform's stop, which would
// end the fuzzer with the first short file.
#include "fuzz_stop.h"

#include "platform/stop.h"

namespace ovu {

void fatal_stop(std::uint32_t code, std::uint32_t location, const char*) {
  throw fuzz::Stopped{code, location};
}

}  // namespace ovu
