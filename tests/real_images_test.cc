// The rebuild on real cartridge images: every file of the game must come
// out with the same bytes at its relocated address.
#include <gtest/gtest.h>

#include <cstring>

#include "image_meaning.h"
#include "reference_rebuild.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "cli/rebuild_game.h"
#include "rom/rebuild.h"
#include "scratch.h"
#include "test_image.h"

namespace {

uint32_t field(const std::vector<uint8_t>& image, uint32_t offset) {
  return load_u32le(image.data() + offset);
}

// Rebuilds `name` from the real images with `arm7` and checks it file by
// file against the input.
void check_real_image(const std::string& name,
                      const std::vector<uint8_t>& arm7) {
  SCOPED_TRACE(name + " with a binary of " + std::to_string(arm7.size()));
  namespace f = header_field;
  std::vector<uint8_t> in = file_bytes(real_data_dir() + name);
  ASSERT_FALSE(in.empty());
  std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", arm7));
  arm7_path = dir + "arm7.bin";
  testing::internal::CaptureStdout();
  int result = rebuild_game(dir + "out.nds", real_data_dir() + name);
  std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(1, result) << printed;
  std::vector<uint8_t> out = file_bytes(dir + "out.nds");
  remove_tree(dir);

  EXPECT_EQ("", meaning_lost(in, arm7, out));
  // A dump laid out like a cartridge comes out as the literal rebuild has
  // it; the DSi image's DSi binaries move with their fields, which that
  // rebuild leaves.
  bool trimmed;
  if (name == "nitrofs.nds") {
    EXPECT_TRUE(reference_rebuild(in, arm7, &trimmed) == out);
  }

  CartridgeHeader header;
  std::memcpy(header.bytes, out.data(), CartridgeHeader::kSize);
  build_crc16_table();
  EXPECT_EQ(field(out, f::header_crc16) & 0xFFFF, compute_header_crc16(header));
  EXPECT_TRUE(std::equal(arm7.begin(), arm7.end(),
                         out.begin() + field(out, f::arm7_rom_offset)));
  EXPECT_EQ(0, std::memcmp(in.data() + 0x160, out.data() + 0x160, 0x60));

  uint32_t fat_in = field(in, f::fat_offset),
           fat_out = field(out, f::fat_offset);
  uint32_t fat_size = field(in, f::fat_size);
  ASSERT_EQ(fat_size, field(out, f::fat_size));
  for (uint32_t entry = 0; entry < fat_size / 8; ++entry) {
    uint32_t start_in = field(in, fat_in + 8 * entry);
    uint32_t end_in = field(in, fat_in + 8 * entry + 4);
    uint32_t start_out = field(out, fat_out + 8 * entry);
    uint32_t end_out = field(out, fat_out + 8 * entry + 4);
    ASSERT_EQ(end_in - start_in, end_out - start_out) << "file " << entry;
    ASSERT_LE(end_out, out.size()) << "file " << entry;
    ASSERT_EQ(0, std::memcmp(in.data() + start_in, out.data() + start_out,
                             end_in - start_in))
        << "file " << entry;
  }
  uint32_t banner_in = field(in, f::banner_offset);
  uint32_t banner_out = field(out, f::banner_offset);
  EXPECT_EQ(0,
            std::memcmp(in.data() + banner_in, out.data() + banner_out, 0x840));
  uint32_t fnt_in = field(in, f::fnt_offset),
           fnt_out = field(out, f::fnt_offset);
  uint32_t fnt_size = field(in, f::fnt_size);
  EXPECT_EQ(0, std::memcmp(in.data() + fnt_in, out.data() + fnt_out, fnt_size));
}

}  // namespace

TEST(RealImages, EveryFileKeepsItsBytesAfterTheRebuild) {
  if (real_data_dir().empty())
    GTEST_SKIP() << "no real images in ../shared/data; skipped";
  for (const char* name : {"nitrofs.nds", "slot1launch.nds"}) {
    // The same size as their own binary, a larger one and a smaller one.
    for (size_t size : {size_t(0x2524), size_t(0x9001), size_t(0x1000)})
      check_real_image(name, replacement_binary(size));
  }
}

TEST(RealImages, KeepTheSignatureBehindTheUsedArea) {
  if (real_data_dir().empty())
    GTEST_SKIP() << "no real images in ../shared/data; skipped";
  std::vector<uint8_t> in = file_bytes(real_data_dir() + "nitrofs.nds");
  std::vector<uint8_t> arm7(
      in.begin() + field(in, header_field::arm7_rom_offset),
      in.begin() + field(in, header_field::arm7_rom_offset) +
          field(in, header_field::arm7_size));
  std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", arm7));
  arm7_path = dir + "arm7.bin";
  testing::internal::CaptureStdout();
  ASSERT_EQ(1, rebuild_game(dir + "out.nds", real_data_dir() + "nitrofs.nds"));
  testing::internal::GetCapturedStdout();
  std::vector<uint8_t> out = file_bytes(dir + "out.nds");
  remove_tree(dir);
  // The signature follows the moved used area, the fill behind it is gone.
  const uint32_t used = field(in, header_field::used_rom_size);
  const uint32_t new_used = field(out, header_field::used_rom_size);
  EXPECT_EQ(int64_t(field(out, header_field::fnt_offset)) -
                int64_t(field(in, header_field::fnt_offset)),
            int64_t(new_used) - int64_t(used));
  ASSERT_EQ(new_used + 0x88u, out.size());
  EXPECT_TRUE(std::equal(out.begin() + new_used, out.end(), in.begin() + used));
  EXPECT_EQ(0xFF, in[used + 0x88]);
}
