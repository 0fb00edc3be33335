#include "rom/extract_arm7.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"

namespace {

// The donor, open, and where its ARM7 binary lies and runs; what is wrong
// with it otherwise.
struct Donor {
  FilePtr file{nullptr, std::fclose};
  uint32_t arm7_rom_offset = 0;
  uint32_t arm7_size = 0;
  Arm7Addresses addresses = {};
};

Failure open_donor(const std::string& donor_path, Donor* donor) {
  donor->file.reset(open_for_reading(donor_path));
  std::FILE* file = donor->file.get();
  uint64_t donor_size = 0;
  if (!file || !file_size(file, &donor_size) ||
      donor_size < CartridgeHeader::kSize ||
      !read_field_u32(file, header_field::arm7_size, &donor->arm7_size) ||
      !read_field_u32(file, header_field::arm7_rom_offset,
                      &donor->arm7_rom_offset) ||
      !read_field_u32(file, header_field::arm7_entry_address,
                      &donor->addresses.entry) ||
      !read_field_u32(file, header_field::arm7_ram_address,
                      &donor->addresses.ram))
    return Failure::donor_unreadable;
  if (donor->arm7_size == 0) return Failure::donor_arm7_empty;
  if (uint64_t(donor->arm7_rom_offset) + donor->arm7_size > donor_size)
    return Failure::donor_arm7_outside;
  return Failure::none;
}

// Copies the donor's ARM7 binary to the start of `out`.
IoStatus copy_arm7(const Donor& donor, std::FILE* out) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return io_write_failed;
  return copy_bytes(donor.file.get(), donor.arm7_rom_offset, out, 0,
                    donor.arm7_size, buffer.get(), kCopyBufferSize);
}

// The replacement a donor's binary, extracted, becomes.
void take_from(const Donor& donor, Replacement* replacement) {
  replacement->from_donor = true;
  replacement->donor = donor.addresses;
  replacement->size_known = true;
  replacement->size = donor.arm7_size;
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

Failure read_donor(const std::string& donor_path, Candidate* candidate) {
  Donor donor;
  const Failure failure = open_donor(donor_path, &donor);
  candidate->path = donor_path;
  candidate->donor = true;
  candidate->size_known = failure == Failure::none;
  candidate->size = donor.arm7_size;
  candidate->addresses = donor.addresses;
  return failure;
}

bool arm7_is_donors(const std::string& arm7_file,
                    const std::string& donor_path) {
  Donor donor;
  FilePtr arm7(open_for_reading(arm7_file), std::fclose);
  uint64_t arm7_size = 0;
  if (open_donor(donor_path, &donor) != Failure::none || !arm7 ||
      !file_size(arm7.get(), &arm7_size) || arm7_size != donor.arm7_size)
    return false;
  const size_t half = kCopyBufferSize / 2;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return false;
  for (uint64_t done = 0; done < donor.arm7_size;) {
    const size_t piece =
        size_t(std::min<uint64_t>(donor.arm7_size - done, half));
    if (read_exact(donor.file.get(), donor.arm7_rom_offset + done, buffer.get(),
                   piece) != io_ok ||
        read_exact(arm7.get(), done, buffer.get() + half, piece) != io_ok ||
        std::memcmp(buffer.get(), buffer.get() + half, piece) != 0)
      return false;
    done += piece;
  }
  return true;
}

Failure extract_arm7(const Candidate& candidate, const std::string& arm7_file,
                     Replacement* replacement) {
  Donor donor;
  if (Failure failure = open_donor(candidate.path, &donor);
      failure != Failure::none)
    return failure;
  NewFile out;
  if (!begin_new_file(arm7_file, &out)) return Failure::arm7_not_written;
  IoStatus status = copy_arm7(donor, out.stream);
  if (status != io_ok) {
    abandon_new_file(&out);
  } else if (commit_new_file(&out, arm7_file)) {
    *replacement = replacement_at(arm7_file, kArm7Name);
    take_from(donor, replacement);
    return Failure::none;
  }
  return status == io_short_read ? Failure::donor_unreadable
                                 : Failure::arm7_not_written;
}

Failure extract_arm7_to_scratch(const Candidate& candidate,
                                Replacement* replacement) {
  Donor donor;
  if (Failure failure = open_donor(candidate.path, &donor);
      failure != Failure::none)
    return failure;
  FilePtr out(open_scratch_file(), std::fclose);
  if (!out) return Failure::scratch_unavailable;
  IoStatus status = copy_arm7(donor, out.get());
  if (status == io_short_read) return Failure::donor_unreadable;
  if (status != io_ok || !flush_stream(out.get()))
    return Failure::scratch_unavailable;
  *replacement = Replacement();
  replacement->name = "arm7 binary of " + candidate.name;
  replacement->scratch = std::move(out);
  take_from(donor, replacement);
  return Failure::none;
}
