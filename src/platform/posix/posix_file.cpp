// File access on POSIX systems. Bitmaps are opened read-only, so a
// read-only file or medium loads. Only regular files are read: a directory,
// FIFO, socket or device under a bitmap's name is refused instead of
// blocking or being read as endless data. Outputs replace a regular file
// through a temporary one and a rename; devices and FIFOs are written as
// they are.

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file.h"
#include "platform/posix/posix_stop.h"
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

int file_read(FileHandle file, void* buffer, std::size_t count, std::size_t* done) {
  auto* at = static_cast<unsigned char*>(buffer);
  const auto end = [&](int code) {
    if (done != nullptr) *done = static_cast<std::size_t>(at - static_cast<unsigned char*>(buffer));
    return code;
  };
  while (count > 0) {
    const ssize_t got = ::read(static_cast<int>(file.value), at, count);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return end(errno);
    if (got == 0) return end(static_cast<int>(kCodeShortRead));
    at += got;
    count -= static_cast<std::size_t>(got);
  }
  return end(0);
}

int file_close(FileHandle file) {
  return ::close(static_cast<int>(file.value)) == 0 ? 0 : errno;
}

namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path lookup

// Recognisable as ours, so a leftover of a killed run can be told apart.
std::string temporary_name(const std::string& path) {
  return path + ".ovu-tmp-" + std::to_string(::getpid());
}

// Where an output goes: the file that symbolic links lead to, which may not
// exist yet; `direct` for a device, FIFO or other special file, which is
// written where it is rather than replaced by a plain file. Links in /proc
// such as /dev/stdout may name a pipe rather than a path: only opening them
// reaches it.
struct Target {
  std::string path;
  bool direct = false;
};

int resolve_output(const std::string& path, Target& target) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    if (!S_ISREG(info.st_mode)) {
      target = {path, true};
      return 0;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr && errno == ENOENT) {
      // A file without a name any more, reached through a link in /proc
      // (a deleted file open as /dev/stdout): only that link leads to it.
      target = {path, true};
      return 0;
    }
    if (real == nullptr) return errno;
    target = {real, false};
    std::free(real);
    return 0;
  }
  if (errno != ENOENT) return errno;
  // A new name, or a link to one: the file is made where the links lead.
  std::string at = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    char link[PATH_MAX];
    const ssize_t length = ::readlink(at.c_str(), link, sizeof link);
    if (length < 0) {
      target = {at, false};
      return errno == EINVAL || errno == ENOENT ? 0 : errno;
    }
    const std::string named(link, static_cast<std::size_t>(length));
    const auto slash = at.rfind('/');
    at = named.front() == '/' || slash == std::string::npos ? named : at.substr(0, slash + 1) + named;
  }
  return ELOOP;
}

int write_all(int fd, const void* data, std::size_t size) {
  const auto* at = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t done = ::write(fd, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return errno;
    at += done;
    size -= static_cast<std::size_t>(done);
  }
  return 0;
}

// Non-blocking open, so a FIFO that nothing reads is refused at once
// (ENXIO) instead of waiting for a reader forever; the writes then block.
int open_in_place(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return 0;
}

int write_in_place(const std::string& path, const void* data, std::size_t size) {
  int fd = -1;
  if (const int code = open_in_place(path, fd); code != 0) return code;
  int code = write_all(fd, data, size);
  if (::close(fd) != 0 && code == 0) code = errno;
  return code;
}

// Asynchronous signals wait while a temporary file exists: one that ends the
// program then does so after the rename, leaving neither a truncated file
// nor a temporary one. Faults stay deliverable; their handler removes it.
class SignalsHeld {
public:
  SignalsHeld() {
    sigset_t held;
    sigfillset(&held);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&held, fault);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
  sigset_t previous_;
};

// Creates the temporary file beside `path`. A leftover under the same name
// was made by a killed run that had our process id, so it is ours to replace.
int create_temporary(const std::string& path, int& fd, TemporaryKind kind = TemporaryKind::WholeFile) {
  const std::string temporary = temporary_name(path);
  ::unlink(temporary.c_str());
  fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  note_temporary(kind, temporary.c_str());
  return 0;
}

// While a recording's temporary file exists, which is most of the run, the
// signals that would end the program without a word wait, as they do for a
// whole file. Ctrl+C, SIGTERM and SIGHUP stay deliverable, since their
// handlers remove the file or end the run in order, and so do the stops of
// job control, which end nothing.
sigset_t g_before_stream;

void hold_signals_for_stream() {
  sigset_t held;
  sigfillset(&held);
  for (int open : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT, SIGINT, SIGTERM, SIGHUP, SIGTSTP,
                   SIGTTIN, SIGTTOU, SIGCONT, SIGWINCH, SIGCHLD, SIGURG})
    sigdelset(&held, open);
  pthread_sigmask(SIG_BLOCK, &held, &g_before_stream);
}

}  // namespace

int write_file_replacing(const std::string& path, const void* data, std::size_t size) {
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  if (target.direct) return write_in_place(target.path, data, size);
  const SignalsHeld held;
  int fd = -1;
  if (const int code = create_temporary(target.path, fd); code != 0) return code;
  int code = write_all(fd, data, size);
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && ::rename(temporary_name(target.path).c_str(), target.path.c_str()) != 0) code = errno;
  if (code != 0) ::unlink(temporary_name(target.path).c_str());
  note_temporary(TemporaryKind::WholeFile, nullptr);
  return code;
}

int check_writable(const std::string& path) {
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  // Opening a device may do something; whether we may write it is enough.
  if (target.direct) return ::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
  const SignalsHeld held;
  int fd = -1;
  if (const int code = create_temporary(target.path, fd); code != 0) return code;
  ::close(fd);
  ::unlink(temporary_name(target.path).c_str());
  note_temporary(TemporaryKind::WholeFile, nullptr);
  return 0;
}

int output_open(const std::string& path, OutputFile& file) {
  if (path == "-") {
    file = {STDOUT_FILENO, true, path};
    return 0;
  }
  Target target;
  if (const int code = resolve_output(path, target); code != 0) return code;
  if (target.direct) {
    int fd = -1;
    if (const int code = open_in_place(target.path, fd); code != 0) return code;
    file = {fd, true, target.path};
    return 0;
  }
  hold_signals_for_stream();
  int fd = -1;
  if (const int code = create_temporary(target.path, fd, TemporaryKind::Stream); code != 0) {
    pthread_sigmask(SIG_SETMASK, &g_before_stream, nullptr);
    return code;
  }
  file = {fd, false, target.path};
  return 0;
}

int output_write(const OutputFile& file, const void* data, std::size_t size) {
  return write_all(static_cast<int>(file.value), data, size);
}

int output_finish(OutputFile& file) {
  int code = 0;
  if (file.value != STDOUT_FILENO && ::close(static_cast<int>(file.value)) != 0) code = errno;
  if (!file.direct) {
    {
      const SignalsHeld held;
      const std::string temporary = temporary_name(file.path);
      if (code == 0 && ::rename(temporary.c_str(), file.path.c_str()) != 0) code = errno;
      if (code != 0) ::unlink(temporary.c_str());
      note_temporary(TemporaryKind::Stream, nullptr);
    }
    pthread_sigmask(SIG_SETMASK, &g_before_stream, nullptr);
  }
  file = OutputFile{};
  return code;
}

void output_discard(OutputFile& file) {
  if (file.value != STDOUT_FILENO) ::close(static_cast<int>(file.value));
  if (!file.direct) {
    ::unlink(temporary_name(file.path).c_str());
    note_temporary(TemporaryKind::Stream, nullptr);
    pthread_sigmask(SIG_SETMASK, &g_before_stream, nullptr);
  }
  file = OutputFile{};
}

bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

std::string file_error_text(int code) {
  if (code == static_cast<int>(kCodeShortRead)) return "file is too short";
  if (code == EINVAL) return "not a regular file";
  if (code == ENXIO) return "no such device or address (a socket, or a FIFO that nothing reads)";
  return std::strerror(code);
}

}  // namespace ovu
