// Brenvik: what a donor image's header says of the ARM7 binary it gives,
// read in this one place for every way a donor is offered.
#ifndef BRENVIK_ROM_DONOR_IMAGE_H_
#define BRENVIK_ROM_DONOR_IMAGE_H_

#include <cstdint>
#include <cstdio>

#include "rom/messages.h"

/// The load and entry addresses of a donor's ARM7 binary, which the
/// binary is built for.
struct Arm7Addresses {
  uint32_t entry;  // header 0x34
  uint32_t ram;    // header 0x38
};

/// A donor image: where its ARM7 binary lies and what it is built for,
/// where its ARM9 binary lies (which holds the image's SDK version), and
/// whether the header's CRC-16 holds (which tells a whole image from a
/// bare binary where only a guess can).
struct DonorImage {
  uint64_t file_size = 0;
  uint32_t arm7_rom_offset = 0;
  uint32_t arm7_size = 0;
  Arm7Addresses addresses = {};
  uint32_t arm9_rom_offset = 0;
  uint32_t arm9_size = 0;
  bool crc_holds = false;
};

/// Reads the donor open as `file` (null where it could not be opened) into
/// `*donor`, as far as it can. Fails with `donor_unreadable` for a file
/// that is no readable image, `donor_arm7_empty` and `donor_arm7_outside`
/// for one without a usable binary.
Failure read_donor_image(std::FILE* file, DonorImage* donor);

#endif  // BRENVIK_ROM_DONOR_IMAGE_H_
