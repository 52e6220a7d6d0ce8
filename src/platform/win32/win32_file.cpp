// File access on Windows through CreateFileA and friends; codes are
// GetLastError's. Bitmaps are opened for reading only, so a read-only file or
// medium loads, and share reading and writing, so a file that an image
// editor holds open loads too. Only disk files are read: a console, pipe
// or device under a bitmap's name is refused instead of blocking. Outputs
// replace a disk file (the one a link leads to) through a temporary one and
// a rename; a device such as NUL or a pipe is written where it is.
// Known limit: names are in the ANSI code page, as the A functions take them.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/file.h"
#include "platform/stop.h"

namespace ovu {

namespace {

constexpr int kCodeNotAFile = ERROR_BAD_FILE_TYPE;

HANDLE to_handle(FileHandle file) { return reinterpret_cast<HANDLE>(file.value); }

int last_error() {
  const DWORD code = GetLastError();
  return code != 0 ? static_cast<int>(code) : static_cast<int>(ERROR_GEN_FAILURE);
}

// Recognisable as ours, so a leftover of a killed run can be told apart.
std::string temporary_name(const std::string& path) {
  return path + ".ovu-tmp-" + std::to_string(GetCurrentProcessId());
}

// Where an output goes: the disk file that links lead to, or `direct` for a
// device, console or pipe, which a renamed file must not replace.
struct Target {
  std::string path;
  bool direct = false;
};

int resolve_output(const std::string& path, Target& target) {
  const HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    target = {path, false};
    return code == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(code);
  }
  int code = 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    target = {path, true};
  } else if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    code = ERROR_ACCESS_DENIED;
  } else {
    char final_path[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleA(handle, final_path, sizeof final_path, FILE_NAME_NORMALIZED);
    target = {length > 0 && length < sizeof final_path ? std::string(final_path, length) : path, false};
  }
  CloseHandle(handle);
  return code;
}

int write_all(HANDLE handle, const void* data, std::size_t size) {
  const auto* at = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(handle, at, want, &done, nullptr)) return last_error();
    at += done;
    size -= done;
  }
  return 0;
}

HANDLE open_direct(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE create_temporary(const std::string& path) {
  const std::string temporary = temporary_name(path);
  DeleteFileA(temporary.c_str());  // a killed run's, with our process id: ours to replace
  return CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int file_open(const char* path, FileHandle& file) {
  const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return kCodeNotAFile;
  }
  file.value = reinterpret_cast<std::intptr_t>(handle);
  return 0;
}

int file_seek(FileHandle file, std::uint32_t offset) {
  // Positioning past the end is allowed; the read then comes up short.
  // With a high part the offset counts as unsigned, as on other systems;
  // all ones is then also a valid result, so the error code decides.
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD at = SetFilePointer(to_handle(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  if (at == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return last_error();
  return 0;
}

int file_read(FileHandle file, void* buffer, std::size_t count, std::size_t* done) {
  auto* at = static_cast<unsigned char*>(buffer);
  const auto end = [&](int code) {
    if (done != nullptr) *done = static_cast<std::size_t>(at - static_cast<unsigned char*>(buffer));
    return code;
  };
  while (count > 0) {
    const DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(to_handle(file), at, want, &got, nullptr)) return end(last_error());
    if (got == 0) return end(static_cast<int>(kCodeShortRead));
    at += got;
    count -= got;
  }
  return end(0);
}

int file_close(FileHandle file) { return CloseHandle(to_handle(file)) ? 0 : last_error(); }

int write_file_replacing(const std::string& path, const void* data, std::size_t size) {
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  const HANDLE handle = target.direct ? open_direct(target.path) : create_temporary(target.path);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  int code = write_all(handle, data, size);
  if (!CloseHandle(handle) && code == 0) code = last_error();
  if (target.direct) return code;
  const std::string temporary = temporary_name(target.path);
  if (code == 0 && !MoveFileExA(temporary.c_str(), target.path.c_str(), MOVEFILE_REPLACE_EXISTING))
    code = last_error();
  if (code != 0) DeleteFileA(temporary.c_str());
  return code;
}

int check_writable(const std::string& path) {
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  const HANDLE handle = target.direct ? open_direct(target.path) : create_temporary(target.path);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  CloseHandle(handle);
  if (!target.direct) DeleteFileA(temporary_name(target.path).c_str());
  return 0;
}

int output_open(const std::string& path, OutputFile& file) {
  if (path == "-") {
    // Text mode would turn every 0x0A of a picture into 0D 0A, should
    // anything write through the C library's stdout.
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == INVALID_HANDLE_VALUE || out == nullptr) return ERROR_INVALID_HANDLE;
    file = {reinterpret_cast<std::intptr_t>(out), true, path};
    return 0;
  }
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  const HANDLE handle = target.direct ? open_direct(target.path) : create_temporary(target.path);
  if (handle == INVALID_HANDLE_VALUE) return last_error();
  file = {reinterpret_cast<std::intptr_t>(handle), target.direct, target.path};
  return 0;
}

int output_write(const OutputFile& file, const void* data, std::size_t size) {
  return write_all(reinterpret_cast<HANDLE>(file.value), data, size);
}

int output_finish(OutputFile& file) {
  int code = 0;
  if (file.path != "-" && !CloseHandle(reinterpret_cast<HANDLE>(file.value))) code = last_error();
  if (!file.direct) {
    const std::string temporary = temporary_name(file.path);
    if (code == 0 && !MoveFileExA(temporary.c_str(), file.path.c_str(), MOVEFILE_REPLACE_EXISTING))
      code = last_error();
    if (code != 0) DeleteFileA(temporary.c_str());
  }
  file = OutputFile{};
  return code;
}

void output_discard(OutputFile& file) {
  if (file.path != "-") CloseHandle(reinterpret_cast<HANDLE>(file.value));
  if (!file.direct) DeleteFileA(temporary_name(file.path).c_str());
  file = OutputFile{};
}

bool stderr_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string file_error_text(int code) {
  if (code == static_cast<int>(kCodeShortRead)) return "file is too short";
  if (code == kCodeNotAFile) return "not a regular file";
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace ovu
