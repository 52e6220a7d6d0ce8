// run_child on Windows: CreateProcessA with both outputs sent to temporary
// files, which cannot fill up and stall the child as an unread pipe would.
// The environment options are not supported: the Windows tests need none.
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"

namespace ovu::test {

namespace {

// The quoting CommandLineToArgvW and the C runtime undo.
std::string quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

HANDLE inheritable_temp_file(std::string& path) {
  char directory[MAX_PATH], name[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  GetTempFileNameA(directory, "ovu", 0, name);
  path = name;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string read_back(HANDLE file) {
  std::string bytes;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  return bytes;
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, const ChildOptions& options) {
  ChildResult result;
  std::string command;
  for (const std::string& arg : argv) command += (command.empty() ? "" : " ") + quoted(arg);

  std::string out_path, err_path;
  const HANDLE out = inheritable_temp_file(out_path);
  const HANDLE err = inheritable_temp_file(err_path);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE null_in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const char* directory = options.working_directory.empty() ? nullptr : options.working_directory.c_str();
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, directory, &startup,
                     &process)) {
    const auto limit = static_cast<DWORD>(options.timeout_seconds * 1000);
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_TIMEOUT) {
      result.timed_out = true;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
    } else {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      result.exit_code = static_cast<int>(code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  result.out = read_back(out);
  result.err = read_back(err);
  for (HANDLE h : {out, err, null_in}) CloseHandle(h);
  DeleteFileA(out_path.c_str());
  DeleteFileA(err_path.c_str());
  return result;
}

}  // namespace ovu::test
