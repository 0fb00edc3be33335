#include "rom/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reference_rebuild.h"
#include "rom/platform.h"
#include "rom/rebuild.h"
#include "scratch.h"
#include "test_image.h"

namespace {

// Copies `length` bytes at odd offsets between two scratch files and
// returns what the output holds.
std::vector<uint8_t> copy_between(const std::string& in_path,
                                  const std::string& out_path, uint64_t length,
                                  IoStatus* status) {
  std::FILE* in = open_for_reading(in_path);
  remove_file(out_path);
  std::FILE* out = create_new_file(out_path);
  std::vector<uint8_t> buffer(4096);
  EXPECT_EQ(io_ok, write_all(out, reinterpret_cast<const uint8_t*>("head"), 4));
  *status = copy_bytes(in, 3, out, 4, length, buffer.data(), buffer.size());
  std::fclose(out);
  std::fclose(in);
  return file_bytes(out_path);
}

bool on_one_file_system(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 &&
         x.st_dev == y.st_dev;
}

}  // namespace

TEST(CopyBytes, KernelAndPlainPathsWriteTheSameBytesAndReportShortInput) {
  std::string dir = make_scratch_dir();
  std::vector<uint8_t> source = image_from("size 100000\nnocrc");
  ASSERT_TRUE(write_bytes(dir + "in", source));
  std::vector<uint8_t> expected = {'h', 'e', 'a', 'd'};
  expected.insert(expected.end(), source.begin() + 3, source.begin() + 3 + 99990);
  for (bool kernel : {true, false}) {
    kernel_copy_enabled = kernel;
    IoStatus status;
    EXPECT_EQ(expected, copy_between(dir + "in", dir + "out", 99990, &status));
    EXPECT_EQ(io_ok, status);
    // Asked for more than the input holds: whatever the kernel managed,
    // the rest must be found missing.
    copy_between(dir + "in", dir + "out", 100000, &status);
    EXPECT_EQ(io_short_read, status) << "kernel copy " << kernel;
  }
  kernel_copy_enabled = true;
  remove_tree(dir);
}

TEST(CopyBytes, AGameLinkedFromAnotherFileSystemRebuildsTheSame) {
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
