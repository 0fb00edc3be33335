// Brenvik: the cartridge header record and its CRC-16.
#ifndef BRENVIK_ROM_CARTRIDGE_HEADER_H_
#define BRENVIK_ROM_CARTRIDGE_HEADER_H_

#include <cstdint>
#include <cstdio>

/// The first 512 bytes of a cartridge image, kept raw: read from offset 0 and
/// written back there as a whole, so every byte the tool does not know about
/// passes through unchanged. Behind them, up to `kExtendedEnd`, the
/// extended header's fields of DSi images and cartridges, which count only
/// where `has_extended_header` says so.
struct CartridgeHeader {
  static constexpr uint32_t kSize = 0x200;
  static constexpr uint32_t kExtendedEnd = 0x230;
  uint8_t bytes[kExtendedEnd];
};

/// Byte offsets of the header fields the tool reads or writes. All are
/// little-endian 32-bit values except `header_crc16`.
namespace header_field {
constexpr uint32_t unit_code = 0x12;  // 8 bits; bit 1 set on DSi images
constexpr uint32_t arm9_rom_offset = 0x20;
constexpr uint32_t arm9_size = 0x2C;
constexpr uint32_t arm7_rom_offset = 0x30;
constexpr uint32_t arm7_entry_address = 0x34;
constexpr uint32_t arm7_ram_address = 0x38;
constexpr uint32_t arm7_size = 0x3C;
constexpr uint32_t fnt_offset = 0x40;
constexpr uint32_t fnt_size = 0x44;
constexpr uint32_t fat_offset = 0x48;
constexpr uint32_t fat_size = 0x4C;
constexpr uint32_t arm9_overlay_offset = 0x50;
constexpr uint32_t arm9_overlay_size = 0x54;
constexpr uint32_t arm7_overlay_offset = 0x58;
constexpr uint32_t arm7_overlay_size = 0x5C;
constexpr uint32_t banner_offset = 0x68;
constexpr uint32_t used_rom_size = 0x80;
constexpr uint32_t header_size = 0x84;
constexpr uint32_t twl_region_start = 0x92;  // 16 bits, in 512 KiB units
constexpr uint32_t header_crc16 = 0x15E;
constexpr uint32_t debug_rom_offset = 0x160;
constexpr uint32_t debug_rom_size = 0x164;
// DSi images only (unit code bit 1).
constexpr uint32_t dsi_arm9_offset = 0x1C0;
constexpr uint32_t dsi_arm9_size = 0x1CC;
constexpr uint32_t dsi_arm7_offset = 0x1D0;
constexpr uint32_t dsi_arm7_size = 0x1DC;
constexpr uint32_t digest_dsi_area_offset = 0x1E8;
constexpr uint32_t digest_sector_table_offset = 0x1F0;
constexpr uint32_t digest_sector_table_size = 0x1F4;
constexpr uint32_t digest_block_table_offset = 0x1F8;
constexpr uint32_t digest_block_table_size = 0x1FC;
// The extended header (see `has_extended_header`).
constexpr uint32_t total_rom_size = 0x210;
constexpr uint32_t modcrypt1_offset = 0x220;
constexpr uint32_t modcrypt1_size = 0x224;
constexpr uint32_t modcrypt2_offset = 0x228;
constexpr uint32_t modcrypt2_size = 0x22C;
}  // namespace header_field

/// The banner's size, told by the version in its first 16 bits; an unknown
/// version counts as the smallest banner.
uint32_t banner_size_for_version(uint16_t version);

/// True on DSi-enhanced and DSi-only images, whose DSi fields count.
bool is_dsi_image(const CartridgeHeader& header);

/// True where the fields from 0x200 to `kExtendedEnd` exist: the header
/// says it is at least 0x1000 bytes long, and they lie in front of the
/// ARM7 binary.
bool has_extended_header(const CartridgeHeader& header);

/// Little-endian loads and stores on raw bytes.
uint32_t load_u32le(const uint8_t* p);
void store_u32le(uint8_t* p, uint32_t value);

/// The 32-bit field at `offset` of `header`.
uint32_t header_u32(const CartridgeHeader& header, uint32_t offset);
/// The 16-bit field at `offset` of `header`.
uint16_t header_u16(const CartridgeHeader& header, uint32_t offset);
void set_header_u32(CartridgeHeader& header, uint32_t offset, uint32_t value);

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
