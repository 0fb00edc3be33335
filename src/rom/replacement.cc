// Brenvik: describing the file offered as the replacement.
#include "rom/replacement.h"

#include "platform/platform.h"
#include "rom/status.h"

Replacement replacement_at(const std::string& path, const std::string& name) {
  Replacement replacement;
  replacement.path = path;
  replacement.source_name = name;
  replacement.name = name;
  replacement.binary_path = path;
  return replacement;
}

Failure look_at_replacement(const std::string& path, const std::string& name,
                            Offered offered, Replacement* replacement) {
  *replacement = replacement_at(path, name);
  FilePtr file(open_for_reading(path), std::fclose);
  DonorImage donor;
  const Failure as_donor = read_donor_image(file.get(), &donor);
  // Only a sealed header with a binary inside makes a whole image of a
  // file that could be either; one offered as a donor is taken as it is.
  const bool whole_image = as_donor == Failure::none && donor.crc_holds;
  if (offered == Offered::as_donor ||
      (offered == Offered::as_either && whole_image)) {
    replacement->binary_path.clear();
    replacement->donor_image = true;
    replacement->from_donor = true;
    replacement->donor = donor.addresses;
    replacement->donor_arm7_offset = donor.arm7_rom_offset;
    if (as_donor == Failure::none)
      replacement->sdk = read_sdk_version(file.get(), donor.file_size,
                                          donor.arm9_rom_offset,
                                          donor.arm9_size);
    // The donor's own ARM7 binary tells its side where no version does.
    if (as_donor == Failure::none && !replacement->sdk.known)
      replacement->sdk.side =
          read_arm7_side(file.get(), donor.file_size, donor.arm7_rom_offset,
                         donor.arm7_size);
    replacement->size_known = as_donor == Failure::none;
    replacement->size = donor.arm7_size;
    return as_donor;
  }
  if (whole_image) {
    replacement->binary_path.clear();
    return Failure::whole_image_as_binary;
  }
  replacement->size_known = file && file_size(file.get(), &replacement->size);
  if (!replacement->size_known) return Failure::arm7_unreadable;
  replacement->sdk.side =
      read_arm7_side(file.get(), replacement->size, 0, replacement->size);
  return Failure::none;
}

bool replacement_taken(const Replacement& replacement) {
  return replacement.scratch || !replacement.binary_path.empty();
}

void read_binary_side(Replacement* replacement) {
  if (replacement->sdk.known) return;
  FilePtr binary(open_for_reading(replacement->binary_path), std::fclose);
  uint64_t size = 0;
  if (binary && file_size(binary.get(), &size))
    replacement->sdk.side = read_arm7_side(binary.get(), size, 0, size);
}

void take_in_place(Replacement* donor) {
  donor->binary_path = donor->path;
  donor->in_place = true;
}

bool open_replacement(const Replacement& replacement, OpenedBinary* binary) {
  if (replacement.scratch)
    binary->file = FilePtr(replacement.scratch.get(), [](std::FILE*) { return 0; });
  else if (!replacement.binary_path.empty())
    binary->file.reset(open_for_reading(replacement.binary_path));
  if (!binary->file) return false;
  if (!replacement.in_place) return file_size(binary->file.get(), &binary->size);
  binary->offset = replacement.donor_arm7_offset;
  binary->size = replacement.size;
  return true;
}

std::string replacement_source_text(const Replacement& replacement) {
  return replacement.donor_image
             ? formatted(message_arm7_of, replacement.source_name.c_str())
             : replacement.name;
}
