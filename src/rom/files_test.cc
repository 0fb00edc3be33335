// Tests of the block transfers between files.
#include "rom/files.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
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

}  // namespace

TEST(CopyBytes, KernelAndPlainPathsWriteTheSameBytesAndReportShortInput) {
  std::string dir = make_scratch_dir();
  std::vector<uint8_t> source = image_from("size 100000\nnocrc");
  ASSERT_TRUE(write_bytes(dir + "in", source));
  std::vector<uint8_t> expected = {'h', 'e', 'a', 'd'};
  expected.insert(expected.end(), source.begin() + 3,
                  source.begin() + 3 + 99990);
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
