// POSIX side of the platform interface (Linux, macOS, the BSDs).
#include "platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif
#if defined(__linux__)
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#if defined(__EMSCRIPTEN__)
#include <emscripten/emscripten.h>

// The page's worker (worker.js) can often copy without moving a byte: a
// stretch of a picked game becomes a slice of the game's File in the
// output's parts. It says how many bytes it took, or 0.
EM_JS(double, copy_range_in_worker,
      (int in_fd, double in_offset, int out_fd, double out_offset,
       double length),
      {
        if (!Module.copyRange) return 0;
        return Module.copyRange(in_fd, in_offset, out_fd, out_offset, length);
      });
#endif

namespace {

// What the signal handler cleans up. The path is written only while the
// signals it handles are blocked, so the handler never sees half of it.
char pending_temporary[8192];
volatile sig_atomic_t pending_temporary_set = 0;
struct termios saved_terminal;
volatile sig_atomic_t terminal_changed = 0;

sigset_t interrupt_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

extern "C" void end_on_interrupt(int signal_number) {
  if (pending_temporary_set) ::unlink(pending_temporary);
  if (terminal_changed) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  ::signal(signal_number, SIG_DFL);
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, signal_number);
  ::sigprocmask(SIG_UNBLOCK, &own, nullptr);
  ::raise(signal_number);
}

// The folder part of `path`, split at '/' only: a backslash is a character
// of a name here.
std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Makes `make(candidate)` succeed under a fresh temporary name in
// `folder`, and records that name for the signal handler in the same
// step.
template <typename Make>
bool with_temporary_name(const std::string& folder, std::string* name,
                         Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = temporary_name(folder, attempt);
    if (candidate.size() >= sizeof pending_temporary) return false;
    sigset_t blocked = interrupt_signals(), previous;
    ::sigprocmask(SIG_BLOCK, &blocked, &previous);
    bool made = make(candidate);
    if (made) {
      std::memcpy(pending_temporary, candidate.c_str(), candidate.size() + 1);
      pending_temporary_set = 1;
    }
    int error = errno;
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (made) {
      note_own_temporary(candidate);
      *name = candidate;
      return true;
    }
    if (error != EEXIST) return false;
  }
  return false;
}

// Gives a name just made the same durability as the file's data. Some
// file systems cannot flush a folder; the name is then as safe as they
// make it, which is no failure of the write.
bool sync_folder_of(const std::string& path) {
#if defined(__EMSCRIPTEN__)
  (void)path;
  return true;
#else
  const std::string folder = folder_of(path);
  int fd = ::open(folder.empty() ? "." : folder.c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  bool ok = (!fault_now(FaultCall::flush) && ::fsync(fd) == 0) ||
            errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP ||
            errno == ENOSYS;
  ::close(fd);
  return ok;
#endif
}

// Flushes the stream and asks the system to put the data on the disk, so
// that a rename after it cannot expose a file whose data was never stored.
bool sync_file(std::FILE* file) {
  if (!flush_stream(file) || fault_now(FaultCall::flush)) return false;
#if defined(__APPLE__)
  // Only a full flush gets past the drive's own cache; some file systems
  // refuse it, and then the plain one is what there is.
  if (::fcntl(::fileno(file), F_FULLFSYNC) == 0) return true;
#endif
  // Some file systems (pipes aside) refuse fsync; the data is then as safe
  // as they make it, which is not a write error.
  if (::fsync(::fileno(file)) != 0 && errno != EINVAL && errno != ENOTSUP)
    return false;
  return true;
}

// True where the file open as `fd` lives in memory only (tmpfs, ramfs):
// there is no medium to read it back from.
bool in_memory_only(int fd) {
#if defined(__linux__)
  struct statfs fs;
  return ::fstatfs(fd, &fs) == 0 &&
         (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC);
#else
  (void)fd;
  return false;
#endif
}

// Opens `path` for reading past the cache into `reader`: its cached pages
// are dropped (after a flush they are clean, so they go), and the reads
// that follow ask the disk, with the kernel reading ahead as for any
// sequential read. (O_DIRECT would ask the disk too, but one synchronous
// piece at a time: a quarter slower on a card than the read of a copy.) On
// macOS the pages are evicted through a mapping first, since F_NOCACHE
// still serves what is cached; where that fails there is no way past the
// cache.
MediumRead open_past_cache(const std::string& path, MediumReader* reader) {
  *reader = MediumReader();
  void* buffer = nullptr;
  if (::posix_memalign(&buffer, 4096, kMediumPiece) != 0)
    return MediumRead::failed;
  reader->buffer = static_cast<uint8_t*>(buffer);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  reader->handle = fd;
  if (fd < 0) {
    close_medium_reader(reader);
    return MediumRead::failed;
  }
  if (in_memory_only(fd)) return MediumRead::nothing;
#if defined(__APPLE__)
  struct stat st;
  bool evicted = ::fstat(fd, &st) == 0;
  if (evicted && st.st_size > 0) {
    void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    evicted = map != MAP_FAILED &&
              ::msync(map, size_t(st.st_size), MS_INVALIDATE) == 0;
    if (map != MAP_FAILED) ::munmap(map, size_t(st.st_size));
  }
  if (!evicted || ::fcntl(fd, F_NOCACHE, 1) != 0) return MediumRead::nothing;
#elif !defined(__EMSCRIPTEN__)
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return MediumRead::ready;
}

void remove_temporary(const std::string& name) {
  ::unlink(name.c_str());
  pending_temporary_set = 0;
}

// Names the file without a name that `stream` writes: a link from its
// descriptor in /proc. Should `path` exist again since the old output was
// deleted, the link goes under a temporary name that is renamed over it.
bool link_unnamed(std::FILE* stream, const std::string& path) {
#if defined(__linux__)
  char descriptor[64];
  std::snprintf(descriptor, sizeof descriptor, "/proc/self/fd/%d",
                ::fileno(stream));
  auto link_as = [&](const std::string& name) {
    return !fault_now(FaultCall::rename) &&
           ::linkat(AT_FDCWD, descriptor, AT_FDCWD, name.c_str(),
                    AT_SYMLINK_FOLLOW) == 0;
  };
  if (link_as(path)) return true;
  std::string temporary;
  if (errno != EEXIST ||
      !with_temporary_name(folder_of(path), &temporary, link_as))
    return false;
  bool renamed = !fault_now(FaultCall::rename) &&
                 std::rename(temporary.c_str(), path.c_str()) == 0;
  if (renamed)
    pending_temporary_set = 0;
  else
    remove_temporary(temporary);
  return renamed;
#else
  (void)stream;
  (void)path;
  return false;
#endif
}

}  // namespace

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::FILE* open_for_reading(const std::string& path) {
  // The name is looked at first and the file opened without blocking: a
  // FIFO would wait in the open for a writer, forever.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) ::close(fd);
  return file;
}

bool is_special_file(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) &&
         !S_ISDIR(st.st_mode);
}

bool is_folder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool list_folder_files(const std::string& folder,
                       std::vector<std::string>* names) {
  names->clear();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  while (dirent* entry = ::readdir(dir)) {
    struct stat st;
    std::string name = entry->d_name;
    if (::stat(join_path(folder, name).c_str(), &st) == 0 &&
        S_ISREG(st.st_mode))
      names->push_back(name);
  }
  ::closedir(dir);
  return true;
}

namespace {

// True only when the system says no process has the id: one that exists
// but is not ours to signal is running all the same. An id past what a
// pid_t holds is no run's of this machine, and its file no leftover of one.
// A file of this process's own id that it did not make is an earlier
// run's, one that had the id before a reboot.
bool run_has_ended(unsigned long pid, const std::string& file) {
  if (pid == process_id()) return !is_own_temporary(file);
  if (pid > static_cast<unsigned long>(INT_MAX)) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::vector<Leftover> leftovers_beside(const std::string& path) {
  std::vector<Leftover> leftovers;
#if !defined(__EMSCRIPTEN__)
  const std::string folder = folder_of(path);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return leftovers;
  const time_t now = ::time(nullptr);
  while (dirent* entry = ::readdir(dir)) {
    unsigned long pid = 0;
    if (!is_temporary_name(entry->d_name, &pid)) continue;
    const std::string file = folder + entry->d_name;
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        now - st.st_mtime < kLeftoverQuietSeconds ||
        !run_has_ended(pid, file))
      continue;
    leftovers.push_back({file, uint64_t(st.st_size)});
  }
  ::closedir(dir);
#else
  (void)path;  // the page's folder lives no longer than its request
#endif
  return leftovers;
}

std::string join_path(const std::string& folder, const std::string& name) {
  // A backslash is a character of a name here, not a separator.
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool begin_new_file(const std::string& path, NewFile* file) {
  *file = NewFile{nullptr, std::string(), Replaceable::yes, MediumReader()};
  const std::string folder = folder_of(path);
#if defined(__linux__) && defined(O_TMPFILE)
  if (unnamed_files_enabled && ::access("/proc/self/fd", X_OK) == 0) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(),
                    O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      file->stream = ::fdopen(fd, "wb");
      if (!file->stream) ::close(fd);
      return file->stream != nullptr;
    }
    // FAT and exFAT, and kernels without O_TMPFILE, say so this way; any
    // other error (a folder that is not writable) is the answer.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  }
#endif
  return with_temporary_name(folder, &file->temporary_path,
                             [&](const std::string& name) {
                               file->stream = create_new_file(name);
                               return file->stream != nullptr;
                             });
}

bool flush_new_file(NewFile* file) { return sync_file(file->stream); }

MediumRead begin_read_back(NewFile* file) {
#if defined(__EMSCRIPTEN__)
  // The page's files cannot be read back; they never reach a medium here.
  (void)file;
  return MediumRead::nothing;
#else
  // Nothing is opened where the file lives in memory alone.
  const int fd = ::fileno(file->stream);
  if (in_memory_only(fd)) return MediumRead::nothing;
  char descriptor[64];
  std::snprintf(descriptor, sizeof descriptor, "/proc/self/fd/%d", fd);
  const MediumRead opened = open_past_cache(
      file->temporary_path.empty() ? descriptor : file->temporary_path,
      &file->reader);
  // A file this run cannot open again is none it can read back.
  if (opened != MediumRead::ready) {
    close_medium_reader(&file->reader);
    return MediumRead::nothing;
  }
  return opened;
#endif
}

bool name_new_file(NewFile* file, const std::string& path) {
  close_medium_reader(&file->reader);
  const bool unnamed = file->temporary_path.empty();
  bool linked = unnamed && link_unnamed(file->stream, path);
  bool ok = true;
  if (std::fclose(file->stream) != 0) ok = false;
  file->stream = nullptr;
  if (unnamed) {
    ok = ok && linked && sync_folder_of(path);
    if (linked && !ok) ::unlink(path.c_str());
    return ok;
  }
  const bool renamed =
      ok && !fault_now(FaultCall::rename) &&
      std::rename(file->temporary_path.c_str(), path.c_str()) == 0;
  if (renamed) pending_temporary_set = 0;
  ok = renamed && sync_folder_of(path);
  if (renamed && !ok) ::unlink(path.c_str());
  if (!renamed) remove_temporary(file->temporary_path);
  return ok;
}

MediumRead open_medium_reader(const std::string& path, MediumReader* reader) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *reader = MediumReader();
    return MediumRead::failed;
  }
  const MediumRead opened = open_past_cache(path, reader);
  // In memory, or past no cache, it is read as it is.
  return opened == MediumRead::nothing ? MediumRead::ready : opened;
}

bool read_medium(MediumReader* reader, uint64_t offset, const uint8_t** data,
                 size_t* length) {
  if (reader->handle < 0 || offset > uint64_t(INT64_MAX) ||
      fault_now(FaultCall::read))
    return false;
  const int fd = int(reader->handle);
  size_t got = 0;
  while (got < kMediumPiece) {
    ssize_t n = ::pread(fd, reader->buffer + got, kMediumPiece - got,
                        off_t(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += size_t(n);
  }
  flip_read_back(offset, reader->buffer, got);
  *data = reader->buffer;
  *length = got;
  return true;
}

void close_medium_reader(MediumReader* reader) {
  if (reader->handle >= 0) ::close(int(reader->handle));
  std::free(reader->buffer);
  *reader = MediumReader();
}

bool free_space_for(const std::string& path, uint64_t* bytes) {
#if defined(__EMSCRIPTEN__)
  // The browser's files report a made-up figure.
  (void)path;
  (void)bytes;
  return false;
#else
  const std::string folder = folder_of(path);
  struct statvfs fs;
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return false;
  // Root may also use the blocks kept back for it.
  const uint64_t blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
  *bytes = blocks * uint64_t(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
  return true;
#endif
}

bool reserve_space(NewFile* file, uint64_t size) {
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
  // Mode 0 would make Linux's FAT driver write zeros over the whole file
  // first, and so would posix_fallocate's fallback.
  if (size == 0 || size > uint64_t(INT64_MAX)) return true;
  // Memory has no clusters to keep together, and setting pages aside there
  // costs as much as the copy; the free-space check has said there is room.
  struct statfs fs;
  const int fd = ::fileno(file->stream);
  if (::fstatfs(fd, &fs) == 0 && fs.f_type == TMPFS_MAGIC) return true;
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0) return true;
  return errno != ENOSPC && errno != EFBIG && errno != EDQUOT;
#else
  (void)file;
  (void)size;
  return true;
#endif
}

void abandon_new_file(NewFile* file) {
  close_medium_reader(&file->reader);
  if (file->stream) std::fclose(file->stream);
  if (!file->temporary_path.empty()) remove_temporary(file->temporary_path);
  *file = NewFile{nullptr, std::string(), Replaceable::yes, MediumReader()};
}

void install_interrupt_cleanup() {
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action = {};
  action.sa_handler = end_on_interrupt;
  action.sa_mask = interrupt_signals();
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    // Started with the signal ignored (nohup), it stays ignored.
    struct sigaction previous;
    if (::sigaction(signal_number, nullptr, &previous) == 0 &&
        previous.sa_handler == SIG_IGN)
      continue;
    ::sigaction(signal_number, &action, nullptr);
  }
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

std::string scratch_folder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder ? folder : "/tmp";
}

std::FILE* open_scratch_file() {
  // Made without a name where the system can, else unlinked at once.
  const std::string folder = scratch_folder();
  int fd = -1;
#if defined(__linux__) && defined(O_TMPFILE)
  fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    std::string name = join_path(folder, "brenvik-scratch-XXXXXX");
    fd = ::mkstemp(&name[0]);
    if (fd < 0) return nullptr;
    ::unlink(name.c_str());
  }
  std::FILE* file = ::fdopen(fd, "w+b");
  if (!file) ::close(fd);
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

uint64_t copy_in_kernel(std::FILE* in, uint64_t in_offset, std::FILE* out,
                        uint64_t out_offset, uint64_t length) {
  if (!kernel_copy_enabled || fault_now(FaultCall::read)) return 0;
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
#elif defined(__EMSCRIPTEN__)
  return uint64_t(copy_range_in_worker(::fileno(in), double(in_offset),
                                       ::fileno(out), double(out_offset),
                                       double(length)));
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

// Emscripten's isatty answers 1 even for a pipe; the page has no terminal.
#if defined(__EMSCRIPTEN__)
bool stdout_is_terminal() { return false; }
#else
bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }
#endif

void write_output(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

Replaceable wait_until_replaceable(const std::string&) {
  return Replaceable::yes;
}

bool wait_for_key_press(const char* prompt) {
#if defined(__EMSCRIPTEN__)
  (void)prompt;
  return false;
#else
  if (::isatty(STDIN_FILENO) != 1) return false;
  write_output(prompt);
  // Ctrl+C at the prompt ends the run through the signal handler, which
  // puts the terminal back as it was. Keys typed while the tool worked are
  // dropped, so the pause waits for one pressed after the prompt.
  bool raw = ::tcgetattr(STDIN_FILENO, &saved_terminal) == 0;
  if (raw) {
    struct termios single_key = saved_terminal;
    single_key.c_lflag &= tcflag_t(~(ICANON | ECHO));
    single_key.c_cc[VMIN] = 1;
    single_key.c_cc[VTIME] = 0;
    terminal_changed = 1;
    raw = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &single_key) == 0;
  }
  char key;
  ssize_t n;
  do {
    n = ::read(STDIN_FILENO, &key, 1);
  } while (n < 0 && errno == EINTR);
  if (raw) {
    // An arrow or function key sends several bytes at once; the rest of
    // them would answer the next pause, or reach the shell after the tool.
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  }
  terminal_changed = 0;
  write_output("\n");
  return n == 1;
#endif
}

unsigned long process_id() { return static_cast<unsigned long>(::getpid()); }
