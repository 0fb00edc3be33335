// The built tool under faults a user's machine produces: a disk that fills
// part-way, a process killed mid-run, games reached through links and
// other file systems. Whatever happens, the output name holds nothing or
// the complete image, no temporary file is left by a failure the tool sees,
// and the game, the donor and arm7.bin are never changed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>

#include "cli/driver.h"
#include "cli/extract_arm7.h"
#include "reference_rebuild.h"
#include "rom/files.h"
#include "rom/messages.h"
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
// limit too), with writes past `file_size_limit` bytes failing with EFBIG
// (SIGXFSZ ignored, as a shell with `ulimit -f` and `trap '' XFSZ` would
// start it).
ToolRun start_tool(const std::string& tool, const std::string& dir,
               const std::string& game, rlim_t file_size_limit) {
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
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {file_size_limit, file_size_limit};
  if (file_size_limit != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &limit);
  ::execl(tool.c_str(), tool.c_str(), game.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

// What the tool printed and its exit status; -1 when a signal ended it.
int finish_tool(ToolRun run, std::string* output) {
  output->clear();
  char piece[4096];
  ssize_t n;
  while ((n = ::read(run.output, piece, sizeof piece)) > 0)
    output->append(piece, size_t(n));
  ::close(run.output);
  int status = 0;
  ::waitpid(run.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}


// True until the process ends; it is not reaped here, so its status stays
// for finish_tool.
bool still_running(pid_t pid) {
  siginfo_t info = {};
  if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    return false;
  return info.si_pid == 0;
}

bool is_temporary(const std::string& name) {
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The size of the tool's temporary file in `dir`, or -1 while there is none.
long long temporary_size(const std::string& dir) {
  for (const std::string& name : list_dir(dir)) {
    if (is_temporary(name)) {
      struct stat info;
      if (::stat((dir + name).c_str(), &info) == 0) return info.st_size;
    }
  }
  return -1;
}

bool on_one_file_system(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 &&
         x.st_dev == y.st_dev;
}

}  // namespace

TEST(Faults, AWriteFailingPartWayLeavesNoOutputAndNoTemporaryFile) {
  ToolFolder folder = tool_folder();
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x2F0);
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  // The limits cut the header, the binary, the FAT and the tail.
  for (rlim_t limit : {rlim_t(0), rlim_t(0x100), rlim_t(0x500), rlim_t(0x800),
                       rlim_t(0x1000)}) {
    SCOPED_TRACE(limit);
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

TEST(Faults, ADonorExtractionFailingPartWayLeavesNoBinary) {
  ToolFolder folder = tool_folder();
  const std::vector<uint8_t> donor = image_from(kSampleDonor);
  const std::vector<uint8_t> game = image_from(kSampleGame);
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", donor));
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
  for (rlim_t limit : {rlim_t(0), rlim_t(0x100), rlim_t(0x2FF)}) {
    SCOPED_TRACE(limit);
    std::string output;
    ToolRun run = start_tool(folder.tool, folder.dir, "game.nds", limit);
    EXPECT_EQ(1, finish_tool(run, &output));
    EXPECT_EQ(says({message_extracting, message_arm7_not_written}), output);
    EXPECT_EQ((std::vector<std::string>{"brenvik", "donor.nds", "game.nds"}),
              list_dir(folder.dir));
  }
  EXPECT_EQ(donor, file_bytes(folder.dir + "donor.nds"));
  EXPECT_EQ(game, file_bytes(folder.dir + "game.nds"));
  remove_tree(folder.dir);
}

TEST(Faults, KilledAtAnyPointTheOutputNameHoldsNothingOrTheWholeImage) {
  // 64 MiB, so the rebuild runs long enough to be caught in its stages.
  const std::vector<uint8_t> game = image_from(R"(
    size 0x4000000
    arm7 0x4000 0x1000
    fnt 0x5000 0x40
    fat 0x5040 0x10
    banner 0x5100
    used 0x3F00000
    words 0x5040 0x6000 0x100000 0x100000 0x3F00000
    fill 0x3F00088 0x4000000 0xFF
  )");
  const std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  const std::string output_path = folder.dir + "game-arm7fixed.nds";

  // Kill points: at once, when the temporary file appears, when it holds a
  // quarter and three quarters of the image, and after the rename. Those
  // the process outruns end in a normal exit; each outcome is checked.
  const long long points[] = {-2, 0, (long long)expected.size() / 4,
                              (long long)expected.size() * 3 / 4, -1};
  std::string outcomes;
  for (long long point : points) {
    SCOPED_TRACE(point);
    std::remove(output_path.c_str());
    ToolRun run = start_tool(folder.tool, folder.dir, "game.nds", RLIM_INFINITY);
    if (point == -1) {
      while (::access(output_path.c_str(), F_OK) != 0 &&
             still_running(run.pid)) {
      }
    } else if (point >= 0) {
      while (temporary_size(folder.dir) < point &&
             ::access(output_path.c_str(), F_OK) != 0 &&
             still_running(run.pid)) {
      }
    }
    ::kill(run.pid, SIGKILL);
    std::string printed;
    const bool was_killed = finish_tool(run, &printed) == -1;
    std::vector<uint8_t> written = file_bytes(output_path);
    if (!written.empty()) {
      EXPECT_TRUE(written == expected);
    }
    outcomes += std::string(was_killed ? " killed" : " exited") +
                (written.empty() ? "/no output" : "/complete output");
    // A killed run may leave its temporary file; it never has the output's
    // name, and the next run picks another.
    for (const std::string& name : list_dir(folder.dir))
      if (is_temporary(name)) std::remove((folder.dir + name).c_str());
    EXPECT_TRUE(file_bytes(folder.dir + "game.nds") == game);
    EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
  }
  std::printf("[ note ] the five runs:%s\n", outcomes.c_str());
  remove_tree(folder.dir);
}

TEST(Faults, GamesThroughALinkOrOnAnotherFileSystemComeOutRight) {
  ToolFolder folder = tool_folder();
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x2F0);
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", arm7));
  bool trimmed = false;
  const std::vector<uint8_t> expected = reference_rebuild(game, arm7, &trimmed);

  // Where /dev/shm exists it is another file system than the scratch
  // folder; elsewhere a second scratch folder stands in for it.
  std::string elsewhere = "/dev/shm/brenvik-fault-" + std::to_string(::getpid()) + "/";
  if (!std::filesystem::create_directories(elsewhere)) elsewhere = make_scratch_dir();
  ASSERT_TRUE(write_bytes(elsewhere + "real.nds", game));
  ASSERT_EQ(0, ::symlink((elsewhere + "real.nds").c_str(),
                         (folder.dir + "linked.nds").c_str()));

  // The output goes beside the name the user gave: the link's folder.
  std::string output;
  ToolRun run = start_tool(folder.tool, folder.dir, "linked.nds", RLIM_INFINITY);
  EXPECT_EQ(0, finish_tool(run, &output));
  EXPECT_TRUE(file_bytes(folder.dir + "linked-arm7fixed.nds") == expected);

  run = start_tool(folder.tool, folder.dir, elsewhere + "real.nds", RLIM_INFINITY);
  EXPECT_EQ(0, finish_tool(run, &output));
  EXPECT_TRUE(file_bytes(elsewhere + "real-arm7fixed.nds") == expected);

  EXPECT_EQ(game, file_bytes(elsewhere + "real.nds"));
  EXPECT_EQ(arm7, file_bytes(folder.dir + "arm7.bin"));
  EXPECT_EQ((std::vector<std::string>{"real-arm7fixed.nds", "real.nds"}),
            list_dir(elsewhere));
  remove_tree(elsewhere);
  remove_tree(folder.dir);
}

TEST(Faults, ALongTailLinkedFromAnotherFileSystemRebuildsTheSame) {
  std::string disk = make_scratch_dir();
  std::string memory = "/dev/shm/brenvik-test-" + std::to_string(::getpid()) + "/";
  if (::mkdir(memory.c_str(), 0755) != 0 || on_one_file_system(disk, memory)) {
    remove_tree(disk);
    remove_tree(memory);
    GTEST_SKIP() << "needs /dev/shm on a file system of its own";
  }
  // A tail of more than two chunks, the signature in the final one.
  std::vector<uint8_t> game = image_from(R"(
    size 0x1C00000
    arm7 0x400 0x100
    fnt 0x800 0x100
    fat 0xF00 0x100
    banner 0x1000
    used 0x1A00000
    files 32 0x1000 0x4000
    fill 0x1A00088 0x1C00000 0xFF
  )");
  std::vector<uint8_t> arm7 = replacement_binary(0x1234);
  ASSERT_TRUE(write_bytes(memory + "game.nds", game));
  ASSERT_EQ(0, ::symlink((memory + "game.nds").c_str(), (disk + "game.nds").c_str()));
  ASSERT_TRUE(write_bytes(disk + "arm7.bin", arm7));
  arm7_path = disk + "arm7.bin";
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, rebuild_game(disk + "game-arm7fixed.nds", disk + "game.nds"));
  testing::internal::GetCapturedStdout();
  bool trimmed;
  EXPECT_TRUE(reference_rebuild(game, arm7, &trimmed) ==
              file_bytes(disk + "game-arm7fixed.nds"));
  EXPECT_EQ(game, file_bytes(memory + "game.nds"));
  remove_tree(disk);
  remove_tree(memory);
}
