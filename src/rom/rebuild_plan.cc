// Brenvik: planning a rebuild: where each part goes, and what refuses an image.
#include "rom/rebuild_plan.h"

#include <algorithm>
#include <cstring>

#include "rom/messages.h"
#include "rom/regions.h"

namespace {

namespace f = header_field;

constexpr uint64_t kFieldLimit = 0xFFFFFFFFull;
constexpr uint64_t kNoLimit = ~uint64_t(0);

// How far past the end of the file an empty FAT may sit. Packers leave it
// at most an alignment gap behind the last byte they wrote; anything
// further would have the rebuild write that distance in zeros, up to 4 GiB
// from an image of a few hundred bytes.
constexpr uint64_t kEmptyFatSlack = 0x10000;

// DSi cartridges start their DSi area on a boundary of this many bytes,
// counted by the header's TWL region start.
constexpr uint64_t kTwlRegionUnit = 0x80000;

// Passes over the FAT while files that start inside the carried stretch
// lengthen it. Any packer's layout needs one or two; only a chain of files,
// each starting in the overhang of the one before, needs more, and such a
// game lies far past its used area.
constexpr int kMaxFilePasses = 16;

bool fits_field(int64_t value) {
  return value >= 0 && uint64_t(value) <= kFieldLimit;
}

uint64_t round_up_4(uint64_t n) { return (n + 3) / 4 * 4; }

// What a pass over the FAT finds about the files behind it.
struct FileReach {
  uint64_t end;  // the furthest end of a file that starts before the limit
  bool beyond;   // a file starts at or past the limit
};

// Where the FAT is read from, and what the last pass over it found.
struct FileScan {
  std::FILE* input;
  uint8_t* buffer;
  size_t buffer_size;
  FileReach reach;
};

// Every non-empty FAT entry must lie where the rebuild keeps it: wholly in
// the head, which stays in place, or wholly behind the FAT, which moves by
// `shift` along with its address. A file that runs past the end of the
// input is the input's own damage and is carried as far as it goes. The
// files behind the FAT are measured against `limit`.
Failure scan_files(const RebuildPlan& plan, FileScan& scan, uint64_t limit) {
  scan.reach = {0, false};
  const uint64_t entries_bytes = plan.fat_size / 8 * 8;
  const size_t piece_limit = scan.buffer_size / 8 * 8;
  for (uint64_t done = 0; done < entries_bytes;) {
    size_t piece =
        size_t(std::min<uint64_t>(entries_bytes - done, piece_limit));
    if (read_exact(scan.input, plan.fat_offset + done, scan.buffer, piece) !=
        io_ok)
      return Failure::input_short;
    for (size_t at = 0; at < piece; at += 8) {
      uint64_t start = load_u32le(scan.buffer + at);
      uint64_t end = load_u32le(scan.buffer + at + 4);
      if (start == end) continue;
      if (end < start) return Failure::file_reversed;
      if (end > plan.input_size || end <= plan.arm7_rom_offset) continue;
      if (start < plan.old_fat_end) return Failure::file_misplaced;
      if (start < limit)
        scan.reach.end = std::max(scan.reach.end, end);
      else
        scan.reach.beyond = true;
    }
    done += piece;
  }
  return Failure::none;
}

// The DSi area: every DSi region behind the FNT, up to the total size the
// extended header gives. It moves or stays as one.
struct DsiArea {
  bool present;
  uint64_t start;
  uint64_t end;
};

DsiArea find_dsi_area(const CartridgeHeader& header, const RebuildPlan& p,
                      const Region* regions, size_t region_count) {
  DsiArea area = {false, kNoLimit, 0};
  for (size_t i = 0; i < region_count; ++i) {
    const Region& r = regions[i];
    if (!r.dsi || !r.whole || r.start < p.fnt_offset) continue;
    area = {true, std::min(area.start, r.start), std::max(area.end, r.end)};
  }
  if (area.present && has_extended_header(header))
    area.end = std::max<uint64_t>(
        area.end, std::min<uint64_t>(header_u32(header, f::total_rom_size),
                                     p.input_size));
  return area;
}

// Lengthens the carried stretch to the end of every region, the DSi area
// and every file that starts inside it, until nothing more does.
Failure extend_carried_stretch(RebuildPlan& p, const Region* regions,
                               size_t region_count, const DsiArea& dsi,
                               FileScan& files) {
  uint64_t& carried = p.carried_end;
  for (int pass = 0;; ++pass) {
    const uint64_t before = carried;
    for (size_t i = 0; i < region_count; ++i) {
      const Region& r = regions[i];
      if (!r.dsi && r.whole && r.start >= p.fnt_offset && r.start < carried)
        carried = std::max(carried, r.end);
    }
    if (dsi.present && dsi.start < carried)
      carried = std::max(carried, dsi.end);
    if (Failure failure = scan_files(p, files, carried);
        failure != Failure::none)
      return failure;
    carried = std::max(carried, files.reach.end);
    if (carried == before) break;
    if (pass == kMaxFilePasses) return Failure::file_past_used;
  }
  return files.reach.beyond ? Failure::file_past_used : Failure::none;
}

void move_field(RebuildPlan& plan, uint32_t field) {
  if (plan.moved_field_count < kMaxMovedFields)
    plan.moved_fields[plan.moved_field_count++] = field;
}

// The structure every rebuild relies on: the ARM7 binary in front of the
// FNT, the FNT in front of the FAT, both inside the image.
Failure check_structure(const RebuildPlan& p, uint64_t old_arm7_end,
                        uint64_t fnt_end) {
  if (p.fnt_offset == 0 && p.fat_offset == 0) return Failure::no_file_system;
  if (p.arm7_rom_offset < CartridgeHeader::kSize ||
      p.arm7_rom_offset > p.input_size || old_arm7_end > p.input_size)
    return Failure::arm7_outside;
  if (old_arm7_end > p.fnt_offset) return Failure::arm7_into_fnt;
  if (p.fnt_offset > p.fat_offset) return Failure::fnt_behind_fat;
  if (fnt_end > p.input_size) return Failure::fnt_outside;
  // Packers put the empty FAT of a program without files at, or even past,
  // the end of the file; such a FAT holds nothing to read.
  if (p.fat_size > 0 && p.old_fat_end > p.input_size)
    return Failure::fat_outside;
  if (p.fat_offset > p.input_size + kEmptyFatSlack)
    return Failure::fat_far_outside;
  return Failure::none;
}

// Each region stays in the head, moves with the tail (its field with it),
// or lies where the rebuild would lose it. `keep_end` takes in the end of
// every region that moves.
Failure place_regions(RebuildPlan& p, const Region* regions,
                      size_t region_count, bool dsi_moves, uint64_t* keep_end) {
  for (size_t i = 0; i < region_count; ++i) {
    const Region& r = regions[i];
    if (!r.whole) {
      // The banner's field follows the move even when the input has lost
      // part of the banner.
      if (r.offset_field == f::banner_offset) move_field(p, r.offset_field);
      continue;
    }
    if (r.end <= p.arm7_rom_offset) continue;
    if (r.start < p.fnt_offset) return r.messages->in_replaced_stretch;
    if (r.dsi && !dsi_moves) continue;
    if (!r.dsi && r.start >= p.carried_end) return r.messages->past_used_area;
    move_field(p, r.offset_field);
    *keep_end = std::max(*keep_end, r.end);
  }
  return Failure::none;
}

// The DSi fields that describe rather than name a region: the digest
// area's offset moves with a moving DSi area, and the total size follows
// what it ends, a moving DSi area or whatever else in the carried stretch.
void follow_dsi_fields(const CartridgeHeader& header, RebuildPlan& p,
                       bool dsi_moves, uint64_t* keep_end) {
  if (!is_dsi_image(header)) return;
  const uint64_t digest = header_u32(header, f::digest_dsi_area_offset);
  if (dsi_moves && digest >= p.fnt_offset && digest < p.carried_end)
    move_field(p, f::digest_dsi_area_offset);
  if (!has_extended_header(header)) return;
  const uint64_t total = header_u32(header, f::total_rom_size);
  if (total > p.fnt_offset && (total <= p.carried_end || dsi_moves)) {
    move_field(p, f::total_rom_size);
    *keep_end = std::max(*keep_end, std::min(total, p.carried_end));
  }
}

// What follows the rebuilt DS part, which ends at `ds_end`, at the input's
// own offsets: a DSi area that does not move, as on a cartridge, which the
// DS part must not reach into; or, on a DSi image naming no DSi region
// there, the bytes up to its total size, which trimmers keep.
Failure plan_dsi_copy(const CartridgeHeader& header, RebuildPlan& p,
                      const DsiArea& dsi, bool dsi_moves, uint64_t ds_end) {
  if (dsi.present && !dsi_moves) {
    // The area starts at the TWL region boundary where that lies in front
    // of its first region.
    uint64_t area_start = dsi.start;
    const uint64_t boundary =
        uint64_t(header_u16(header, f::twl_region_start)) * kTwlRegionUnit;
    if (boundary >= p.carried_end && boundary < dsi.start)
      area_start = boundary;
    if (ds_end > area_start) return Failure::dsi_area_overrun;
    p.dsi_copy_end = dsi.end;
  } else if (!dsi.present && is_dsi_image(header) &&
             has_extended_header(header)) {
    const uint64_t total =
        std::min<uint64_t>(header_u32(header, f::total_rom_size), p.input_size);
    if (total > p.carried_end) p.dsi_copy_end = total;
  }
  return Failure::none;
}

}  // namespace

Failure plan_rebuild(const CartridgeHeader& header, std::FILE* input,
                     uint64_t input_size, uint64_t new_arm7_size,
                     uint8_t* buffer, size_t buffer_size, RebuildPlan* plan) {
  if (input_size < CartridgeHeader::kSize) return Failure::header_short;

  RebuildPlan p = {};
  p.input_size = input_size;
  p.arm7_rom_offset = header_u32(header, f::arm7_rom_offset);
  p.new_arm7_size = new_arm7_size;
  p.fnt_offset = header_u32(header, f::fnt_offset);
  p.fat_offset = header_u32(header, f::fat_offset);
  p.fat_size = header_u32(header, f::fat_size);
  p.old_used = header_u32(header, f::used_rom_size);
  p.old_fat_end = p.fat_offset + p.fat_size;
  const uint64_t fnt_end = p.fnt_offset + header_u32(header, f::fnt_size);
  if (Failure failure = check_structure(
          p, p.arm7_rom_offset + header_u32(header, f::arm7_size), fnt_end);
      failure != Failure::none)
    return failure;

  p.new_fnt = (p.arm7_rom_offset + new_arm7_size + 15) / 16 * 16;
  p.fat_rel = p.fat_offset - p.fnt_offset;
  p.shift = int64_t(p.new_fnt) - int64_t(p.fnt_offset);

  Region regions[kMaxRegions];
  const size_t region_count =
      header_regions(header, input, input_size, regions);
  FileScan files = {input, buffer, buffer_size, {0, false}};

  // The files first: each must lie where the rebuild keeps it. A used size
  // of 0 says nothing of where the game ends; the furthest of its files,
  // its FAT and every DS part the header names stand in for it.
  if (Failure failure = scan_files(p, files, kNoLimit);
      failure != Failure::none)
    return failure;
  uint64_t used_area = p.old_used;
  if (used_area == 0) {
    used_area = std::max(files.reach.end, p.old_fat_end);
    for (size_t i = 0; i < region_count; ++i)
      if (!regions[i].dsi && regions[i].whole)
        used_area = std::max(used_area, regions[i].end);
  }

  // The carried stretch reaches 0x4000 bytes past the used area, where a
  // Download Play signature lies, and on to the end of everything that
  // starts inside it; never past the end of the input. The FNT and FAT
  // always come along, the FNT even where it reaches past the FAT.
  const DsiArea dsi = find_dsi_area(header, p, regions, region_count);
  const uint64_t tables_end =
      std::max(std::min(p.old_fat_end, input_size), fnt_end);
  p.carried_end =
      std::max(std::min(used_area + kSignatureRoom, input_size), tables_end);
  if (Failure failure =
          extend_carried_stretch(p, regions, region_count, dsi, files);
      failure != Failure::none)
    return failure;
  const bool dsi_moves = dsi.present && dsi.start < p.carried_end;

  // The trim keeps the used area, the tables and everything that moves.
  uint64_t keep_end = std::max(
      {std::min(used_area, p.carried_end), files.reach.end, tables_end});
  if (Failure failure =
          place_regions(p, regions, region_count, dsi_moves, &keep_end);
      failure != Failure::none)
    return failure;
  if (dsi_moves) keep_end = std::max(keep_end, dsi.end);
  follow_dsi_fields(header, p, dsi_moves, &keep_end);

  p.tail_length =
      p.carried_end > p.old_fat_end ? p.carried_end - p.old_fat_end : 0;
  const uint64_t in_front = tail_in_front(p);
  if (p.tail_length > 0) {
    const uint64_t final_start = p.old_fat_end + in_front;
    if (final_chunk_length(input, final_start, p.tail_length - in_front, buffer,
                           buffer_size, &p.final_kept,
                           &p.download_play) != io_ok)
      return Failure::input_short;
    if (p.download_play && keep_end > final_start)
      p.final_kept = std::max(p.final_kept, round_up_4(keep_end - final_start));
  }

  const uint64_t block_length = p.old_fat_end - p.fnt_offset;
  const uint64_t ds_end = p.new_fnt + block_length + in_front + p.final_kept;
  if (Failure failure = plan_dsi_copy(header, p, dsi, dsi_moves, ds_end);
      failure != Failure::none)
    return failure;

  p.output_size = std::max(ds_end, p.dsi_copy_end);
  if (!fits_field(int64_t(p.new_fnt) + int64_t(block_length)) ||
      p.output_size > kFieldLimit + 1 || new_arm7_size > kFieldLimit ||
      (p.old_used != 0 && !fits_field(int64_t(p.old_used) + p.shift)))
    return Failure::too_large;
  for (size_t i = 0; i < p.moved_field_count; ++i)
    if (!fits_field(int64_t(header_u32(header, p.moved_fields[i])) + p.shift))
      return Failure::too_large;
  *plan = p;
  return Failure::none;
}

uint64_t tail_in_front(const RebuildPlan& plan) {
  if (plan.tail_length == 0) return 0;
  return (plan.tail_length - 1) / kTailChunk * kTailChunk;
}

IoStatus final_chunk_length(std::FILE* input, uint64_t start, uint64_t length,
                            uint8_t* buffer, size_t buffer_size, uint64_t* kept,
                            bool* trimmed) {
  *kept = length;
  *trimmed = false;
  uint8_t pad = 0xFF;
  for (uint64_t piece_end = length; piece_end > 0;) {
    const size_t piece = size_t(std::min<uint64_t>(piece_end, buffer_size));
    const uint64_t piece_start = piece_end - piece;
    if (read_exact(input, start + piece_start, buffer, piece) != io_ok)
      return io_short_read;
    if (piece_end == length) pad = buffer[piece - 1] == 0x00 ? 0x00 : 0xFF;
    // Eight bytes at a time through the fill, which is most of a dump.
    uint64_t pad_word;
    std::memset(&pad_word, pad, sizeof pad_word);
    size_t end = piece;
    for (uint64_t word; end >= 8; end -= 8) {
      std::memcpy(&word, buffer + end - 8, 8);
      if (word != pad_word) break;
    }
    while (end > 0 && buffer[end - 1] == pad) --end;
    if (end > 0) {
      *trimmed = true;
      *kept = (piece_start + end + 3) / 4 * 4;
      return io_ok;
    }
    piece_end = piece_start;
  }
  return io_ok;
}

uint32_t relocate_fat_word(uint32_t word, const RebuildPlan& plan) {
  if (word <= plan.fat_offset) return word;
  return uint32_t(int64_t(word) + plan.shift);
}

void update_header(CartridgeHeader& header, const RebuildPlan& plan) {
  set_header_u32(header, f::arm7_size, uint32_t(plan.new_arm7_size));
  set_header_u32(header, f::fnt_offset, uint32_t(plan.new_fnt));
  set_header_u32(header, f::fat_offset, uint32_t(plan.new_fnt + plan.fat_rel));
  if (plan.old_used != 0)
    set_header_u32(header, f::used_rom_size,
                   uint32_t(int64_t(plan.old_used) + plan.shift));
  for (size_t i = 0; i < plan.moved_field_count; ++i) {
    const uint32_t field = plan.moved_fields[i];
    set_header_u32(header, field,
                   uint32_t(int64_t(header_u32(header, field)) + plan.shift));
  }
}
