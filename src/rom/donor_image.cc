// Brenvik: reading a donor image's header.
#include "rom/donor_image.h"

#include "platform/platform.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"

Failure read_donor_image(std::FILE* file, DonorImage* donor) {
  *donor = DonorImage();
  CartridgeHeader header = {};
  if (!file || !file_size(file, &donor->file_size) ||
      donor->file_size < CartridgeHeader::kSize ||
      read_exact(file, 0, header.bytes, CartridgeHeader::kSize) != io_ok)
    return Failure::donor_unreadable;
  donor->arm7_rom_offset = header_u32(header, header_field::arm7_rom_offset);
  donor->arm7_size = header_u32(header, header_field::arm7_size);
  donor->addresses = {header_u32(header, header_field::arm7_entry_address),
                      header_u32(header, header_field::arm7_ram_address)};
  donor->arm9_rom_offset = header_u32(header, header_field::arm9_rom_offset);
  donor->arm9_size = header_u32(header, header_field::arm9_size);
  build_crc16_table();
  donor->crc_holds = compute_header_crc16(header) ==
                     header_u16(header, header_field::header_crc16);
  if (donor->arm7_size == 0) return Failure::donor_arm7_empty;
  if (uint64_t(donor->arm7_rom_offset) + donor->arm7_size > donor->file_size)
    return Failure::donor_arm7_outside;
  return Failure::none;
}
