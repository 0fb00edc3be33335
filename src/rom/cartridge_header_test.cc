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
    EXPECT_EQ(0, std::memcmp(header.bytes, image.data(), CartridgeHeader::kSize))
        << name;
  }
}
