#include "core/fpu.h"

namespace ovu {

void set_fpu_control() {
#if defined(__i386__) || defined(__x86_64__)
  const std::uint16_t word = kFpuControlWord;
  __asm__ volatile("fldcw %0" : : "m"(word));
#endif
}

std::uint16_t fpu_control() {
#if defined(__i386__) || defined(__x86_64__)
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
#else
  return kFpuControlWord;
#endif
}

}  // namespace ovu
