// The built tool under faults a user's machine produces: a disk that fills
// part-way, a process killed mid-run, games reached through links and
// other file systems. Whatever happens, the output name holds nothing or
// the complete image, no temporary file is left by a failure the tool sees,
// and the game, the donor and arm7.bin are never changed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/driver.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "reference_rebuild.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/status.h"
#include "rom/rebuild.h"
#include "scratch.h"
#include "test_image.h"

namespace {

struct ToolRun {
  pid_t pid;
  int output;  // the read end of the tool's standard output
};

// Starts the tool in `dir` on `game` with standard input at the null
// device and standard output into a pipe (a file would fall under the
// limit too), with writes past `file_size_limit` bytes refused, as a shell
// with `ulimit -f` starts it: the tool itself must keep SIGXFSZ from
// ending it. With `hangups_ignored`, as nohup starts it.
ToolRun start_tool(const std::string& tool, const std::string& dir,
                   const std::string& game, rlim_t file_size_limit,
                   bool hangups_ignored = false) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {-1, -1};
  pid_t pid = ::fork();
  if (pid != 0) {
    ::close(pipe_ends[1]);
    return {pid, pipe_ends[0]};
  }
  int in = ::open("/dev/null", O_RDONLY);
  if (in < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
  ::dup2(in, 0);
  ::dup2(pipe_ends[1], 1);
  ::close(pipe_ends[0]);
  struct rlimit limit = {file_size_limit, file_size_limit};
  if (file_size_limit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &limit);
  if (hangups_ignored) ::signal(SIGHUP, SIG_IGN);
  ::execl(tool.c_str(), tool.c_str(), game.c_str(),
          static_cast<char*>(nullptr));
  ::_exit(127);
}

// What the tool printed and its exit status; the signal's number, negated,
// when a signal ended it.
int finish_tool(ToolRun run, std::string* output) {
  output->clear();
  char piece[4096];
  ssize_t n;
  while ((n = ::read(run.output, piece, sizeof piece)) > 0)
    output->append(piece, size_t(n));
  ::close(run.output);
  int status = 0;
  ::waitpid(run.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// True until the process ends; it is not reaped here, so its status stays
// for finish_tool.
bool still_running(pid_t pid) {
  siginfo_t info = {};
  if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    return false;
  return info.si_pid == 0;
}

// How many bytes the tool has written to the file it is making, found
// through its open descriptors (the file may have no name at all), or -1
// while it makes none.
long long bytes_being_written(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  long long size = -1;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(proc + "/fd", error)) {
    const std::string fd = entry.path().filename().string();
    std::ifstream info(proc + "/fdinfo/" + fd);
    std::string key, value;
    unsigned long flags = 0;
    while (info >> key >> value)
      if (key == "flags:") flags = std::stoul(value, nullptr, 8);
    struct stat target;
    if ((flags & O_ACCMODE) == O_WRONLY &&
        ::stat(entry.path().c_str(), &target) == 0 && S_ISREG(target.st_mode))
      size = target.st_size;
  }
  return size;
}

// exfat-fuse shows a file removed while still open as .fuse_hidden* until
// its last descriptor is closed, just after the process has ended.
std::vector<std::string> list_dir_settled(const std::string& dir) {
  for (int wait = 0; wait < 200; ++wait) {
    const std::vector<std::string> names = list_dir(dir);
    if (std::none_of(names.begin(), names.end(), [](const std::string& name) {
          return name.rfind(".fuse_hidden", 0) == 0;
        }))
      return names;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return list_dir(dir);
}

// Starts the tool on game.nds in `folder` and sends it `signal_number` as
// soon as `point` bytes of its output are written (at once for -1): the
// folder must then hold the inputs alone, or those and the whole
// `expected` output. True when the signal ended the run, false when the
// process outran it.
bool interrupt_at(const ToolFolder& folder, int signal_number, long long point,
                  const std::vector<uint8_t>& expected,
                  const std::vector<std::string>& inputs) {
  std::vector<std::string> with_output = inputs;
  with_output.push_back("game-arm7fixed.nds");
  std::sort(with_output.begin(), with_output.end());
  std::remove((folder.dir + "game-arm7fixed.nds").c_str());
  ToolRun run = start_tool(folder.tool, folder.dir, "game.nds", RLIM_INFINITY);
  while (point >= 0 && bytes_being_written(run.pid) < point &&
         still_running(run.pid)) {
  }
  ::kill(run.pid, signal_number);
  std::string printed;
  const int status = finish_tool(run, &printed);
  // Ended by the signal it was sent, as it would have been without the
  // tool's handler; never by another (a crash in the handler).
  const bool ended_by_signal = status < 0;
  if (ended_by_signal) {
    EXPECT_EQ(-signal_number, status);
  }
  const std::vector<std::string> left = list_dir_settled(folder.dir);
  if (left == with_output) {
    EXPECT_TRUE(file_bytes(folder.dir + "game-arm7fixed.nds") == expected);
  } else {
    EXPECT_EQ(inputs, left);
  }
  return ended_by_signal;
}

// 32 MiB, so the rebuild runs long enough to be caught in its stages.
const char* const kLongGame = R"(
    size 0x2000000
    arm7 0x4000 0x1000
    fnt 0x5000 0x40
    fat 0x5040 0x10
    banner 0x5100
    used 0x1F00000
    words 0x5040 0x6000 0x100000 0x100000 0x1F00000
    fill 0x1F00088 0x2000000 0xFF
  )";

bool sh(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A file system made for one test, as a user's SD card (exFAT, through a
// loop device and exfat-fuse) or a small RAM disk (tmpfs), unmounted and
// removed when it goes out of scope, also when the test fails. `dir` is
// empty, with the reason in `why`, where this machine cannot make one.
struct ScratchMount {
  std::string dir, why, image, device;

  ScratchMount(const std::string& kind, unsigned mebibytes) {
    const std::string base = make_scratch_dir();
    const std::string mount_point = base + "mnt";
    const std::string size = std::to_string(mebibytes) + "M";
    if (::geteuid() != 0) {
      why = "needs root to mount";
    } else if (!std::filesystem::create_directory(mount_point)) {
      why = "cannot make a mount point";
    } else if (kind == "tmpfs") {
      if (!sh("mount -t tmpfs -o size=" + size + " tmpfs " +
              shell_quote(mount_point)))
        why = "cannot mount tmpfs";
    } else if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
               !sh("command -v mkfs.exfat mount.exfat-fuse losetup")) {
      why = "needs /dev/fuse, exfat-fuse and exfatprogs";
    } else {
      image = base + "card.img";
      std::string out = base + "device";
      if (!sh("truncate -s " + size + " " + shell_quote(image)) ||
          std::system(("losetup -f --show " + shell_quote(image) + " >" +
                       shell_quote(out) + " 2>/dev/null")
                          .c_str()) != 0) {
        why = "no loop device";
      } else {
        std::vector<uint8_t> name = file_bytes(out);
        device.assign(name.begin(), name.end());
        while (!device.empty() && device.back() == '\n') device.pop_back();
        if (!sh("mkfs.exfat " + device) ||
            !sh("mount.exfat-fuse " + device + " " + shell_quote(mount_point)))
          why = "cannot make or mount exFAT";
      }
    }
    root = base;
    if (why.empty()) dir = mount_point + "/";
  }

  ~ScratchMount() {
    if (!dir.empty()) {
      // A FUSE file system may still be busy for a moment after its
      // last user ended.
      for (int i = 0; i < 50 && !sh("umount " + shell_quote(dir)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!device.empty()) sh("losetup -d " + device);
    remove_tree(root);
  }

  std::string root;
};

uint64_t free_bytes(const std::string& dir) {
  struct statvfs fs;
  if (::statvfs(dir.c_str(), &fs) != 0) return 0;
  return uint64_t(fs.f_bfree) * fs.f_frsize;
}

// An id no process has: that of a child that has ended and been reaped.
std::string ended_process_id() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return std::to_string(pid);
}

// 2^64 + `pid`: a number that, let wrap round, would name that process.
std::string past_counter(const std::string& pid) {
  unsigned __int128 number = (unsigned __int128)1 << 64;
  number += std::stoul(pid);
  std::string digits;
  for (; number != 0; number /= 10)
    digits.insert(digits.begin(), char('0' + int(number % 10)));
  return digits;
}

// Dates what is at `path` `age_seconds` back.
void age(const std::string& path, int age_seconds) {
  struct timeval now;
  ::gettimeofday(&now, nullptr);
  now.tv_sec -= age_seconds;
  const struct timeval times[2] = {now, now};
  EXPECT_EQ(0, ::utimes(path.c_str(), times)) << path;
}

// A temporary file of `bytes` bytes, last changed `age_seconds` ago, as a
// run cut short leaves it.
void leave(const std::string& path, size_t bytes, int age_seconds) {
  EXPECT_TRUE(write_bytes(path, std::vector<uint8_t>(bytes, 0xA5)));
  age(path, age_seconds);
}

std::string removed(const std::string& path, const char* size) {
  return formatted(message_leftover_removed, path.c_str(), size);
}

}  // namespace

TEST(Faults, AWriteFailingPartWayLeavesNoOutputAndNoTemporaryFile) {
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x2F0);
  for (const char* binary : {BRENVIK_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY}) {
    ToolFolder folder = tool_folder(binary);
    ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
    ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
    // The limits cut the header, the binary, the FAT and the tail.
    for (rlim_t limit : {rlim_t(0), rlim_t(0x100), rlim_t(0x500), rlim_t(0x800),
                         rlim_t(0x1000)}) {
      SCOPED_TRACE(std::string(binary) + " " + std::to_string(limit));
      ASSERT_TRUE(write_bytes(folder.dir + "game-arm7fixed.nds", {7, 7}));
      std::string output;
      ToolRun run = start_tool(folder.tool, folder.dir, "game.nds", limit);
      EXPECT_EQ(1, finish_tool(run, &output));
      // The Download Play line comes before the final chunk is written.
      EXPECT_TRUE(output == says({message_rebuilding, message_output_failed}) ||
                  output == says({message_rebuilding, message_download_play,
                                  message_output_failed}))
          << output;
      EXPECT_EQ((std::vector<std::string>{"arm7.bin", "brenvik", "game.nds"}),
                list_dir(folder.dir));
    }
    EXPECT_EQ(game, file_bytes(folder.dir + "game.nds"));
    EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
    remove_tree(folder.dir);
  }
}

// A run that meets one failed call, anywhere: it says so and leaves
// nothing, or the failure passes and the run writes the right bytes. Never
// a success with wrong bytes, never an arm7.bin that is not the donor's.
TEST(Faults, ACallThatFailsOnceFailsTheRunCleanlyOrPasses) {
  const std::vector<uint8_t> donor = image_from(kSampleDonor);
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::vector<uint8_t> arm7(donor.begin() + 0x800, donor.begin() + 0xB00);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  const std::vector<std::string> inputs = {"brenvik", "donor.nds", "game.nds"};
  std::vector<std::string> extracted = inputs, fixed = inputs;
  extracted.insert(extracted.begin(), "arm7.bin");
  fixed.insert(fixed.begin(), "arm7.bin");
  fixed.push_back("game-arm7fixed.nds");
  std::sort(fixed.begin(), fixed.end());
  std::string swept;
  for (const char* binary :
       {BRENVIK_FAULTS_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY})
    for (const char* copy : {"", "BRENVIK_PLAIN_COPY=1 "}) {
      ToolFolder folder = tool_folder(binary);
      ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", donor));
      ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
      for (const char* call : {"read", "write", "flush", "rename"}) {
        int n = 1, failed = 0;
        for (;; ++n) {
          SCOPED_TRACE(copy + std::string(binary) + " " + call + ":" +
                       std::to_string(n));
          ASSERT_LT(n, 500);
          remove_file(folder.dir + "arm7.bin");
          remove_file(folder.dir + "game-arm7fixed.nds");
          std::string output;
          const int status =
              run_tool(folder.tool, {"game.nds"}, folder.dir, &output,
                       copy + std::string("BRENVIK_FAULT=") + call + ":" +
                           std::to_string(n));
          const std::vector<std::string> left = list_dir(folder.dir);
          if (status % 100 == 0) {
            EXPECT_EQ(fixed, left);
            EXPECT_TRUE(file_bytes(folder.dir + "game-arm7fixed.nds") ==
                        expected);
            // A flush or a rename that failed cannot be made good.
            EXPECT_TRUE(status >= 100 || std::string(call) == "read" ||
                        std::string(call) == "write")
                << "a failed " << call << " passed";
          } else {
            ++failed;
            EXPECT_EQ(1, status) << output;
            EXPECT_TRUE(left == inputs || left == extracted) << output;
          }
          if (std::find(left.begin(), left.end(), "arm7.bin") != left.end()) {
            EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
          }
          if (status >= 100) break;  // the run made fewer such calls
        }
        // Every run makes each kind of call, and the first of them fails.
        EXPECT_LT(1, n) << "no " << call << " failed";
        swept += " " + std::string(call) + " " + std::to_string(n - 1) + " (" +
                 std::to_string(failed) + " failed)";
      }
      EXPECT_EQ(donor, file_bytes(folder.dir + "donor.nds"));
      EXPECT_EQ(game, file_bytes(folder.dir + "game.nds"));
      remove_tree(folder.dir);
      swept += ";";
    }
  std::printf("[ note ] calls failed once:%s\n", swept.c_str());
}

TEST(Faults, ADonorExtractionFailingPartWayLeavesNoBinary) {
  for (const char* binary : {BRENVIK_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY}) {
    ToolFolder folder = tool_folder(binary);
    const std::vector<uint8_t> donor = image_from(kSampleDonor);
    const std::vector<uint8_t> game = image_from(kSampleGame);
    ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", donor));
    ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
    for (rlim_t limit : {rlim_t(0), rlim_t(0x100), rlim_t(0x2FF)}) {
      SCOPED_TRACE(std::string(binary) + " " + std::to_string(limit));
      std::string output;
      ToolRun run = start_tool(folder.tool, folder.dir, "game.nds", limit);
      EXPECT_EQ(1, finish_tool(run, &output));
      EXPECT_EQ(says({naming(message_extracting, "donor.nds"),
                      message_arm7_not_written}),
                output);
      EXPECT_EQ((std::vector<std::string>{"brenvik", "donor.nds", "game.nds"}),
                list_dir(folder.dir));
    }
    EXPECT_EQ(donor, file_bytes(folder.dir + "donor.nds"));
    EXPECT_EQ(game, file_bytes(folder.dir + "game.nds"));
    remove_tree(folder.dir);
  }
}

TEST(Faults,
     KilledOrInterruptedAtAnyPointLeavesTheGameAndNothingOrAllOfItsOutput) {
  const std::vector<uint8_t> game = image_from(kLongGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  const std::vector<std::string> inputs = {"arm7.bin", "brenvik", "game.nds"};

  // On disk and, where there is one, on tmpfs; the tool as it is and the
  // test build that always takes a named temporary file, as on FAT cards.
  std::vector<std::string> places = {""};
  if (std::filesystem::is_directory("/dev/shm")) places.push_back("/dev/shm");
  std::string outcomes;
  for (const std::string& place : places) {
    for (const char* binary :
         {BRENVIK_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY}) {
      const bool named = binary != std::string(BRENVIK_BINARY);
      ToolFolder folder = tool_folder(binary, place);
      ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
      ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
      // A hard kill leaves a named temporary file behind; nothing can
      // remove it, which is why the tool avoids one where it can.
      std::vector<int> signals = {SIGINT, SIGTERM, SIGHUP};
      if (!named) signals.push_back(SIGKILL);
      for (int signal_number : signals) {
        // Kill points: at once, and when a quarter and three quarters of
        // the image are written. Runs the process outruns end normally.
        for (long long point : {-1LL, (long long)expected.size() / 4,
                                (long long)expected.size() * 3 / 4}) {
          SCOPED_TRACE(folder.dir + " signal " + std::to_string(signal_number) +
                       " at " + std::to_string(point));
          outcomes +=
              interrupt_at(folder, signal_number, point, expected, inputs)
                  ? " ended"
                  : " finished";
        }
      }
      EXPECT_TRUE(file_bytes(folder.dir + "game.nds") == game);
      EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
      remove_tree(folder.dir);
    }
  }
  std::printf("[ note ] the runs:%s\n", outcomes.c_str());
}

// A run outlives what started it, and its output comes whole: a reader of
// its messages that goes after three lines (`brenvik game.nds | head -n
// 3`), and the terminal of a nohup, whose hang-up it stays told to ignore.
TEST(Faults, ARunOutlivesAClosedPipeAndAHangUpItWasToldToIgnore) {
  const std::vector<uint8_t> game = image_from(kLongGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  for (bool hang_up : {false, true}) {
    SCOPED_TRACE(hang_up ? "hang-up" : "pipe");
    remove_file(folder.dir + "game-arm7fixed.nds");
    ToolRun run =
        start_tool(folder.tool, folder.dir, "game.nds", RLIM_INFINITY, hang_up);
    std::FILE* reader = ::fdopen(run.output, "r");
    char line[256];
    for (int i = 0; i < 3 && std::fgets(line, sizeof line, reader); ++i) {
    }
    if (hang_up) {
      while (bytes_being_written(run.pid) < (long long)expected.size() / 4 &&
             still_running(run.pid)) {
      }
      ::kill(run.pid, SIGHUP);
      while (std::fgets(line, sizeof line, reader)) {
      }
    }
    std::fclose(reader);
    int status = 0;
    ::waitpid(run.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(file_bytes(folder.dir + "game-arm7fixed.nds") == expected);
  }
  remove_tree(folder.dir);
}

TEST(Faults, LongNamesAndThingsThatAreNotFiles) {
  for (const char* binary : {BRENVIK_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY}) {
    SCOPED_TRACE(binary);
    ToolFolder folder = tool_folder(binary);
    ASSERT_TRUE(
        write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
    // 240 characters: its output name takes 250 of the 255 a name may have.
    const std::string name = std::string(236, 'g') + ".nds";
    ASSERT_TRUE(write_bytes(folder.dir + name, image_from(kSampleGame)));
    std::string output;
    EXPECT_EQ(0, run_tool(folder.tool, {name}, folder.dir, &output));
    const std::string fixed =
        folder.dir + std::string(236, 'g') + "-arm7fixed.nds";
    EXPECT_FALSE(file_bytes(fixed).empty());
    // An ordinary file, as the user's umask makes one.
    struct stat st;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ASSERT_EQ(0, ::stat(fixed.c_str(), &st));
    EXPECT_EQ(0666 & ~mask, st.st_mode & 07777);

    // A FIFO as the game is refused at once, as an unreadable game is.
    ASSERT_EQ(0, ::mkfifo((folder.dir + "fifo.nds").c_str(), 0644));
    EXPECT_EQ(1, run_tool(folder.tool, {"fifo.nds"}, folder.dir, &output));
    EXPECT_EQ(says({message_rebuilding, message_game_unopenable}), output);

    // A folder that holds the output's name is left as it is, and the
    // game is not fixed.
    ASSERT_TRUE(write_bytes(folder.dir + "held.nds", image_from(kSampleGame)));
    ASSERT_EQ(0, ::mkdir((folder.dir + "held-arm7fixed.nds").c_str(), 0755));
    ASSERT_TRUE(write_bytes(folder.dir + "held-arm7fixed.nds/inside", {1}));
    const std::vector<std::string> before = list_dir(folder.dir);
    EXPECT_EQ(1, run_tool(folder.tool, {"held.nds"}, folder.dir, &output));
    EXPECT_EQ(says({message_rebuilding, message_download_play,
                    message_output_failed}),
              output);
    EXPECT_EQ(before, list_dir(folder.dir));
    EXPECT_EQ(std::vector<uint8_t>{1},
              file_bytes(folder.dir + "held-arm7fixed.nds/inside"));
    remove_tree(folder.dir);
  }
  // A FIFO named arm7.bin is there but cannot be read, so no donor is
  // extracted over it; a FIFO named donor.nds cannot be read either.
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  ASSERT_EQ(0, ::mkfifo((folder.dir + "donor.nds").c_str(), 0644));
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({naming(message_extracting, "donor.nds"),
                  naming(message_unreadable, "donor.nds")}),
            output);
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(kSampleDonor)));
  ASSERT_EQ(0, ::mkfifo((folder.dir + "arm7.bin").c_str(), 0644));
  EXPECT_EQ(1, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, naming(message_unreadable, "arm7.bin")}),
            output);
  // --check, which reads no binary, says the same of it.
  EXPECT_EQ(
      1, run_tool(folder.tool, {"--check", "game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({"Replacement: arm7.bin, no SDK version.\n\n",
                  "Game: no SDK version.\n\n",
                  naming(message_unreadable, "arm7.bin")}),
            output);
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "brenvik", "donor.nds",
                                      "game.nds"}),
            list_dir(folder.dir));
  remove_tree(folder.dir);
}

TEST(Faults, GamesThroughALinkOrOnAnotherFileSystemComeOutRight) {
  ToolFolder folder = tool_folder();
  // A tail of more than two chunks, the signature in the final one, which
  // the copy between file systems reads in pieces as well.
  const std::vector<uint8_t> game = image_from(R"(
    size 0x1C00000
    arm7 0x400 0x100
    fnt 0x800 0x100
    fat 0xF00 0x100
    banner 0x1000
    used 0x1A00000
    files 32 0x1000 0x4000
    fill 0x1A00088 0x1C00000 0xFF
  )");
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);

  // Where /dev/shm exists it is another file system than the scratch
  // folder; elsewhere a second scratch folder stands in for it.
  std::string elsewhere =
      "/dev/shm/brenvik-fault-" + std::to_string(::getpid()) + "/";
  if (!std::filesystem::create_directories(elsewhere))
    elsewhere = make_scratch_dir();
  ASSERT_TRUE(write_bytes(elsewhere + "real.nds", game));
  ASSERT_EQ(0, ::symlink((elsewhere + "real.nds").c_str(),
                         (folder.dir + "linked.nds").c_str()));

  // The output goes beside the name the user gave: the link's folder.
  std::string output;
  ToolRun run =
      start_tool(folder.tool, folder.dir, "linked.nds", RLIM_INFINITY);
  EXPECT_EQ(0, finish_tool(run, &output));
  EXPECT_TRUE(file_bytes(folder.dir + "linked-arm7fixed.nds") == expected);

  run = start_tool(folder.tool, folder.dir, elsewhere + "real.nds",
                   RLIM_INFINITY);
  EXPECT_EQ(0, finish_tool(run, &output));
  EXPECT_TRUE(file_bytes(elsewhere + "real-arm7fixed.nds") == expected);

  EXPECT_EQ(game, file_bytes(elsewhere + "real.nds"));
  EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
  EXPECT_EQ((std::vector<std::string>{"real-arm7fixed.nds", "real.nds"}),
            list_dir(elsewhere));
  remove_tree(elsewhere);
  remove_tree(folder.dir);
}

// On a user's SD card: exFAT through exfat-fuse, which takes neither a file
// without a name nor a reservation, so the named temporary and the plain
// writes are what run there.
TEST(Card, OnExfatGamesComeOutAsOnDiskWithTheDonorOnTheCard) {
  ScratchMount card("exfat", 64);
  if (card.dir.empty()) GTEST_SKIP() << card.why;
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::string unicode = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Spiel";
  ToolFolder disk = tool_folder();
  ToolFolder on_card = tool_folder(BRENVIK_BINARY, card.dir);
  for (const ToolFolder* folder : {&disk, &on_card}) {
    ASSERT_TRUE(
        write_bytes(folder->dir + "donor.nds", image_from(kSampleDonor)));
    ASSERT_TRUE(write_bytes(folder->dir + "game.nds", game));
    ASSERT_TRUE(write_bytes(folder->dir + unicode + ".nds", game));
    std::string output;
    EXPECT_EQ(0, run_tool(folder->tool, {"game.nds", unicode + ".nds"},
                          folder->dir, &output));
  }
  const std::vector<std::string> names = {
      "game-arm7fixed.nds", unicode + "-arm7fixed.nds", "arm7.bin"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(file_bytes(disk.dir + name).empty());
    EXPECT_EQ(file_bytes(disk.dir + name), file_bytes(on_card.dir + name));
  }
  EXPECT_EQ(list_dir(disk.dir), list_dir_settled(on_card.dir));
  EXPECT_EQ(game, file_bytes(on_card.dir + "game.nds"));

  // Success is said only once the new name is on the card, or the disk:
  // the folder is flushed after the rename, or the link that names a file
  // made without a name.
  if (sh("command -v strace")) {
    for (const ToolFolder* folder : {&on_card, &disk}) {
      const std::string trace = disk.dir + "trace";
      std::string output;
      EXPECT_EQ(0, run_tool(folder->tool, {"game.nds"}, folder->dir, &output,
                            "strace -qq -e trace=fallocate,rename,renameat,"
                            "renameat2,linkat,fsync,openat -o " +
                                shell_quote(trace)));
      std::ifstream lines(trace);
      std::string calls;
      for (std::string line; std::getline(lines, line);) {
        // The output's size is asked to be set aside, though exfat-fuse
        // cannot.
        if (line.find("fallocate") == 0) calls += "reserve ";
        if (line.find("rename") != std::string::npos) calls += "rename ";
        if (line.find("linkat") == 0) calls += "link ";
        if (line.find("O_DIRECTORY") != std::string::npos) calls += "folder ";
        if (line.find("fsync") == 0) calls += "fsync ";
      }
      const std::string named = folder == &disk ? "link" : "rename";
      EXPECT_NE(std::string::npos, calls.find(named + " folder fsync"))
          << calls;
      if (folder == &on_card) {
        EXPECT_LT(calls.find("reserve"), calls.find(named)) << calls;
      }
      remove_file(trace);
    }
  }
  remove_tree(disk.dir);
}

TEST(Card, InterruptedOnExfatLeavesNothingBehind) {
  ScratchMount card("exfat", 128);
  if (card.dir.empty()) GTEST_SKIP() << card.why;
  const std::vector<uint8_t> game = image_from(kLongGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  ToolFolder folder = tool_folder(BRENVIK_BINARY, card.dir);
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  std::string outcomes;
  for (int signal_number : {SIGINT, SIGTERM}) {
    for (long long point :
         {(long long)expected.size() / 4, (long long)expected.size() * 3 / 4}) {
      SCOPED_TRACE("signal " + std::to_string(signal_number) + " at " +
                   std::to_string(point));
      outcomes += interrupt_at(folder, signal_number, point, expected,
                               {"arm7.bin", "brenvik", "game.nds"})
                      ? " ended"
                      : " finished";
    }
  }
  EXPECT_TRUE(file_bytes(folder.dir + "game.nds") == game);
  std::printf("[ note ] the runs on exFAT:%s\n", outcomes.c_str());
}

// A card filled by what a run cut short left: the next run clears it
// first, and the game fits.
TEST(Card, ALeftoverThatFillsTheCardIsClearedAndTheGameFits) {
  ScratchMount card("tmpfs", 24);
  if (card.dir.empty()) GTEST_SKIP() << card.why;
  const std::vector<uint8_t> game = image_from(R"(
    size 0x600000
    arm7 0x4000 0x1000
    fnt 0x5000 0x40
    fat 0x5040 0x10
    banner 0x5100
    used 0x500000
    words 0x5040 0x6000 0x100000 0x100000 0x500000
    fill 0x500088 0x600000 0xFF
  )");
  ToolFolder tool = tool_folder();
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  ASSERT_TRUE(write_bytes(tool.dir + "arm7.bin", arm7));
  ASSERT_TRUE(write_bytes(card.dir + "game.nds", game));
  const std::string leftover =
      card.dir + ".brenvik-" + ended_process_id() + "-0.tmp";
  leave(leftover, 16 << 20, 3600);
  std::string output;
  // Memory is no medium: nothing is read back from it.
  const std::string trace = tool.dir + "trace";
  const bool traced = sh("command -v strace");
  EXPECT_EQ(0, run_tool(tool.tool, {card.dir + "game.nds"}, tool.dir, &output,
                        traced ? "strace -qq -e trace=openat,fadvise64 -o " +
                                     shell_quote(trace)
                               : ""));
  EXPECT_EQ(says({removed(leftover, "16 MiB").c_str(), message_rebuilding,
                  message_download_play, message_success}),
            output);
  if (traced) {
    const std::vector<uint8_t> calls = file_bytes(trace);
    const std::string text(calls.begin(), calls.end());
    EXPECT_EQ(std::string::npos, text.find("O_DIRECT|")) << text;
    EXPECT_EQ(std::string::npos, text.find("/proc/self/fd")) << text;
    EXPECT_EQ(std::string::npos, text.find("fadvise")) << text;
    remove_file(trace);
  }
  EXPECT_EQ((std::vector<std::string>{"game-arm7fixed.nds", "game.nds"}),
            list_dir(card.dir));
  bool trimmed = false;
  EXPECT_TRUE(file_bytes(card.dir + "game-arm7fixed.nds") ==
              reference_rebuild(game, arm7, &trimmed));
  remove_tree(tool.dir);
}

// A card with too little room for the output: refused before a single
// byte is written, so no file is even created, and the card is as it was.
TEST(Card, TooSmallFullOrLockedIsSaidAndLeftAsItWas) {
  const bool traced = sh("command -v strace");
  for (const char* kind : {"exfat", "tmpfs"}) {
    SCOPED_TRACE(kind);
    ScratchMount card(kind, 24);
    if (card.dir.empty()) {
      std::printf("[ skip ] %s: %s\n", kind, card.why.c_str());
      continue;
    }
    // 14 MiB, of which the output keeps 13: the two do not fit 24 MiB.
    const std::vector<uint8_t> game = image_from(R"(
      size 0xE00000
      arm7 0x4000 0x1000
      fnt 0x5000 0x40
      fat 0x5040 0x10
      banner 0x5100
      used 0xD00000
      words 0x5040 0x6000 0x100000 0x100000 0xD00000
      fill 0xD00088 0xE00000 0xFF
    )");
    ToolFolder tool = tool_folder();
    ASSERT_TRUE(write_bytes(tool.dir + "arm7.bin", replacement_binary(0x1234)));
    ASSERT_TRUE(write_bytes(card.dir + "game.nds", game));
    const uint64_t free_before = free_bytes(card.dir);
    const std::string trace = tool.dir + "trace";
    std::string output;
    EXPECT_EQ(1,
              run_tool(tool.tool, {card.dir + "game.nds"}, tool.dir, &output,
                       traced ? "strace -f -qq -e trace=open,openat,creat -o " +
                                    shell_quote(trace)
                              : ""));
    EXPECT_EQ(says({message_rebuilding, message_output_failed}), output);
    EXPECT_EQ(std::vector<std::string>{"game.nds"}, list_dir_settled(card.dir));
    EXPECT_EQ(free_before, free_bytes(card.dir));
    EXPECT_TRUE(file_bytes(card.dir + "game.nds") == game);
    if (traced) {
      std::ifstream lines(trace);
      for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(std::string::npos, line.find("O_CREAT")) << line;
        EXPECT_EQ(std::string::npos, line.find("O_TMPFILE")) << line;
      }
    }

    // A donor's binary taken for one run goes to a scratch file in TMPDIR,
    // here the card: one without a name, or unlinked at once, so nothing
    // of it stays. One that does not fit is said, with where it was put
    // (on tmpfs, which refuses the write itself; exfat-fuse may take it
    // into the cache and fail only the write-back).
    ASSERT_TRUE(write_bytes(tool.dir + "game.nds", image_from(kSampleGame)));
    ASSERT_TRUE(write_bytes(tool.dir + "donor.nds", image_from(kSampleDonor)));
    const std::string scratch_on_card = "TMPDIR=" + shell_quote(card.dir);
    EXPECT_EQ(0, run_tool(tool.tool, {"--donor", "donor.nds", "game.nds"},
                          tool.dir, &output, scratch_on_card));
    if (kind == std::string("tmpfs")) {
      ASSERT_TRUE(
          write_bytes(tool.dir + "large.nds",
                      image_from("size 0xD00000\narm7 0x4000 0xC00000")));
      EXPECT_EQ(1, run_tool(tool.tool, {"--donor", "large.nds", "game.nds"},
                            tool.dir, &output, scratch_on_card));
      EXPECT_EQ(says({naming(message_scratch_unavailable, card.dir)}), output);
    }
    EXPECT_EQ(std::vector<std::string>{"game.nds"}, list_dir_settled(card.dir));

    // A card whose lock switch is on takes nothing, not even a game that
    // fits, on either way of writing: said, and left as it was.
    ASSERT_TRUE(write_bytes(card.dir + "small.nds", image_from(kSampleGame)));
    if (kind == std::string("tmpfs") &&
        sh("mount -o remount,ro " + shell_quote(card.dir))) {
      for (const char* binary :
           {BRENVIK_BINARY, BRENVIK_NAMED_TEMPORARY_BINARY}) {
        ToolFolder locked = tool_folder(binary);
        ASSERT_TRUE(
            write_bytes(locked.dir + "arm7.bin", replacement_binary(0x1234)));
        EXPECT_EQ(1, run_tool(locked.tool, {card.dir + "small.nds"}, locked.dir,
                              &output))
            << binary;
        EXPECT_EQ(says({message_rebuilding, message_output_failed}), output);
        remove_tree(locked.dir);
      }
      EXPECT_EQ((std::vector<std::string>{"game.nds", "small.nds"}),
                list_dir(card.dir));
    }
    remove_tree(tool.dir);
  }
}

// A fake card (tests/fake_card.cc) with ext4 on it, through a loop device
// that reads and writes the card directly, so no cache but the file
// system's own lies between the tool and the card. `dir` is empty, with the
// reason in `why`, where this machine cannot make one.
struct FakeCard {
  std::string root, card, dir, device, why;
  pid_t server = -1;

  explicit FakeCard(unsigned mebibytes) {
    root = make_scratch_dir();
    card = root + "card/";
    const std::string mount_point = root + "mnt";
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
        std::string(BRENVIK_FAKE_CARD).empty()) {
      why = "needs root, /dev/fuse and libfuse3-dev";
      return;
    }
    ::mkdir(card.c_str(), 0755);
    ::mkdir(mount_point.c_str(), 0755);
    server = ::fork();
    if (server == 0) {
      ::execl(BRENVIK_FAKE_CARD, BRENVIK_FAKE_CARD, card.c_str(),
              std::to_string(mebibytes).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 100 && !sh("test -f " + card + "card.img"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string out = root + "device";
    if (std::system(("losetup -f --show --direct-io=on " + card +
                     "card.img >" + out + " 2>/dev/null")
                        .c_str()) != 0) {
      why = "no loop device";
      return;
    }
    const std::vector<uint8_t> name = file_bytes(out);
    device.assign(name.begin(), name.end() - 1);
    // A loop device may fall back to the cache without a word.
    const std::vector<uint8_t> dio = file_bytes(
        "/sys/block/" + device.substr(device.rfind('/') + 1) + "/loop/dio");
    EXPECT_EQ("1\n", std::string(dio.begin(), dio.end()));
    if (!sh("mkfs.ext4 -q -b 4096 -E "
            "lazy_itable_init=0,lazy_journal_init=0,nodiscard " +
            device) ||
        !sh("mount " + device + " " + mount_point)) {
      why = "cannot make or mount ext4";
      return;
    }
    dir = mount_point + "/";
  }

  // Takes the card out and puts it back: nothing the system cached of it
  // is left.
  void remount() {
    EXPECT_TRUE(sh("umount " + dir + " && mount " + device + " " + dir));
  }
  // From now on the card drops writes to blocks never written before;
  // what was written so far is on it first.
  void trigger() {
    EXPECT_TRUE(sh("sync"));
    const int control = ::open((card + "control").c_str(), O_WRONLY);
    EXPECT_EQ(7, ::write(control, "trigger", 7));
    ::close(control);
  }
  uint64_t bytes_read() {
    const std::vector<uint8_t> count = file_bytes(card + "control");
    return std::stoull(std::string(count.begin(), count.end()));
  }

  ~FakeCard() {
    if (!dir.empty()) sh("umount " + dir);
    if (!device.empty()) sh("losetup -d " + device);
    if (server > 0) {
      for (int i = 0; i < 50 && !sh("umount " + card); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ::waitpid(server, nullptr, 0);
    }
    remove_tree(root);
  }
};

// Success means the card holds the fixed game: what a card did not keep is
// refused before it gets its name, and --verify finds later what changed.
TEST(Card, AGameTheCardDidNotKeepIsRefusedAndVerifyFindsAChangedByte) {
  FakeCard good(48), bad(48);
  if (good.dir.empty() || bad.dir.empty())
    GTEST_SKIP() << good.why << bad.why;
  const std::vector<uint8_t> game = image_from(R"(
    size 0x400000
    arm7 0x4000 0x1000
    fnt 0x5000 0x40
    fat 0x5040 0x10
    banner 0x5100
    used 0x380000
    words 0x5040 0x6000 0x100000 0x100000 0x380000
    fill 0x380088 0x400000 0xFF
  )");
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  ToolFolder tool = tool_folder();
  ASSERT_TRUE(write_bytes(tool.dir + "arm7.bin", arm7));
  for (FakeCard* card : {&good, &bad})
    ASSERT_TRUE(write_bytes(card->dir + "game.nds", game));
  bad.trigger();
  const std::string on_good = good.dir + "game.nds",
                    fixed = good.dir + "game-arm7fixed.nds";

  // Read back, the run reads the output once more from the card.
  std::string output;
  good.remount();
  uint64_t before = good.bytes_read();
  EXPECT_EQ(0, run_tool(tool.tool, {"--no-verify", on_good}, tool.dir, &output));
  const uint64_t unverified = good.bytes_read() - before;
  ASSERT_EQ(0, std::remove(fixed.c_str()));
  good.remount();
  bad.remount();
  before = good.bytes_read();
  EXPECT_EQ(1, run_tool(tool.tool, {on_good, bad.dir + "game.nds"}, tool.dir,
                        &output));
  // A few blocks of the file system's own may be read in one run and not
  // the other.
  EXPECT_GE(good.bytes_read() - before, unverified + expected.size() - 0x4000);
  EXPECT_TRUE(file_bytes(fixed) == expected);
  // The card kept none of the new blocks: they read as zeros.
  const size_t first_data = size_t(
      std::find_if(expected.begin(), expected.end(), [](uint8_t b) { return b; }) -
      expected.begin());
  const std::string refusal =
      named(message_read_back_differs, difference_text(first_data));
  EXPECT_NE(std::string::npos, output.find(refusal)) << output;
  EXPECT_NE(std::string::npos,
            output.find(std::string(message_not_fixed) + bad.dir + "game.nds"))
      << output;
  bad.remount();
  EXPECT_EQ((std::vector<std::string>{"game.nds", "lost+found"}),
            list_dir(bad.dir));
  EXPECT_TRUE(file_bytes(bad.dir + "game.nds") == game);

  // Later, with the card put back: what it holds, and a byte it lost.
  good.remount();
  EXPECT_EQ(0, run_tool(tool.tool, {"--verify", on_good}, tool.dir, &output));
  EXPECT_EQ(says({naming(message_verify_same, fixed),
                  formatted(message_verify_count, size_t(1), size_t(1)).c_str()}),
            output);
  const int fd = ::open(fixed.c_str(), O_WRONLY);
  const uint8_t changed = uint8_t(expected[0x234567] ^ 0x10);
  EXPECT_EQ(1, ::pwrite(fd, &changed, 1, 0x234567));
  ::fsync(fd);
  ::close(fd);
  good.remount();
  EXPECT_EQ(1, run_tool(tool.tool, {"--verify", on_good}, tool.dir, &output));
  EXPECT_NE(std::string::npos,
            output.find(formatted(message_verify_differs, fixed.c_str(),
                                  "0x00234567")))
      << output;
  remove_tree(tool.dir);
}

TEST(Faults, WhatAnInterruptedRunLeftIsClearedByTheNextAndNothingElse) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  const std::string dead = ended_process_id();
  // A live process, ended however the test ends; it holds no pipe of ours.
  struct Sleeper {
    pid_t pid = ::fork();
    Sleeper() {
      if (pid != 0) return;
      const int null = ::open("/dev/null", O_RDWR);
      for (int fd : {0, 1, 2}) ::dup2(null, fd);
      ::execlp("sleep", "sleep", "120", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ~Sleeper() {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  } sleeper;
  const std::string leftover = ".brenvik-" + dead + "-0.tmp";
  leave(folder.dir + leftover, 12 << 10, 120);
  // A live run's file, one a run elsewhere changed a second ago, names no
  // run writes (another tool's, no number, a process id no process has,
  // one past the counter or a pid_t), and a folder of a leftover's name
  // stay.
  const std::vector<std::string> kept = {
      ".brenvik-" + std::to_string(sleeper.pid) + "-0.tmp",
      ".brenvik-" + dead + "-1.tmp",
      ".brenvik-x-0.tmp",
      ".brenvik-" + dead + "-0.tmp.part",
      ".brenvik--0.tmp",
      ".brenvik-" + dead + "-.tmp",
      ".brenvik-0-0.tmp",
      ".brenvik-" + past_counter(dead) + "-0.tmp",
      ".brenvik-4294967296" + dead + "-0.tmp"};
  for (const std::string& name : kept) leave(folder.dir + name, 100, 120);
  age(folder.dir + kept[1], 1);
  const std::string folder_named = ".brenvik-" + dead + "-2.tmp";
  ASSERT_EQ(0, ::mkdir((folder.dir + folder_named).c_str(), 0755));
  age(folder.dir + folder_named, 120);
  const std::vector<std::string> before = list_dir(folder.dir);

  // --check names what a run would remove, and removes nothing.
  std::string output;
  EXPECT_EQ(
      0, run_tool(folder.tool, {"--check", "game.nds"}, folder.dir, &output));
  EXPECT_EQ(0u, output.find(says({"Replacement: arm7.bin, no SDK version.\n\n",
                                  "Game: no SDK version.\n\n",
                                  formatted(message_leftover_would_remove,
                                            leftover.c_str(), "12 KiB")
                                      .c_str()})))
      << output;
  EXPECT_EQ(before, list_dir(folder.dir));
  // A folder is looked at once in a run, however many games it holds.
  EXPECT_EQ(0, run_tool(folder.tool, {"--check", "game.nds", "game.nds"},
                        folder.dir, &output));
  const std::string would = formatted(message_leftover_would_remove,
                                      leftover.c_str(), "12 KiB");
  EXPECT_EQ(output.find(would), output.rfind(would)) << output;
  EXPECT_NE(std::string::npos, output.find(would)) << output;

  // The run removes it, and says so before it rebuilds.
  EXPECT_EQ(0, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({removed(leftover, "12 KiB").c_str(), message_rebuilding,
                  message_download_play, message_success}),
            output);
  std::vector<std::string> after = kept;
  after.insert(after.end(), {folder_named, "arm7.bin", "brenvik",
                             "game-arm7fixed.nds", "game.nds"});
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, list_dir(folder.dir));

  // Beside the tool, before a donor's binary is taken into arm7.bin there.
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(kSampleDonor)));
  for (const auto& [size, said] :
       {std::pair<int, const char*>{1 << 20, "1 MiB"},
        {1 << 10, "1 KiB"},
        {1023, "1023 bytes"}}) {
    leave(folder.dir + leftover, size, 120);
    ASSERT_TRUE(remove_file(folder.dir + "arm7.bin"));
    EXPECT_EQ(0, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
    EXPECT_EQ(says({removed(folder.dir + leftover, said).c_str(),
                    naming(message_extracting, "donor.nds"), message_rebuilding,
                    message_download_play, message_success}),
              output);
  }

  // After a reboot a run may have the id of the run the power cut ended:
  // a file of its own id that it did not make is that run's. Here the run
  // is process 1 of a process namespace of its own.
  if (::system("unshare -p -f --mount-proc true 2>/dev/null") != 0) {
    remove_tree(folder.dir);
    GTEST_SKIP() << "no process namespace can be made here; skipped";
  }
  const std::string booted = folder.dir + "booted/";
  ASSERT_EQ(0, ::mkdir(booted.c_str(), 0755));
  ASSERT_TRUE(write_bytes(booted + "game.nds", image_from(kSampleGame)));
  leave(booted + ".brenvik-1-0.tmp", 2048, 120);
  EXPECT_EQ(0, run_tool(folder.tool, {"booted/game.nds"}, folder.dir, &output,
                        "unshare -p -f --mount-proc"));
  EXPECT_EQ(says({removed("booted/.brenvik-1-0.tmp", "2 KiB").c_str(),
                  message_rebuilding, message_download_play, message_success}),
            output);
  EXPECT_EQ((std::vector<std::string>{"game-arm7fixed.nds", "game.nds"}),
            list_dir(booted));
  remove_tree(folder.dir);
}

// Ctrl+C must stop a run at any point: making a temporary file blocks the
// signals only for the moment its name is recorded.
TEST(Faults, MakingATemporaryFileLeavesTheSignalsAsTheyWere) {
  const std::string dir = make_scratch_dir();
  for (bool unnamed : {true, false}) {
    unnamed_files_enabled = unnamed;
    NewFile file;
    ASSERT_TRUE(begin_new_file(dir + "game-arm7fixed.nds", &file));
    sigset_t blocked;
    ASSERT_EQ(0, ::sigprocmask(SIG_BLOCK, nullptr, &blocked));
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
      EXPECT_FALSE(sigismember(&blocked, signal_number)) << signal_number;
    abandon_new_file(&file);
  }
  unnamed_files_enabled = true;
  EXPECT_TRUE(list_dir(dir).empty());
  remove_tree(dir);
}
