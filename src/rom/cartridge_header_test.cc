// Tests of the cartridge header's fields and its CRC-16.
#include "rom/cartridge_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scratch.h"

TEST(Crc16, MatchesModbusCheckValueAndKeepsStartForEmptyInput) {
  build_crc16_table();
  const char* check = "123456789";
  EXPECT_EQ(0x4B37, crc16(0xFFFF, reinterpret_cast<const uint8_t*>(check), 9));
  EXPECT_EQ(0xFFFF, crc16(0xFFFF, nullptr, 0));
  EXPECT_EQ(0x1234, crc16(0x1234, reinterpret_cast<const uint8_t*>(check), -5));
}

TEST(Crc16, TableEntriesAreTheCrcOfOneByteFromZero) {
  build_crc16_table();
  EXPECT_EQ(0x0000, crc16_table[0]);
  EXPECT_EQ(0xC0C1, crc16_table[1]);
  EXPECT_EQ(0x4040, crc16_table[0xFF]);
}

TEST(CartridgeHeader, FieldsAreLittleEndianAtTheirOffsets) {
  CartridgeHeader header = {};
  set_header_u32(header, header_field::fat_offset, 0x11223344);
  EXPECT_EQ(0x44, header.bytes[0x48]);
  EXPECT_EQ(0x11, header.bytes[0x4B]);
  EXPECT_EQ(0x11223344u, header_u32(header, header_field::fat_offset));
}

TEST(CartridgeHeader, ResealingRealHeadersGivesTheirStoredCrc) {
  std::string data = real_data_dir();
  if (data.empty()) GTEST_SKIP() << "no real images beside the project";
  build_crc16_table();
  for (const char* name : {"nitrofs.nds", "slot1launch.nds"}) {
    std::vector<uint8_t> image = file_bytes(data + name);
    ASSERT_GE(image.size(), CartridgeHeader::kSize) << name;
    CartridgeHeader header;
    std::memcpy(header.bytes, image.data(), CartridgeHeader::kSize);
    uint16_t stored = uint16_t(image[0x15E] | image[0x15F] << 8);
    EXPECT_EQ(stored, compute_header_crc16(header)) << name;
    seal_header(header);
    EXPECT_EQ(0,
              std::memcmp(header.bytes, image.data(), CartridgeHeader::kSize))
        << name;
  }
}

TEST(CartridgeHeader, FieldOffsetsAreTheFormatsOwn) {
  namespace f = header_field;
  const std::pair<uint32_t, uint32_t> offsets[] = {
      {f::unit_code, 0x12},
      {f::arm9_rom_offset, 0x20},
      {f::arm9_size, 0x2C},
      {f::arm7_rom_offset, 0x30},
      {f::arm7_entry_address, 0x34},
      {f::arm7_ram_address, 0x38},
      {f::arm7_size, 0x3C},
      {f::fnt_offset, 0x40},
      {f::fnt_size, 0x44},
      {f::fat_offset, 0x48},
      {f::fat_size, 0x4C},
      {f::arm9_overlay_offset, 0x50},
      {f::arm9_overlay_size, 0x54},
      {f::arm7_overlay_offset, 0x58},
      {f::arm7_overlay_size, 0x5C},
      {f::banner_offset, 0x68},
      {f::used_rom_size, 0x80},
      {f::header_size, 0x84},
      {f::twl_region_start, 0x92},
      {f::header_crc16, 0x15E},
      {f::debug_rom_offset, 0x160},
      {f::debug_rom_size, 0x164},
      {f::dsi_arm9_offset, 0x1C0},
      {f::dsi_arm9_size, 0x1CC},
      {f::dsi_arm7_offset, 0x1D0},
      {f::dsi_arm7_size, 0x1DC},
      {f::digest_dsi_area_offset, 0x1E8},
      {f::digest_sector_table_offset, 0x1F0},
      {f::digest_sector_table_size, 0x1F4},
      {f::digest_block_table_offset, 0x1F8},
      {f::digest_block_table_size, 0x1FC},
      {f::total_rom_size, 0x210},
      {f::modcrypt1_offset, 0x220},
      {f::modcrypt1_size, 0x224},
      {f::modcrypt2_offset, 0x228},
      {f::modcrypt2_size, 0x22C},
  };
  for (const auto& offset : offsets) EXPECT_EQ(offset.second, offset.first);
  EXPECT_EQ(0x840u, banner_size_for_version(1));
  EXPECT_EQ(0x940u, banner_size_for_version(2));
  EXPECT_EQ(0xA40u, banner_size_for_version(3));
  EXPECT_EQ(0x23C0u, banner_size_for_version(0x103));
  EXPECT_EQ(0x840u, banner_size_for_version(0x5A5A));

  // The known values of the shared images, read through the tool's fields.
  std::string data = real_data_dir();
  if (data.empty()) return;
  CartridgeHeader header;
  std::vector<uint8_t> image = file_bytes(data + "slot1launch.nds");
  ASSERT_GE(image.size(), size_t(CartridgeHeader::kExtendedEnd));
  std::memcpy(header.bytes, image.data(), CartridgeHeader::kExtendedEnd);
  EXPECT_TRUE(is_dsi_image(header));
  EXPECT_TRUE(has_extended_header(header));
  EXPECT_EQ(0x31000u, header_u32(header, f::arm7_rom_offset));
  EXPECT_EQ(0x2524u, header_u32(header, f::arm7_size));
  EXPECT_EQ(0x33600u, header_u32(header, f::fnt_offset));
  EXPECT_EQ(0x33800u, header_u32(header, f::banner_offset));
  EXPECT_EQ(0x34040u, header_u32(header, f::used_rom_size));
  EXPECT_EQ(0x34400u, header_u32(header, f::dsi_arm9_offset));
  EXPECT_EQ(0xE94u, header_u32(header, f::dsi_arm7_size));
  EXPECT_EQ(0x35C00u, header_u32(header, f::total_rom_size));
  image = file_bytes(data + "nitrofs.nds");
  std::memcpy(header.bytes, image.data(), CartridgeHeader::kExtendedEnd);
  EXPECT_FALSE(is_dsi_image(header));
  EXPECT_EQ(0x31000u, header_u32(header, f::arm9_overlay_offset));
  EXPECT_EQ(0x60u, header_u32(header, f::arm9_overlay_size));
  EXPECT_EQ(0x34000u, header_u32(header, f::fat_offset));
  EXPECT_EQ(0x3D0u, header_u32(header, f::fat_size));
  EXPECT_EQ(0x1B9004u, header_u32(header, f::used_rom_size));
}
