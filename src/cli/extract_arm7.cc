#include "cli/extract_arm7.h"

#include <cstdio>
#include <memory>
#include <new>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/platform.h"

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
  std::string temporary_path;
  std::FILE* out = create_temporary_beside(arm7_file, &temporary_path);
  if (!out) return message_arm7_not_written;
  IoStatus status = copy_bytes(donor.get(), arm7_rom_offset, out, 0, arm7_size,
                               buffer.get(), kCopyBufferSize);
  bool synced = status == io_ok && sync_file(out);
  bool closed = std::fclose(out) == 0;
  if (synced && closed && replace_file(temporary_path, arm7_file))
    return nullptr;
  remove_file(temporary_path);
  return status == io_short_read ? message_donor_unreadable
                                 : message_arm7_not_written;
}
