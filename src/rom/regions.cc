// Brenvik: the stretches of an image its header names, and where they go.
#include "rom/regions.h"

#include "rom/files.h"

namespace {

struct SizedField {
  uint32_t offset_field;
  uint32_t size_field;
  const PartMessages* messages;
};

namespace f = header_field;

constexpr SizedField kDsRegions[] = {
    {f::arm9_rom_offset, f::arm9_size, &part_arm9},
    {f::arm9_overlay_offset, f::arm9_overlay_size, &part_arm9_overlays},
    {f::arm7_overlay_offset, f::arm7_overlay_size, &part_arm7_overlays},
    {f::debug_rom_offset, f::debug_rom_size, &part_debug_rom},
};

constexpr SizedField kDsiRegions[] = {
    {f::dsi_arm9_offset, f::dsi_arm9_size, &part_dsi_arm9},
    {f::dsi_arm7_offset, f::dsi_arm7_size, &part_dsi_arm7},
    {f::digest_sector_table_offset, f::digest_sector_table_size,
     &part_digest_table},
    {f::digest_block_table_offset, f::digest_block_table_size,
     &part_digest_table},
};

constexpr SizedField kExtendedDsiRegions[] = {
    {f::modcrypt1_offset, f::modcrypt1_size, &part_modcrypt_area},
    {f::modcrypt2_offset, f::modcrypt2_size, &part_modcrypt_area},
};

}  // namespace

size_t header_regions(const CartridgeHeader& header, std::FILE* input,
                      uint64_t input_size, Region regions[kMaxRegions]) {
  size_t count = 0;
  auto add = [&](uint32_t offset_field, uint64_t start, uint64_t size,
                 const PartMessages* messages, bool dsi, bool known) {
    if (size == 0) return;
    uint64_t end = start + size;
    regions[count++] = {start,    end, offset_field,
                        messages, dsi, known && end <= input_size};
  };
  auto add_fields = [&](const SizedField& field, bool dsi) {
    add(field.offset_field, header_u32(header, field.offset_field),
        header_u32(header, field.size_field), field.messages, dsi, true);
  };
  for (const SizedField& field : kDsRegions) add_fields(field, false);

  const uint64_t banner = header_u32(header, f::banner_offset);
  if (banner != 0) {
    uint8_t version[2];
    bool known = read_exact(input, banner, version, 2) == io_ok;
    uint32_t size =
        banner_size_for_version(uint16_t(version[0] | version[1] << 8));
    add(f::banner_offset, banner, size, &part_banner, false, known);
  }

  if (is_dsi_image(header)) {
    for (const SizedField& field : kDsiRegions) add_fields(field, true);
    if (has_extended_header(header))
      for (const SizedField& field : kExtendedDsiRegions)
        add_fields(field, true);
  }
  return count;
}

namespace {

template <size_t N>
const char* name_in(const SizedField (&table)[N], uint32_t offset_field) {
  for (const SizedField& field : table)
    if (field.offset_field == offset_field) return field.messages->name;
  return nullptr;
}

}  // namespace

const char* part_name(uint32_t offset_field) {
  if (const char* name = name_in(kDsRegions, offset_field)) return name;
  if (const char* name = name_in(kDsiRegions, offset_field)) return name;
  if (const char* name = name_in(kExtendedDsiRegions, offset_field))
    return name;
  switch (offset_field) {
    case f::banner_offset: return part_banner.name;
    case f::fnt_offset: return part_name_fnt;
    case f::fat_offset: return part_name_fat;
    case f::digest_dsi_area_offset: return part_name_digest_area;
    case f::total_rom_size: return part_name_total_size;
    default: return "header field";
  }
}
