// Windows side of the platform interface. The tool's strings are UTF-8;
// every path is turned into UTF-16 here and handed to the wide APIs, so no
// character is lost to the ANSI code page, and long paths get the prefix
// \\?\ that lifts the MAX_PATH limit on any Windows version.
#include "rom/platform.h"

// windows.h first: shellapi.h builds on its definitions.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdlib>

namespace {

std::wstring to_utf16(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()),
                                     nullptr, 0);
  std::wstring wide(size_t(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0],
                        length);
  return wide;
}

std::string to_utf8(const wchar_t* text, size_t size) {
  if (size == 0) return std::string();
  int length = ::WideCharToMultiByte(CP_UTF8, 0, text, int(size), nullptr, 0,
                                     nullptr, nullptr);
  std::string narrow(size_t(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, int(size), &narrow[0], length,
                        nullptr, nullptr);
  return narrow;
}

// Paths this long may not fit MAX_PATH once the system has made them
// absolute; the temporary names add a few characters more.
constexpr size_t kShortPathLimit = 200;

// `path` as the wide APIs take it: short paths unchanged, long ones made
// absolute and prefixed with \\?\ (\\?\UNC\ for a network share).
std::wstring system_path(const std::string& path) {
  std::wstring wide = to_utf16(path);
  if (wide.size() < kShortPathLimit || wide.compare(0, 4, L"\\\\?\\") == 0)
    return wide;
  DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  length = ::GetFullPathNameW(wide.c_str(), length, &full[0], nullptr);
  full.resize(length);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

}  // namespace

std::vector<std::string> command_line_arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!wide) return args;
  for (int i = 0; i < count; ++i)
    args.push_back(to_utf8(wide[i], std::char_traits<wchar_t>::length(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::FILE* open_for_reading(const std::string& path) {
  // A directory does not open as a stream here, so it is no file.
  return ::_wfopen(system_path(path).c_str(), L"rb");
}

std::FILE* create_new_file(const std::string& path) {
  HANDLE handle = ::CreateFileW(system_path(path).c_str(), GENERIC_WRITE, 0,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    remove_file(path);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "wb");
  if (!file) {
    ::_close(fd);
    remove_file(path);
  }
  return file;
}

bool replace_file(const std::string& from, const std::string& to) {
  return ::MoveFileExW(system_path(from).c_str(), system_path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool remove_file(const std::string& path) {
  return ::DeleteFileW(system_path(path).c_str()) != 0;
}

bool seek_file(std::FILE* file, uint64_t offset) {
  if (offset > uint64_t(INT64_MAX)) return false;
  return ::_fseeki64(file, int64_t(offset), SEEK_SET) == 0;
}

bool file_size(std::FILE* file, uint64_t* size) {
  LARGE_INTEGER length;
  if (!::GetFileSizeEx(handle_of(file), &length) || length.QuadPart < 0)
    return false;
  *size = uint64_t(length.QuadPart);
  return true;
}

bool sync_file(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  return ::FlushFileBuffers(handle_of(file)) != 0;
}

uint64_t copy_in_kernel(std::FILE*, uint64_t, std::FILE*, uint64_t, uint64_t) {
  return 0;  // the plain copy serves
}

std::string executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
  // Back from \\?\ form to the plain one the driver's path rules expect.
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    path.replace(0, 8, L"\\\\");
  else if (path.compare(0, 4, L"\\\\?\\") == 0)
    path.erase(0, 4);
  return to_utf8(path.data(), path.size());
}

bool stdin_is_interactive() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool wait_for_key_press() {
  // The command interpreter's own prompt, as users of the tool know it.
  // Without a console it returns at once, having waited for nothing.
  std::fflush(stdout);
  std::system("pause");
  return stdin_is_interactive();
}

unsigned long process_id() { return ::GetCurrentProcessId(); }
