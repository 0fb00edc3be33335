// Windows side of the platform interface. The tool's strings are UTF-8;
// every path is turned into UTF-16 here and handed to the wide APIs, so no
// character is lost to the ANSI code page, and long paths get the prefix
// \\?\ that lifts the MAX_PATH limit on any Windows version.
#include "platform.h"

// windows.h first: shellapi.h builds on its definitions.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

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

// Absolute paths this long may not fit MAX_PATH; the temporary names add a
// few characters more.
constexpr size_t kShortPathLimit = 200;

// `path` made absolute by the system; empty when it cannot say.
std::wstring absolute_path(const std::wstring& path) {
  DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return std::wstring();
  std::wstring full(length, L'\0');
  length = ::GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
  full.resize(length);
  return full;
}

// `path` as the wide APIs take it: unchanged where it is short once made
// absolute (a short relative path under a deep current folder is long),
// else made absolute and prefixed with \\?\ (\\?\UNC\ for a network
// share).
std::wstring system_path(const std::string& path) {
  std::wstring wide = to_utf16(path);
  if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  const std::wstring full = absolute_path(wide);
  if (full.size() < kShortPathLimit) return wide;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

// Flushes the stream and asks the system to put the data on the disk, so
// that a rename after it cannot expose a file whose data was never stored.
bool sync_file(std::FILE* file) {
  if (!flush_stream(file) || fault_now(FaultCall::flush)) return false;
  return ::FlushFileBuffers(handle_of(file)) != 0;
}

bool stdin_is_interactive() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// A stream over `handle`, which it then owns; nullptr, with the handle
// closed, when the C runtime will not take it.
std::FILE* stream_of(HANDLE handle, const char* mode) {
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, mode);
  if (!file) ::_close(fd);
  return file;
}

// Marks the open file to go when its last handle closes, or takes the mark
// back.
bool set_delete_on_close(HANDLE handle, bool remove) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Takes the hidden mark off the open file, which then has the attributes
// of any new file, leaving its times as they are. Only set: the attributes
// a new file has are known, so there is nothing to read first.
bool unhide(HANDLE handle) {
  FILE_BASIC_INFO change = {};  // times of 0 stay as they are
  change.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
  return ::SetFileInformationByHandle(handle, FileBasicInfo, &change,
                                      sizeof change) != 0;
}

uint64_t as_u64(DWORD high, DWORD low) { return uint64_t(high) << 32 | low; }
uint64_t as_u64(const FILETIME& time) {
  return as_u64(time.dwHighDateTime, time.dwLowDateTime);
}

// True only when the run that wrote `file` (last at `written`) has ended:
// this process did not make it though it has its id, or the system says no
// process has the id, or the one that has it has ended or was started after
// the file was last written (the id came round again after a reboot).
bool run_has_ended(unsigned long pid, const std::string& file,
                   uint64_t written) {
  if (pid == ::GetCurrentProcessId()) return !is_own_temporary(file);
  HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  FILETIME created, exited, kernel, user;
  const bool ended =
      (::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE) ||
      (::GetProcessTimes(process, &created, &exited, &kernel, &user) &&
       as_u64(created) > written);
  ::CloseHandle(process);
  return ended;
}

// Whether the file at `path` could be replaced this moment: a file that
// another program holds cannot be opened to be deleted, and a read-only
// one is marked so. Anything else the write itself finds out.
Replaceable replaceable_now(const std::string& path) {
  const std::wstring name = system_path(path);
  HANDLE handle = ::CreateFileW(
      name.c_str(), DELETE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const DWORD error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
  if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  if (error == ERROR_SHARING_VIOLATION) return Replaceable::held;
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      (attributes & FILE_ATTRIBUTE_READONLY))
    return Replaceable::read_only;
  return Replaceable::yes;
}

// Writes `text` to the console as UTF-16; false where `handle` is no
// console.
bool write_console(HANDLE handle, const std::string& text) {
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) return false;
  const std::wstring wide = to_utf16(text);
  for (size_t done = 0; done < wide.size();) {
    DWORD written = 0;
    const DWORD piece = DWORD(std::min<size_t>(wide.size() - done, 8192));
    if (!::WriteConsoleW(handle, wide.data() + done, piece, &written,
                         nullptr) ||
        written == 0)
      return done > 0;
    done += written;
  }
  return true;
}

// The keys that type or act; not the modifiers, the Windows keys or the
// locks, which a person holds or toggles on the way to another key.
bool answers_pause(const KEY_EVENT_RECORD& key) {
  if (!key.bKeyDown) return false;
  switch (key.wVirtualKeyCode) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT:
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU:
    case VK_LWIN: case VK_RWIN:
    case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
      return false;
    default:
      return true;
  }
}

// Renames the open file through its own handle, over any file of the new
// name.
bool rename_open_file(HANDLE handle, const std::string& to) {
  const std::wstring full = absolute_path(system_path(to));
  if (full.empty()) return false;
  const size_t name_bytes = full.size() * sizeof(wchar_t);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = DWORD(name_bytes);
  std::memcpy(info->FileName, full.c_str(), name_bytes + sizeof(wchar_t));
  return ::SetFileInformationByHandle(handle, FileRenameInfo, info,
                                      DWORD(buffer.size())) != 0;
}

// Opens the file at `path` and puts what the system holds of it on the
// disk, its folder entry included.
bool flush_named_file(const std::string& path) {
  HANDLE handle = ::CreateFileW(
      system_path(path).c_str(), GENERIC_WRITE,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = ::FlushFileBuffers(handle) != 0;
  ::CloseHandle(handle);
  return flushed;
}

// Opens `path` for reads the system's cache does not answer, into a
// buffer of one piece from VirtualAlloc, aligned for any sector size.
bool open_unbuffered(const std::string& path, MediumReader* reader) {
  *reader = MediumReader();
  HANDLE handle = ::CreateFileW(
      system_path(path).c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN,
      nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  void* buffer = ::VirtualAlloc(nullptr, kMediumPiece, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (!buffer || ::GetFileType(handle) != FILE_TYPE_DISK) {
    if (buffer) ::VirtualFree(buffer, 0, MEM_RELEASE);
    ::CloseHandle(handle);
    return false;
  }
  reader->handle = reinterpret_cast<intptr_t>(handle);
  reader->buffer = static_cast<uint8_t*>(buffer);
  return true;
}

}  // namespace

std::vector<std::string> command_line_arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!wide) return args;
  for (int i = 0; i < count; ++i)
    args.push_back(
        to_utf8(wide[i], std::char_traits<wchar_t>::length(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::FILE* open_for_reading(const std::string& path) {
  // A folder does not open without backup semantics, so it is no file; a
  // device, a pipe or the console is opened and let go at once, unread.
  HANDLE handle = ::CreateFileW(system_path(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return nullptr;
  }
  return stream_of(handle, "rb");
}

std::FILE* create_new_file(const std::string& path) {
  HANDLE handle =
      ::CreateFileW(system_path(path).c_str(), GENERIC_WRITE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  std::FILE* file = stream_of(handle, "wb");
  if (!file) remove_file(path);
  return file;
}

std::string scratch_folder() {
  wchar_t folder[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return std::string();
  return to_utf8(folder, length);
}

std::FILE* open_scratch_file() {
  // The C runtime's tmpfile() makes its file in the root of the drive,
  // which users may not write to; the user's temporary folder is theirs.
  const std::string folder = scratch_folder();
  if (folder.empty()) return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring path = system_path(folder + temporary_name("", attempt));
    HANDLE handle = ::CreateFileW(
        path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
        nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      return nullptr;
    }
    note_own_temporary(folder + temporary_name("", attempt));
    return stream_of(handle, "w+b");
  }
  return nullptr;
}

bool is_special_file(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(system_path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  std::FILE* file = open_for_reading(path);
  if (file) std::fclose(file);
  return file == nullptr;
}

bool is_folder(const std::string& path) {
  DWORD attributes = ::GetFileAttributesW(system_path(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// The volume and file index that name a file whatever path leads to it.
bool file_identity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = ::CreateFileW(
      system_path(path).c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = ::GetFileInformationByHandle(handle, info) != 0;
  ::CloseHandle(handle);
  return known;
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return file_identity(a, &first) && file_identity(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool list_folder_files(const std::string& folder,
                       std::vector<std::string>* names) {
  names->clear();
  const std::string pattern = join_path(folder, "*");
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(system_path(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (found.dwFileAttributes &
        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
      continue;
    names->push_back(to_utf8(
        found.cFileName, std::char_traits<wchar_t>::length(found.cFileName)));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return true;
}

std::string join_path(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
    return folder + name;
  return folder + "\\" + name;
}

bool begin_new_file(const std::string& path, NewFile* file) {
  *file = NewFile{nullptr, std::string(), Replaceable::yes, MediumReader()};
  const std::string folder = folder_part(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = temporary_name(folder, attempt);
    // Hidden until complete: a leftover of a power cut is not shown among
    // the user's games.
    // Shared for reading only, by the reader of the read-back.
    HANDLE handle = ::CreateFileW(
        system_path(candidate).c_str(), GENERIC_WRITE | DELETE,
        FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    // Opened now: once the file is marked to be deleted, Windows refuses
    // every new open of it as "delete pending".
    open_unbuffered(candidate, &file->reader);
    // From its first moment the file goes with its handle, so no end of
    // the process, a closed console window included, leaves it behind.
    set_delete_on_close(handle, true);
    file->stream = stream_of(handle, "wb");
    if (!file->stream) return false;
    note_own_temporary(candidate);
    file->temporary_path = candidate;
    return true;
  }
  return false;
}

std::vector<Leftover> leftovers_beside(const std::string& path) {
  std::vector<Leftover> leftovers;
  const std::string folder = folder_part(path);
  WIN32_FIND_DATAW found;
  HANDLE search =
      ::FindFirstFileW(system_path(folder + ".brenvik-*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return leftovers;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t quiet = uint64_t(kLeftoverQuietSeconds) * 10000000;  // 100 ns
  do {
    const std::string name = to_utf8(
        found.cFileName, std::char_traits<wchar_t>::length(found.cFileName));
    unsigned long pid = 0;
    const uint64_t written = as_u64(found.ftLastWriteTime.dwHighDateTime,
                                    found.ftLastWriteTime.dwLowDateTime);
    if (!is_temporary_name(name, &pid) ||
        (found.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE |
          FILE_ATTRIBUTE_REPARSE_POINT)) ||
        as_u64(now.dwHighDateTime, now.dwLowDateTime) < written + quiet ||
        !run_has_ended(pid, folder + name, written))
      continue;
    leftovers.push_back(
        {folder + name, as_u64(found.nFileSizeHigh, found.nFileSizeLow)});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return leftovers;
}

bool free_space_for(const std::string& path, uint64_t* bytes) {
  const std::string folder = folder_part(path);
  ULARGE_INTEGER available;
  if (!::GetDiskFreeSpaceExW(system_path(folder.empty() ? "." : folder).c_str(),
                             &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}

bool reserve_space(NewFile* file, uint64_t size) {
  // Where the file system cannot set space aside, the writes still tell.
  FILE_ALLOCATION_INFO allocation;
  allocation.AllocationSize.QuadPart = LONGLONG(size);
  const HANDLE handle = handle_of(file->stream);
  if (::SetFileInformationByHandle(handle, FileAllocationInfo, &allocation,
                                   sizeof allocation))
    return true;
  return ::GetLastError() != ERROR_DISK_FULL;
}

Replaceable wait_until_replaceable(const std::string& path) {
  Replaceable replaceable = replaceable_now(path);
  for (int wait = 0; wait < 20 && replaceable == Replaceable::held; ++wait) {
    ::Sleep(100);
    replaceable = replaceable_now(path);
  }
  return replaceable;
}

bool flush_new_file(NewFile* file) { return sync_file(file->stream); }

MediumRead begin_read_back(NewFile* file) {
  return file->reader.handle != -1 ? MediumRead::ready : MediumRead::nothing;
}

bool name_new_file(NewFile* file, const std::string& path) {
  // The reader would keep the rename from happening.
  close_medium_reader(&file->reader);
  const HANDLE handle = handle_of(file->stream);
  // A program may have taken the old file since the run began; until it
  // lets go, the new one stays hidden and goes with the process.
  file->blocked = wait_until_replaceable(path);
  bool ok = file->blocked == Replaceable::yes;
  ok = ok && unhide(handle) && set_delete_on_close(handle, false);
  bool renamed =
      ok && !fault_now(FaultCall::rename) && rename_open_file(handle, path);
  // On FAT the folder entry is written with the file's own flush.
  if (renamed && !::FlushFileBuffers(handle)) ok = false;
  if (std::fclose(file->stream) != 0) ok = false;
  file->stream = nullptr;
  // Where the system cannot rename an open file, the name changes just
  // after it is closed, and the file is opened again to flush it.
  if (ok && !renamed) {
    renamed = !fault_now(FaultCall::rename) &&
              replace_file(file->temporary_path, path);
    ok = renamed && flush_named_file(path);
  }
  if (!ok) remove_file(renamed ? path : file->temporary_path);
  return ok;
}

MediumRead open_medium_reader(const std::string& path, MediumReader* reader) {
  return open_unbuffered(path, reader) ? MediumRead::ready : MediumRead::failed;
}

bool read_medium(MediumReader* reader, uint64_t offset, const uint8_t** data,
                 size_t* length) {
  if (reader->handle == -1 || fault_now(FaultCall::read) ||
      !medium_read_aligned(reader->buffer, offset, kMediumPiece))
    return false;
  OVERLAPPED at = {};
  at.Offset = DWORD(offset);
  at.OffsetHigh = DWORD(offset >> 32);
  DWORD got = 0;
  // The last piece returns what remains of the file.
  if (!::ReadFile(reinterpret_cast<HANDLE>(reader->handle), reader->buffer,
                  DWORD(kMediumPiece), &got, &at) &&
      ::GetLastError() != ERROR_HANDLE_EOF)
    return false;
  flip_read_back(offset, reader->buffer, got);
  *data = reader->buffer;
  *length = got;
  return true;
}

void close_medium_reader(MediumReader* reader) {
  if (reader->handle != -1)
    ::CloseHandle(reinterpret_cast<HANDLE>(reader->handle));
  if (reader->buffer) ::VirtualFree(reader->buffer, 0, MEM_RELEASE);
  *reader = MediumReader();
}

void abandon_new_file(NewFile* file) {
  close_medium_reader(&file->reader);
  if (file->stream) std::fclose(file->stream);
  remove_file(file->temporary_path);
  *file = NewFile{nullptr, std::string(), Replaceable::yes, MediumReader()};
}

void install_interrupt_cleanup() {
  // Every temporary file goes with its handle; nothing to set up.
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

bool stdout_is_terminal() {
  // Not _isatty, which is true for NUL as well.
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void write_output(const std::string& text) {
  // At a console as characters: it would read the bytes in its own code
  // page, which the manifest's UTF-8 does not change.
  std::fflush(stdout);
  if (!write_console(::GetStdHandle(STD_OUTPUT_HANDLE), text))
    std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool wait_for_key_press(const char* prompt) {
  // Only at a console: from a pipe it would wait for the pipe to close.
  // Keys typed while the tool worked are dropped, so the window stays
  // until the outcome has been read.
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (!stdin_is_interactive() || !::FlushConsoleInputBuffer(input))
    return false;
  write_output(prompt);
  bool pressed = false;
  for (;;) {
    INPUT_RECORD record;
    DWORD read = 0;
    if (!::ReadConsoleInputW(input, &record, 1, &read) || read != 1) break;
    if (record.EventType == KEY_EVENT &&
        answers_pause(record.Event.KeyEvent)) {
      pressed = true;
      break;
    }
  }
  write_output("\n");
  return pressed;
}

unsigned long process_id() { return ::GetCurrentProcessId(); }
