// POSIX side of the platform interface (Linux, macOS, the BSDs).
#include "rom/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::FILE* open_for_reading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  // A directory opens for reading here but holds no bytes to read; it is
  // no file, as on Windows.
  struct stat st;
  if (file && ::fstat(::fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}

std::FILE* create_new_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ::close(fd);
    ::unlink(path.c_str());
  }
  return file;
}

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool remove_file(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool seek_file(std::FILE* file, uint64_t offset) {
  if (offset > uint64_t(INT64_MAX)) return false;
  return ::fseeko(file, off_t(offset), SEEK_SET) == 0;
}

bool file_size(std::FILE* file, uint64_t* size) {
  struct stat st;
  if (::fstat(::fileno(file), &st) != 0 || st.st_size < 0) return false;
  *size = uint64_t(st.st_size);
  return true;
}

bool sync_file(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
  // Some file systems (pipes aside) refuse fsync; the data is then as safe
  // as they make it, which is not a write error.
  if (::fsync(::fileno(file)) != 0 && errno != EINVAL && errno != ENOTSUP)
    return false;
  return true;
}

uint64_t copy_in_kernel(std::FILE* in, uint64_t in_offset, std::FILE* out,
                        uint64_t out_offset, uint64_t length) {
#if defined(__linux__)
  if (in_offset > uint64_t(INT64_MAX) || out_offset > uint64_t(INT64_MAX))
    return 0;
  loff_t from = loff_t(in_offset);
  loff_t to = loff_t(out_offset);
  uint64_t copied = 0;
  while (copied < length) {
    uint64_t want = length - copied;
    if (want > (1u << 30)) want = 1u << 30;
    ssize_t n = ::copy_file_range(::fileno(in), &from, ::fileno(out), &to,
                                  size_t(want), 0);
    if (n < 0 && errno == EINTR) continue;
    // EXDEV, ENOSYS, EINVAL, EOPNOTSUPP, a short count at the end of the
    // input: whatever the reason, the caller goes on from `copied`.
    if (n <= 0) break;
    copied += uint64_t(n);
  }
  return copied;
#else
  (void)in;
  (void)in_offset;
  (void)out;
  (void)out_offset;
  (void)length;
  return 0;
#endif
}

std::string executable_path() {
#if defined(__linux__)
  std::string path(PATH_MAX, '\0');
  ssize_t n = ::readlink("/proc/self/exe", &path[0], path.size());
  if (n <= 0 || size_t(n) >= path.size()) return std::string();
  path.resize(size_t(n));
  return path;
#elif defined(__APPLE__)
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string path(size, '\0');
  if (_NSGetExecutablePath(&path[0], &size) != 0) return std::string();
  path.resize(std::char_traits<char>::length(path.c_str()));
  return path;
#else
  return std::string();
#endif
}

bool stdin_is_interactive() { return ::isatty(STDIN_FILENO) == 1; }

bool wait_for_key_press() {
  if (!stdin_is_interactive()) return false;
  std::fputs("Press any key to continue . . . ", stdout);
  std::fflush(stdout);
  struct termios saved;
  bool raw = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (raw) {
    struct termios single_key = saved;
    single_key.c_lflag &= tcflag_t(~(ICANON | ECHO));
    single_key.c_cc[VMIN] = 1;
    single_key.c_cc[VTIME] = 0;
    raw = ::tcsetattr(STDIN_FILENO, TCSANOW, &single_key) == 0;
  }
  char key;
  ssize_t n;
  do {
    n = ::read(STDIN_FILENO, &key, 1);
  } while (n < 0 && errno == EINTR);
  if (raw) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fputs("\n", stdout);
  std::fflush(stdout);
  return n == 1;
}

unsigned long process_id() { return static_cast<unsigned long>(::getpid()); }
