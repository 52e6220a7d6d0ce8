#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/stop.h"

namespace ovu {

// Read-only access to the bitmap files. Each operation returns 0 or a
// non-zero code: the platform's own error number of the failed call, or
// kCodeShortRead when the file ends before the requested count.
struct FileHandle {
  std::intptr_t value = -1;
};

int file_open(const char* path, FileHandle& file);
int file_seek(FileHandle file, std::uint32_t offset);
// `done`, where given, says how many bytes came, also when too few did.
int file_read(FileHandle file, void* buffer, std::size_t count, std::size_t* done = nullptr);
int file_close(FileHandle file);

// Writes a whole file under a temporary name beside `path` and renames it
// into place, so an interrupted run never leaves a truncated file there. A
// symbolic link is followed and its target replaced; a device or FIFO is
// written as it is. Returns 0 or the platform's error number.
int write_file_replacing(const std::string& path, const void* data, std::size_t size);

// An output written piece by piece as the run goes on, with the guarantees
// of write_file_replacing: a regular file is written under the temporary
// name, and only output_finish renames it into place; meanwhile signals that
// would end the program silently wait, and one that stops it (a fault,
// Ctrl+C, fatal_stop) removes the temporary file. "-" is standard output
// (binary on Windows).
struct OutputFile {
  std::intptr_t value = -1;
  bool direct = false;  // standard output, a device or a FIFO: written where it is
  std::string path;     // where it ends up
};

int output_open(const std::string& path, OutputFile& file);
int output_write(const OutputFile& file, const void* data, std::size_t size);
int output_finish(OutputFile& file);
// After a failed write: the temporary file goes, an earlier file stays.
void output_discard(OutputFile& file);

// Whether write_file_replacing could write `path`: 0 or an error number
// (a directory is refused).
int check_writable(const std::string& path);

// Where an installed copy keeps its bitmaps, found from the running
// program's own place; empty where that cannot be told.
std::string installed_data_dir();

// Whether standard error is a terminal, where a line may rewrite itself.
bool stderr_is_terminal();

// A readable reason for a code the operations above returned.
std::string file_error_text(int code);

// Ends the program when a file operation left a non-zero code: the code is
// the exit status, and the line says "DOING 'PATH': why", then "; MORE".
inline void stop_on_file_error(int code, std::uint32_t where, const std::string& doing, const std::string& path,
                               const std::string& more = {}) {
  if (code == 0) return;
  std::string reason = doing + " '" + path + "': " + file_error_text(code);
  if (!more.empty()) reason += "; " + more;
  fatal_stop(static_cast<std::uint32_t>(code), where, reason.c_str());
}

}  // namespace ovu
