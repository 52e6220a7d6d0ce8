#include "platform/guard.h"

#include <new>

#include "core/fpu.h"
#include "platform/stop.h"

namespace ovu {

int run_guarded(int (*body)(int, char**), int argc, char** argv) {
  set_fpu_control();
  install_fault_handlers();
  try {
    return body(argc, argv);
  } catch (const std::bad_alloc&) {
    fatal_stop(kCodeOutOfMemory, kWhereAllocation, "memory: out of memory");
  }
}

}  // namespace ovu
