// Brenvik: the cartridge header record and its CRC-16.
#ifndef BRENVIK_ROM_CARTRIDGE_HEADER_H_
#define BRENVIK_ROM_CARTRIDGE_HEADER_H_

#include <cstdint>
#include <cstdio>

/// The first 512 bytes of a cartridge image, kept raw: read from offset 0 and
/// written back there as a whole, so every byte the tool does not know about
/// passes through unchanged.
struct CartridgeHeader {
  static constexpr uint32_t kSize = 0x200;
  uint8_t bytes[kSize];
};

/// Byte offsets of the header fields the tool reads or writes. All are
/// little-endian 32-bit values except `header_crc16`.
namespace header_field {
constexpr uint32_t arm7_rom_offset = 0x30;
constexpr uint32_t arm7_entry_address = 0x34;
constexpr uint32_t arm7_ram_address = 0x38;
constexpr uint32_t arm7_size = 0x3C;
constexpr uint32_t fnt_offset = 0x40;
constexpr uint32_t fnt_size = 0x44;
constexpr uint32_t fat_offset = 0x48;
constexpr uint32_t fat_size = 0x4C;
constexpr uint32_t banner_offset = 0x68;
constexpr uint32_t used_rom_size = 0x80;
constexpr uint32_t header_crc16 = 0x15E;
}  // namespace header_field

/// Little-endian loads and stores on raw bytes.
uint32_t load_u32le(const uint8_t* p);
void store_u32le(uint8_t* p, uint32_t value);

/// The 32-bit field at `offset` of `header`.
uint32_t header_u32(const CartridgeHeader& header, uint32_t offset);
void set_header_u32(CartridgeHeader& header, uint32_t offset, uint32_t value);

/// Reads the 32-bit little-endian field at `offset` straight from an open
/// image file. False when the file is too short or cannot be positioned.
bool read_field_u32(std::FILE* image, uint32_t offset, uint32_t* value);

/// Fills `crc16_table`; must run before the first `crc16`.
void build_crc16_table();

/// Reflected CRC-16 with polynomial 0xA001 (CRC-16/MODBUS when started at
/// 0xFFFF) over `length` bytes of `data`. With `length` 0 or less, `start`
/// comes back unchanged.
uint16_t crc16(uint16_t start, const uint8_t* data, int32_t length);

/// The CRC-16 that belongs at `header_crc16`: over bytes 0x000 to 0x15D.
uint16_t compute_header_crc16(const CartridgeHeader& header);

/// Stores `compute_header_crc16` at `header_crc16`; the last change made to
/// a header before it is written.
void seal_header(CartridgeHeader& header);

extern uint16_t crc16_table[256];

#endif  // BRENVIK_ROM_CARTRIDGE_HEADER_H_
