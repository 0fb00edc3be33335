#include "rom/rebuild_plan.h"

#include <algorithm>

#include "rom/files.h"
#include "rom/messages.h"

namespace {

constexpr uint64_t kFieldLimit = 0xFFFFFFFFull;

// How far past the end of the file an empty FAT may sit. Packers leave it
// at most an alignment gap behind the last byte they wrote; anything
// further would have the rebuild write that distance in zeros, up to 4 GiB
// from an image of a few hundred bytes.
constexpr uint64_t kEmptyFatSlack = 0x10000;

bool fits_field(int64_t value) {
  return value >= 0 && uint64_t(value) <= kFieldLimit;
}

// The input bytes the rebuild carries behind the FAT end where they were.
uint64_t copied_end(const RebuildPlan& plan) {
  return plan.old_fat_end + plan.tail_length;
}

// Every non-empty FAT entry must lie where the rebuild keeps it: wholly in
// the head, which stays in place, or wholly behind the FAT, which moves by
// `shift` along with its address.
const char* check_fat_entries(const RebuildPlan& plan, std::FILE* input,
                              uint8_t* buffer, size_t buffer_size) {
  const uint64_t entries_bytes = plan.fat_size / 8 * 8;
  const size_t piece_limit = buffer_size / 8 * 8;
  for (uint64_t done = 0; done < entries_bytes;) {
    size_t piece = size_t(std::min<uint64_t>(entries_bytes - done, piece_limit));
    if (read_exact(input, plan.fat_offset + done, buffer, piece) != io_ok)
      return message_input_short;
    for (size_t at = 0; at < piece; at += 8) {
      uint64_t start = load_u32le(buffer + at);
      uint64_t end = load_u32le(buffer + at + 4);
      if (start == end) continue;
      if (end < start) return message_file_reversed;
      bool in_head = end <= plan.arm7_rom_offset;
      bool behind_fat = start >= plan.old_fat_end;
      if (!in_head && !behind_fat) return message_file_misplaced;
      if (end > plan.input_size) return message_file_outside;
      if (behind_fat && end > copied_end(plan)) return message_file_past_used;
      if (behind_fat && !fits_field(int64_t(end) + plan.shift))
        return message_too_large;
    }
    done += piece;
  }
  return nullptr;
}

}  // namespace

const char* plan_rebuild(const CartridgeHeader& header, std::FILE* input,
                         uint64_t input_size, uint64_t new_arm7_size,
                         uint8_t* buffer, size_t buffer_size,
                         RebuildPlan* plan) {
  namespace f = header_field;
  if (input_size < CartridgeHeader::kSize) return message_header_short;

  RebuildPlan p = {};
  p.input_size = input_size;
  p.arm7_rom_offset = header_u32(header, f::arm7_rom_offset);
  p.new_arm7_size = new_arm7_size;
  p.fnt_offset = header_u32(header, f::fnt_offset);
  p.fat_offset = header_u32(header, f::fat_offset);
  p.fat_size = header_u32(header, f::fat_size);
  p.old_used = header_u32(header, f::used_rom_size);
  const uint64_t old_arm7_end =
      p.arm7_rom_offset + header_u32(header, f::arm7_size);
  const uint64_t fnt_end = p.fnt_offset + header_u32(header, f::fnt_size);
  const uint64_t banner_offset = header_u32(header, f::banner_offset);

  if (p.arm7_rom_offset < CartridgeHeader::kSize ||
      p.arm7_rom_offset > input_size || old_arm7_end > input_size)
    return message_arm7_outside;
  if (old_arm7_end > p.fnt_offset) return message_arm7_into_fnt;
  if (p.fnt_offset > p.fat_offset) return message_fnt_behind_fat;
  if (fnt_end > input_size) return message_fnt_outside;
  // Packers put the empty FAT of a program without files at, or even past,
  // the end of the file; such a FAT holds nothing to read.
  p.old_fat_end = p.fat_offset + p.fat_size;
  if (p.fat_size > 0 && p.old_fat_end > input_size) return message_fat_outside;
  if (p.fat_offset > input_size + kEmptyFatSlack) return message_fat_far_outside;

  p.new_fnt = (p.arm7_rom_offset + new_arm7_size + 15) / 16 * 16;
  p.fat_rel = p.fat_offset - p.fnt_offset;
  p.shift = int64_t(p.new_fnt) - int64_t(p.fnt_offset);

  // The tail reaches 0x4000 bytes past the used area, but no further than
  // the input goes.
  int64_t window = int64_t(p.old_used + kSignatureRoom) - int64_t(p.old_fat_end);
  int64_t available = int64_t(input_size) - int64_t(p.old_fat_end);
  window = std::min(window, available);
  p.tail_length = window > 0 ? uint64_t(window) : 0;

  if (banner_offset != 0) {
    if (banner_offset < p.fnt_offset) return message_banner_misplaced;
    if (banner_offset >= copied_end(p) && banner_offset >= p.old_fat_end)
      return message_banner_outside;
  }

  const uint64_t block_length = p.old_fat_end - p.fnt_offset;
  const uint64_t output_end = p.new_fnt + block_length + p.tail_length;
  if (!fits_field(int64_t(p.new_fnt) + int64_t(block_length)) ||
      output_end > kFieldLimit + 1 || new_arm7_size > kFieldLimit ||
      !fits_field(int64_t(p.old_used) + p.shift) ||
      (banner_offset != 0 && !fits_field(int64_t(banner_offset) + p.shift)))
    return message_too_large;

  if (const char* failure = check_fat_entries(p, input, buffer, buffer_size))
    return failure;
  *plan = p;
  return nullptr;
}

uint64_t tail_in_front(const RebuildPlan& plan) {
  if (plan.tail_length == 0) return 0;
  return (plan.tail_length - 1) / kTailChunk * kTailChunk;
}

uint32_t relocate_fat_word(uint32_t word, const RebuildPlan& plan) {
  if (word <= plan.fat_offset) return word;
  return uint32_t(int64_t(word) + plan.shift);
}

void update_header(CartridgeHeader& header, const RebuildPlan& plan) {
  namespace f = header_field;
  set_header_u32(header, f::arm7_size, uint32_t(plan.new_arm7_size));
  uint32_t banner = header_u32(header, f::banner_offset);
  if (banner != 0)
    set_header_u32(header, f::banner_offset,
                   uint32_t(int64_t(banner) + plan.shift));
  set_header_u32(header, f::fnt_offset, uint32_t(plan.new_fnt));
  set_header_u32(header, f::fat_offset, uint32_t(plan.new_fnt + plan.fat_rel));
  set_header_u32(header, f::used_rom_size,
                 uint32_t(int64_t(plan.old_used) + plan.shift));
}
