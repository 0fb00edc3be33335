#include "rom/extract_arm7.h"

#include <cstdio>
#include <memory>
#include <new>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "platform/platform.h"

bool is_donor_image(const std::string& path, Arm7Addresses* addresses) {
  FilePtr file(open_for_reading(path), std::fclose);
  uint64_t size = 0;
  CartridgeHeader header = {};
  if (!file || !file_size(file.get(), &size) || size < CartridgeHeader::kSize ||
      read_exact(file.get(), 0, header.bytes, CartridgeHeader::kSize) != io_ok)
    return false;
  build_crc16_table();
  const uint32_t arm7_size = header_u32(header, header_field::arm7_size);
  const uint64_t arm7_end =
      uint64_t(header_u32(header, header_field::arm7_rom_offset)) + arm7_size;
  if (compute_header_crc16(header) !=
          header_u16(header, header_field::header_crc16) ||
      arm7_size == 0 || arm7_end > size)
    return false;
  if (addresses)
    *addresses = {header_u32(header, header_field::arm7_entry_address),
                  header_u32(header, header_field::arm7_ram_address)};
  return true;
}

const char* extract_arm7(const std::string& donor_path,
                         const std::string& arm7_file) {
  FilePtr donor(open_for_reading(donor_path), std::fclose);
  uint64_t donor_size = 0;
  uint32_t arm7_size = 0;
  uint32_t arm7_rom_offset = 0;
  if (!donor || !file_size(donor.get(), &donor_size) ||
      donor_size < CartridgeHeader::kSize ||
      !read_field_u32(donor.get(), header_field::arm7_size, &arm7_size) ||
      !read_field_u32(donor.get(), header_field::arm7_rom_offset,
                      &arm7_rom_offset))
    return message_donor_unreadable;
  if (arm7_size == 0) return message_donor_arm7_empty;
  if (uint64_t(arm7_rom_offset) + arm7_size > donor_size)
    return message_donor_arm7_outside;

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyBufferSize]);
  if (!buffer) return message_arm7_not_written;
  NewFile out;
  if (!begin_new_file(arm7_file, &out)) return message_arm7_not_written;
  IoStatus status = copy_bytes(donor.get(), arm7_rom_offset, out.stream, 0,
                               arm7_size, buffer.get(), kCopyBufferSize);
  if (status != io_ok)
    abandon_new_file(&out);
  else if (commit_new_file(&out, arm7_file))
    return nullptr;
  return status == io_short_read ? message_donor_unreadable
                                 : message_arm7_not_written;
}
