// Brenvik: where everything of one rebuild lies, and whether the image can
// be rebuilt without dropping or mispointing any of it.
#ifndef BRENVIK_ROM_REBUILD_PLAN_H_
#define BRENVIK_ROM_REBUILD_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"

/// Chunks of the tail copy are counted in this size from the old end of the
/// FAT; only the last one is looked at for trimming.
constexpr uint64_t kTailChunk = 0xA00000;

/// Bytes past the used area that come along, where a Download Play
/// signature follows it.
constexpr uint64_t kSignatureRoom = 0x4000;

/// Header fields that may follow the move: the regions behind the FNT, and
/// the DSi fields that describe a moving DSi area.
constexpr size_t kMaxMovedFields = 16;

/// The rebuild's geometry in 64-bit image offsets, all taken from the input
/// header as read and the size of the replacement binary.
///
/// The output is the input's head (up to `arm7_rom_offset`), the new
/// binary, the FNT and FAT block at `new_fnt`, and behind it the input's
/// tail from `old_fat_end` up to `carried_end`, its final chunk trimmed to
/// `final_kept` bytes. Where a DSi area lies further on, the input's bytes
/// from there up to `dsi_copy_end` follow at their own offsets.
struct RebuildPlan {
  uint64_t input_size;
  uint64_t arm7_rom_offset;
  uint64_t new_arm7_size;
  uint64_t fnt_offset;
  uint64_t fat_offset;
  uint64_t fat_size;
  // The used ROM size as the input's header gives it: where the game's
  // own data ends, the Download Play signature behind it. 0 stays 0.
  uint64_t old_used;
  uint64_t new_fnt;  // end of the new binary, rounded up to 16
  // How far the FAT lies behind the FNT, in the input and so also in the
  // moved block: the new FAT offset is `new_fnt + fat_rel`.
  uint64_t fat_rel;
  uint64_t old_fat_end;
  int64_t shift;          // how far the block and everything behind it moves
  uint64_t carried_end;   // where the carried input stretch ends
  uint64_t tail_length;   // input bytes behind the old FAT end to carry over
  uint64_t final_kept;    // bytes written of the final chunk (see below)
  bool download_play;     // the final chunk was cut behind data
  uint64_t dsi_copy_end;  // 0, or where the unmoved DSi area ends
  uint64_t output_size;
  uint32_t moved_fields[kMaxMovedFields];
  size_t moved_field_count;
};

/// Works out the plan for `header` of an image of `input_size` bytes and a
/// replacement of `new_arm7_size` bytes, reading the FAT, the banner's
/// version and the tail's final chunk from `input` (in pieces, through
/// `buffer`). Returns `Failure::none` when the rebuild carries every part
/// of the game whole to where the new header names it, or what is wrong
/// with the image.
Failure plan_rebuild(const CartridgeHeader& header, std::FILE* input,
                     uint64_t input_size, uint64_t new_arm7_size,
                     uint8_t* buffer, size_t buffer_size, RebuildPlan* plan);

/// The tail bytes in front of its final chunk: the whole chunks counted
/// from the old FAT end, copied as they are. Only the final chunk, the
/// rest of the tail, is looked at for trimming.
uint64_t tail_in_front(const RebuildPlan& plan);

/// In the final tail chunk, the `length` input bytes at `start`: how many
/// to write. That is the chunk up to its last byte that differs from the
/// pad byte (0x00 when the chunk ends in 0x00, else 0xFF), rounded up to a
/// multiple of 4, with `*trimmed` set; or the whole length when every byte
/// is the pad byte. The chunk is read backwards through `buffer`, so only
/// the fill behind the last data is looked at. Where the rounding reaches
/// past the chunk, the caller writes 0xFF.
IoStatus final_chunk_length(std::FILE* input, uint64_t start, uint64_t length,
                            uint8_t* buffer, size_t buffer_size, uint64_t* kept,
                            bool* trimmed);

/// A FAT word after the move: words above the old FAT offset point behind
/// the FAT and move with it; the rest (empty entries, files in the head)
/// stay. Wraps modulo 2^32 like every header value.
uint32_t relocate_fat_word(uint32_t word, const RebuildPlan& plan);

/// Changes the header fields the move touches: the new binary's size, the
/// FNT and FAT offsets, a used size other than 0, and `moved_fields`.
void update_header(CartridgeHeader& header, const RebuildPlan& plan);

#endif  // BRENVIK_ROM_REBUILD_PLAN_H_
