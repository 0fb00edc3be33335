#include "rom/extract_arm7.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"

namespace {

// The donor, open, and where its ARM7 binary lies; nullptr, or what is
// wrong with it.
const char* open_donor(const std::string& donor_path, FilePtr* donor,
                       uint32_t* arm7_rom_offset, uint32_t* arm7_size) {
  donor->reset(open_for_reading(donor_path));
  uint64_t donor_size = 0;
  if (!*donor || !file_size(donor->get(), &donor_size) ||
      donor_size < CartridgeHeader::kSize ||
      !read_field_u32(donor->get(), header_field::arm7_size, arm7_size) ||
      !read_field_u32(donor->get(), header_field::arm7_rom_offset,
                      arm7_rom_offset))
    return message_donor_unreadable;
  if (*arm7_size == 0) return message_donor_arm7_empty;
  if (uint64_t(*arm7_rom_offset) + *arm7_size > donor_size)
    return message_donor_arm7_outside;
  return nullptr;
}

// Copies the donor's ARM7 binary to the start of `out`.
IoStatus copy_arm7(const FilePtr& donor, uint32_t arm7_rom_offset,
                   uint32_t arm7_size, std::FILE* out) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyBufferSize]);
  if (!buffer) return io_write_failed;
  return copy_bytes(donor.get(), arm7_rom_offset, out, 0, arm7_size,
                    buffer.get(), kCopyBufferSize);
}

}  // namespace

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

bool read_arm7_addresses(const std::string& image_path,
                         Arm7Addresses* addresses) {
  FilePtr file(open_for_reading(image_path), std::fclose);
  return file &&
         read_field_u32(file.get(), header_field::arm7_entry_address,
                        &addresses->entry) &&
         read_field_u32(file.get(), header_field::arm7_ram_address,
                        &addresses->ram);
}

const char* donor_arm7_size(const std::string& donor_path, uint64_t* size) {
  FilePtr donor(nullptr, std::fclose);
  uint32_t offset = 0, length = 0;
  const char* failure = open_donor(donor_path, &donor, &offset, &length);
  *size = length;
  return failure;
}

bool arm7_is_donors(const std::string& arm7_file,
                    const std::string& donor_path) {
  FilePtr donor(nullptr, std::fclose);
  uint32_t offset = 0, length = 0;
  FilePtr arm7(open_for_reading(arm7_file), std::fclose);
  uint64_t arm7_size = 0;
  if (open_donor(donor_path, &donor, &offset, &length) || !arm7 ||
      !file_size(arm7.get(), &arm7_size) || arm7_size != length)
    return false;
  const size_t half = kCopyBufferSize / 2;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kCopyBufferSize]);
  if (!buffer) return false;
  for (uint64_t done = 0; done < length;) {
    const size_t piece = size_t(std::min<uint64_t>(length - done, half));
    if (read_exact(donor.get(), offset + done, buffer.get(), piece) != io_ok ||
        read_exact(arm7.get(), done, buffer.get() + half, piece) != io_ok ||
        std::memcmp(buffer.get(), buffer.get() + half, piece) != 0)
      return false;
    done += piece;
  }
  return true;
}

const char* extract_arm7(const std::string& donor_path,
                         const std::string& arm7_file) {
  FilePtr donor(nullptr, std::fclose);
  uint32_t arm7_rom_offset = 0, arm7_size = 0;
  if (const char* failure =
          open_donor(donor_path, &donor, &arm7_rom_offset, &arm7_size))
    return failure;
  NewFile out;
  if (!begin_new_file(arm7_file, &out)) return message_arm7_not_written;
  IoStatus status = copy_arm7(donor, arm7_rom_offset, arm7_size, out.stream);
  if (status != io_ok)
    abandon_new_file(&out);
  else if (commit_new_file(&out, arm7_file))
    return nullptr;
  return status == io_short_read ? message_donor_unreadable
                                 : message_arm7_not_written;
}

const char* extract_arm7_to_scratch(const std::string& donor_path,
                                    std::FILE** scratch) {
  *scratch = nullptr;
  FilePtr donor(nullptr, std::fclose);
  uint32_t arm7_rom_offset = 0, arm7_size = 0;
  if (const char* failure =
          open_donor(donor_path, &donor, &arm7_rom_offset, &arm7_size))
    return failure;
  FilePtr out(open_scratch_file(), std::fclose);
  if (!out) return message_out_of_memory;
  IoStatus status = copy_arm7(donor, arm7_rom_offset, arm7_size, out.get());
  if (status == io_short_read) return message_donor_unreadable;
  if (status != io_ok || std::fflush(out.get()) != 0)
    return message_out_of_memory;
  *scratch = out.release();
  return nullptr;
}
