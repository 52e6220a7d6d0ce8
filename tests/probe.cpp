// Child process for the runtime tests: one failure or one load per run.
//   probe stop CODE LOCATION        the runtime stop, as the program calls it
//   probe segv|noncanonical|library|bus|stack|divide|privileged|undefined|abort|alloc   a fault of that kind
//   probe rgb FILE | rgba COLOUR MASK   load with the real loaders; print the texels uploaded
//   probe write PATH MIB            write MIB MiB through the program's replacing write, to be killed midway
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/bitmap_loader.h"
#include "core/bitmap.h"
#include "platform/file.h"
#include "platform/guard.h"
#include "platform/stop.h"

namespace {

volatile std::uintptr_t g_wild_address = 16;
volatile bool g_keep_going = true;
std::size_t g_texel_bytes = 0;

__attribute__((noinline, no_sanitize("address", "undefined"))) void write_wild() {
  *reinterpret_cast<volatile int*>(g_wild_address) = 1;
}

// hlt is the kernel's alone; outside the canonical range is no address at
// all. x86 faults on both the same way, and only the first is privileged.
__attribute__((noinline)) void halt() {
#if defined(__x86_64__)
  asm volatile(".byte 0x40, 0xF4");  // hlt behind an empty REX prefix, which the check must step over
#elif defined(__i386__)
  asm volatile("hlt");
#endif
}

// A fault inside a library, whose address differs from run to run.
__attribute__((noinline, no_sanitize("address", "undefined"))) std::size_t library_fault() {
  return std::strlen(reinterpret_cast<const char*>(g_wild_address));
}

__attribute__((noinline, no_sanitize("address", "undefined"))) int recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return (g_keep_going ? recurse(depth + 1) : 0) + frame[0];
}

__attribute__((noinline, no_sanitize("undefined"))) int divide(volatile int a, volatile int b) { return a / b; }

// A real bus error: a mapped page whose file has been cut away beneath it.
int read_truncated_mapping() {
  char name[] = "/tmp/ovu-bus-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0 || ftruncate(fd, 4096) != 0) return 1;
  auto* page = static_cast<volatile char*>(mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
  unlink(name);
  if (page == MAP_FAILED || ftruncate(fd, 0) != 0) return 1;
  return page[0];
}

std::uint32_t print_texels(const std::uint8_t* texels) {
  std::fwrite(texels, g_texel_bytes, ovu::kBitmapPixels, stdout);
  return 1;
}

int probe(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  // A film being recorded in the working directory, whose temporary file every stop and fault must remove;
  // not where descriptor 0 is closed, which the fault's own open is to take.
  ovu::OutputFile film;
  if (what != "write" && fcntl(0, F_GETFD) != -1) ovu::output_open("film", film);
  if (what == "stop" && argc == 4)
    ovu::fatal_stop(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)),
                    static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0)), "probe: asked to stop");
  if (what == "segv") write_wild();
  if (what == "noncanonical") {
    g_wild_address = std::uintptr_t{1} << (sizeof(void*) * 8 - 1);
    write_wild();
  }
  if (what == "library") return static_cast<int>(library_fault());
  if (what == "privileged") halt();
  if (what == "bus") return read_truncated_mapping();
  if (what == "stack") return recurse(0);
  if (what == "divide") return divide(1, 0);
  if (what == "undefined") __builtin_trap();  // ud2
  if (what == "abort") std::abort();
  if (what == "alloc") {
#if defined(__SANITIZE_ADDRESS__)
    throw std::bad_alloc();  // the sanitizer's operator new aborts instead of throwing
#endif
    std::vector<std::vector<char>> hog;
    for (;;) hog.emplace_back(std::size_t{1} << 40);
  }
  if (what == "rgb" && argc == 3) {
    g_texel_bytes = 3;
    ovu::load_texture(argv[2], print_texels);
    return 0;
  }
  if (what == "rgba" && argc == 4) {
    g_texel_bytes = 4;
    ovu::load_masked_texture(argv[2], argv[3], print_texels);
    return 0;
  }
  if (what == "write" && argc == 4) {
    const std::vector<unsigned char> data(std::strtoul(argv[3], nullptr, 10) << 20, 0xAB);
    return ovu::write_file_replacing(argv[2], data.data(), data.size());
  }
  std::fprintf(stderr, "probe: unknown request\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) { return ovu::run_guarded(probe, argc, argv); }
