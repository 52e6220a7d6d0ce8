// File access through CreateFileA: the system's own codes for files that
// cannot be opened, 100 for short reads, and read-only files that load.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/stop.h"

namespace ovu {
namespace {

// A fresh directory under the temporary directory, removed at the end.
class Scratch {
public:
  Scratch() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "ovu-files-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Scratch() {
    for (const std::string& name : created_) {
      SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(name.c_str());
    }
    RemoveDirectoryA((path_ + "\\sub").c_str());
    RemoveDirectoryA(path_.c_str());
  }
  std::string file(const std::string& name, std::size_t size, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const std::string full = at(name);
    const HANDLE h = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
    DWORD done = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(size), &done, nullptr);
    CloseHandle(h);
    SetFileAttributesA(full.c_str(), attributes);
    return full;
  }
  std::string at(const std::string& name) {
    created_.push_back(path_ + "\\" + name);
    return created_.back();
  }
  const std::string& path() const { return path_; }

private:
  std::string path_;
  std::vector<std::string> created_;
};

int open_code(const std::string& path) {
  FileHandle file;
  const int code = file_open(path.c_str(), file);
  if (code == 0) file_close(file);
  return code;
}

TEST(Win32File, OpenFailuresReportTheSystemsCodes) {
  Scratch scratch;
  EXPECT_EQ(open_code(scratch.path() + "\\missing.bmp"), ERROR_FILE_NOT_FOUND);   // 2
  EXPECT_EQ(open_code(scratch.path() + "\\no-dir\\x.bmp"), ERROR_PATH_NOT_FOUND);  // 3
  EXPECT_EQ(open_code(scratch.path()), ERROR_ACCESS_DENIED);                       // 5: a directory
  // A device would block or read as empty; it is refused as no file.
  EXPECT_NE(open_code("NUL"), 0);
  EXPECT_EQ(file_error_text(ERROR_FILE_NOT_FOUND).empty(), false);
}

TEST(Win32File, ReadOnlyFilesAndFilesOthersHoldOpenStillLoad) {
  Scratch scratch;
  // Another program holding the file open, sharing what it must to let us read.
  struct Case {
    const char* name;
    DWORD attributes, access, share;
  } cases[] = {
      {"viewer.bmp", FILE_ATTRIBUTE_READONLY, GENERIC_READ, FILE_SHARE_READ},
      {"editor.bmp", FILE_ATTRIBUTE_NORMAL, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
  };
  for (const Case& c : cases) {
    const std::string path = scratch.file(c.name, 64, c.attributes);
    const HANDLE other = CreateFileA(path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE) << c.name;
    FileHandle file;
    ASSERT_EQ(file_open(path.c_str(), file), 0) << c.name;
    ASSERT_EQ(file_seek(file, 54), 0);
    unsigned char bytes[10] = {};
    ASSERT_EQ(file_read(file, bytes, sizeof bytes), 0);
    EXPECT_EQ(bytes[0], static_cast<unsigned char>(54 * 7)) << c.name;
    EXPECT_EQ(bytes[9], static_cast<unsigned char>(63 * 7)) << c.name;
    EXPECT_EQ(file_close(file), 0);
    CloseHandle(other);
  }
}

TEST(Win32File, ShortReadsAreCode100WherePositioningPastTheEndIsNot) {
  Scratch scratch;
  const std::string path = scratch.file("short.bmp", 100);
  struct Case {
    std::uint32_t offset;
    std::size_t count;
    int code;
  } cases[] = {{0, 100, 0}, {0, 101, int(kCodeShortRead)}, {99, 1, 0}, {99, 2, int(kCodeShortRead)},
               {100, 1, int(kCodeShortRead)}, {5000, 1, int(kCodeShortRead)}, {0xFFFFFFFFu, 1, int(kCodeShortRead)}};
  for (const Case& c : cases) {
    FileHandle file;
    ASSERT_EQ(file_open(path.c_str(), file), 0);
    std::string buffer(c.count, '\0');
    EXPECT_EQ(file_seek(file, c.offset), 0) << c.offset;
    EXPECT_EQ(file_read(file, buffer.data(), c.count), c.code) << c.offset << " + " << c.count;
    file_close(file);
  }
}

TEST(Win32File, WritesReplaceTheFileWholeAndRefuseWhatCannotBeWritten) {
  Scratch scratch;
  const std::string path = scratch.file("out.png", 5000);
  const std::string data = "new";
  ASSERT_EQ(write_file_replacing(path, data.data(), data.size()), 0);
  FileHandle file;
  ASSERT_EQ(file_open(path.c_str(), file), 0);
  char back[4] = {};
  EXPECT_EQ(file_read(file, back, 3), 0);
  EXPECT_EQ(std::string(back, 3), "new");
  EXPECT_EQ(file_read(file, back, 1), int(kCodeShortRead));  // truncated, not overwritten in place
  file_close(file);

  EXPECT_EQ(check_writable(scratch.path() + "\\no-dir\\x.png"), ERROR_PATH_NOT_FOUND);
  EXPECT_NE(check_writable(scratch.path()), 0);
  EXPECT_EQ(check_writable(scratch.at("fresh.png")), 0);
  EXPECT_EQ(GetFileAttributesA((scratch.path() + "\\fresh.png").c_str()), INVALID_FILE_ATTRIBUTES);
  // A device is written where it is, never replaced by a renamed file.
  EXPECT_EQ(check_writable("NUL"), 0);
  EXPECT_EQ(write_file_replacing("NUL", data.data(), data.size()), 0);
}

}  // namespace
}  // namespace ovu
