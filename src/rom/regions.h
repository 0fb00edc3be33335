// Brenvik: the stretches of an image that its header names, besides the
// FNT, the FAT and the files the FAT names.
#ifndef BRENVIK_ROM_REGIONS_H_
#define BRENVIK_ROM_REGIONS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rom/cartridge_header.h"
#include "rom/messages.h"

/// One stretch a header field names: [start, end) of the input image.
struct Region {
  uint64_t start;
  uint64_t end;
  uint32_t offset_field;  // the header field that holds `start`
  const PartMessages* messages;
  bool dsi;    // part of the DSi area
  bool whole;  // lies wholly inside the input; else the input's own damage
};

/// ARM9 binary, both overlay tables, banner, debug ROM, and on DSi images
/// the DSi binaries, both digest tables and both modcrypt areas.
constexpr size_t kMaxRegions = 11;

/// Fills `regions` with every region `header` names that has a size: an
/// offset and size field pair whose size is not 0, or a banner whose offset
/// is not 0 (its size is read from its version in `input`; a banner whose
/// version lies past the end of the input is not whole). Returns how many.
size_t header_regions(const CartridgeHeader& header, std::FILE* input,
                      uint64_t input_size, Region regions[kMaxRegions]);

/// What --check calls the part whose offset the header field at
/// `offset_field` holds.
const char* part_name(uint32_t offset_field);

#endif  // BRENVIK_ROM_REGIONS_H_
