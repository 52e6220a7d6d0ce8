// Bitmap file access on POSIX systems. Files are opened read-only, so a
// read-only file or medium loads. Only regular files are read: a directory,
// FIFO, socket or device under a bitmap's name is refused instead of
// blocking or being read as endless data.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/file.h"
#include "platform/stop.h"

namespace ovu {

int file_open(const char* path, FileHandle& file) {
  // Non-blocking, so a FIFO without a writer cannot hold the open.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int code = errno;
    ::close(fd);
    return code;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }
  file.value = fd;
  return 0;
}

int file_seek(FileHandle file, std::uint32_t offset) {
  // Positioning past the end is allowed; the read then comes up short.
  if (::lseek(static_cast<int>(file.value), static_cast<off_t>(offset), SEEK_SET) < 0) return errno;
  return 0;
}

int file_read(FileHandle file, void* buffer, std::size_t count) {
  auto* at = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    const ssize_t got = ::read(static_cast<int>(file.value), at, count);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return static_cast<int>(kCodeShortRead);
    at += got;
    count -= static_cast<std::size_t>(got);
  }
  return 0;
}

int file_close(FileHandle file) {
  return ::close(static_cast<int>(file.value)) == 0 ? 0 : errno;
}

namespace {

std::string temporary_name(const std::string& path) {
  return path + ".tmp-" + std::to_string(::getpid());
}

int create_exclusive(const std::string& path, int& fd) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return EISDIR;
  fd = ::open(temporary_name(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return fd < 0 ? errno : 0;
}

}  // namespace

int write_file_replacing(const std::string& path, const void* data, std::size_t size) {
  int fd = -1;
  if (const int code = create_exclusive(path, fd); code != 0) return code;
  const std::string temporary = temporary_name(path);
  const auto* at = static_cast<const unsigned char*>(data);
  int code = 0;
  while (size > 0 && code == 0) {
    const ssize_t done = ::write(fd, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) {
      code = errno;
    } else {
      at += done;
      size -= static_cast<std::size_t>(done);
    }
  }
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) code = errno;
  if (code != 0) ::unlink(temporary.c_str());
  return code;
}

int check_writable(const std::string& path) {
  int fd = -1;
  if (const int code = create_exclusive(path, fd); code != 0) return code;
  ::close(fd);
  ::unlink(temporary_name(path).c_str());
  return 0;
}

std::string file_error_text(int code) {
  if (code == static_cast<int>(kCodeShortRead)) return "file is too short";
  if (code == EINVAL) return "not a regular file";
  return std::strerror(code);
}

}  // namespace ovu
