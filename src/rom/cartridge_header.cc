// Brenvik: the cartridge header's fields and its CRC-16.
#include "rom/cartridge_header.h"

#include "platform/platform.h"

uint16_t crc16_table[256];

uint32_t load_u32le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}

void store_u32le(uint8_t* p, uint32_t value) {
  p[0] = uint8_t(value);
  p[1] = uint8_t(value >> 8);
  p[2] = uint8_t(value >> 16);
  p[3] = uint8_t(value >> 24);
}

uint32_t header_u32(const CartridgeHeader& header, uint32_t offset) {
  return load_u32le(header.bytes + offset);
}

uint16_t header_u16(const CartridgeHeader& header, uint32_t offset) {
  return uint16_t(header.bytes[offset] | header.bytes[offset + 1] << 8);
}

void set_header_u32(CartridgeHeader& header, uint32_t offset, uint32_t value) {
  store_u32le(header.bytes + offset, value);
}

void build_crc16_table() {
  for (uint32_t v = 0; v < 256; ++v) {
    uint16_t crc = 0;
    uint32_t b = v;
    for (int bit = 0; bit < 8; ++bit) {
      if ((b ^ crc) & 1)
        crc = uint16_t((crc >> 1) ^ 0xA001);
      else
        crc = uint16_t(crc >> 1);
      b >>= 1;
    }
    crc16_table[v] = crc;
  }
}

uint16_t crc16(uint16_t start, const uint8_t* data, int32_t length) {
  uint16_t crc = start;
  for (int32_t i = 0; i < length; ++i)
    crc = uint16_t(crc16_table[(data[i] ^ crc) & 0xFF] ^ (crc >> 8));
  return crc;
}

uint16_t compute_header_crc16(const CartridgeHeader& header) {
  return crc16(0xFFFF, header.bytes, int32_t(header_field::header_crc16));
}

void seal_header(CartridgeHeader& header) {
  uint16_t crc = compute_header_crc16(header);
  header.bytes[header_field::header_crc16] = uint8_t(crc);
  header.bytes[header_field::header_crc16 + 1] = uint8_t(crc >> 8);
}

uint32_t banner_size_for_version(uint16_t version) {
  switch (version) {
    case 0x0002: return 0x940;
    case 0x0003: return 0xA40;
    case 0x0103: return 0x23C0;  // DSi animated icon
    default: return 0x840;
  }
}

bool is_dsi_image(const CartridgeHeader& header) {
  return (header.bytes[header_field::unit_code] & 0x02) != 0;
}

bool has_extended_header(const CartridgeHeader& header) {
  return header_u32(header, header_field::header_size) >= 0x1000 &&
         header_u32(header, header_field::arm7_rom_offset) >=
             CartridgeHeader::kExtendedEnd;
}
