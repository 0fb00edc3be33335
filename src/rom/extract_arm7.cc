// Brenvik: copying a donor's ARM7 binary into a file of its own.
#include "rom/extract_arm7.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "rom/donor_image.h"
#include "rom/files.h"
#include "rom/output_bytes.h"

namespace {

// The donor, open, and what its header says; what is wrong with it
// otherwise.
struct OpenDonor {
  FilePtr file{nullptr, std::fclose};
  DonorImage image;
};

Failure open_donor(const std::string& donor_path, OpenDonor* donor) {
  donor->file.reset(open_for_reading(donor_path));
  return read_donor_image(donor->file.get(), &donor->image);
}

// Copies the donor's ARM7 binary to the start of `out`.
IoStatus copy_arm7(const OpenDonor& donor, std::FILE* out) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return io_write_failed;
  return copy_bytes(donor.file.get(), donor.image.arm7_rom_offset, out, 0,
                    donor.image.arm7_size, buffer.get(), kCopyBufferSize);
}

// The replacement a donor's binary, extracted, becomes: the binary as the
// donor has it now, of the version the donor was described with.
void take_from(const OpenDonor& donor, Replacement* replacement) {
  replacement->from_donor = true;
  replacement->donor = donor.image.addresses;
  replacement->size_known = true;
  replacement->size = donor.image.arm7_size;
}

}  // namespace

bool arm7_is_donors(const std::string& arm7_file,
                    const std::string& donor_path) {
  OpenDonor donor;
  FilePtr arm7(open_for_reading(arm7_file), std::fclose);
  uint64_t arm7_size = 0;
  if (open_donor(donor_path, &donor) != Failure::none || !arm7 ||
      !file_size(arm7.get(), &arm7_size) || arm7_size != donor.image.arm7_size)
    return false;
  const size_t half = kCopyBufferSize / 2;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return false;
  for (uint64_t done = 0; done < arm7_size;) {
    const size_t piece = size_t(std::min<uint64_t>(arm7_size - done, half));
    if (read_exact(donor.file.get(), donor.image.arm7_rom_offset + done,
                   buffer.get(), piece) != io_ok ||
        read_exact(arm7.get(), done, buffer.get() + half, piece) != io_ok ||
        std::memcmp(buffer.get(), buffer.get() + half, piece) != 0)
      return false;
    done += piece;
  }
  return true;
}

Failure extract_arm7(const std::string& arm7_file, Replacement* replacement,
                     bool read_back) {
  OpenDonor donor;
  if (Failure failure = open_donor(replacement->path, &donor);
      failure != Failure::none)
    return failure;
  NewFile out;
  if (!begin_new_file(arm7_file, &out)) return Failure::arm7_not_written;
  IoStatus status = copy_arm7(donor, out.stream);
  Failure failure = status == io_short_read ? Failure::donor_unreadable
                    : status != io_ok       ? Failure::arm7_not_written
                                            : Failure::none;
  if (failure == Failure::none && !flush_new_file(&out))
    failure = Failure::arm7_not_written;
  // A binary the disk did not keep is none to keep for later runs.
  if (failure == Failure::none && read_back) {
    uint64_t difference = 0;
    const Failure compared = read_back_new_file(
        &out, copy_layout(donor.image.arm7_rom_offset, donor.image.arm7_size),
        {donor.file.get(), nullptr, 0}, nullptr, &difference);
    if (compared == Failure::input_short)
      failure = Failure::donor_unreadable;
    else if (compared != Failure::none)
      failure = Failure::arm7_not_written;
  }
  if (failure != Failure::none) {
    abandon_new_file(&out);
    return failure;
  }
  if (!name_new_file(&out, arm7_file)) return Failure::arm7_not_written;
  replacement->binary_path = arm7_file;
  replacement->name = kArm7Name;
  take_from(donor, replacement);
  return Failure::none;
}

Failure extract_arm7_to_scratch(Replacement* replacement) {
  OpenDonor donor;
  if (Failure failure = open_donor(replacement->path, &donor);
      failure != Failure::none)
    return failure;
  FilePtr out(open_scratch_file(), std::fclose);
  if (!out) return Failure::scratch_unavailable;
  IoStatus status = copy_arm7(donor, out.get());
  if (status == io_short_read) return Failure::donor_unreadable;
  if (status != io_ok || !flush_stream(out.get()))
    return Failure::scratch_unavailable;
  replacement->name = "arm7 binary of " + replacement->source_name;
  replacement->scratch = std::move(out);
  take_from(donor, replacement);
  return Failure::none;
}

Failure take_donor_binary(const std::string& arm7_file, RunMode mode,
                          bool read_back, Replacement* donor) {
  switch (mode) {
    case RunMode::check: return Failure::none;
    case RunMode::verify: take_in_place(donor); return Failure::none;
    case RunMode::fix: break;
  }
  return arm7_file.empty() ? extract_arm7_to_scratch(donor)
                           : extract_arm7(arm7_file, donor, read_back);
}
