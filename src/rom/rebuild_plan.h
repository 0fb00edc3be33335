// Brenvik: where everything of one rebuild lies, and whether the image can
// be rebuilt without dropping or corrupting any of it.
#ifndef BRENVIK_ROM_REBUILD_PLAN_H_
#define BRENVIK_ROM_REBUILD_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rom/cartridge_header.h"

/// Chunks of the tail copy are counted in this size from the old end of the
/// FAT; only the last one is looked at for trimming.
constexpr uint64_t kTailChunk = 0xA00000;

/// Bytes past the used area that come along, where a Download Play
/// signature follows it.
constexpr uint64_t kSignatureRoom = 0x4000;

/// The rebuild's geometry in 64-bit image offsets, all taken from the input
/// header as read and the size of the replacement binary.
struct RebuildPlan {
  uint64_t input_size;
  uint64_t arm7_rom_offset;
  uint64_t new_arm7_size;
  uint64_t fnt_offset;
  uint64_t fat_offset;
  uint64_t fat_size;
  uint64_t old_used;
  uint64_t new_fnt;    // end of the new binary, rounded up to 16
  uint64_t fat_rel;    // the FAT's place inside the moved block
  uint64_t old_fat_end;
  int64_t shift;       // how far the block and everything behind it moves
  uint64_t tail_length;  // input bytes behind the old FAT end to carry over
};

/// Works out the plan for `header` of an image of `input_size` bytes and a
/// replacement of `new_arm7_size` bytes, and reads the FAT from `input`
/// (in pieces, through `buffer`) to check every file. Returns nullptr when
/// the rebuild carries every byte of the game to its new place, or the
/// message that says what is wrong with the image.
const char* plan_rebuild(const CartridgeHeader& header, std::FILE* input,
                         uint64_t input_size, uint64_t new_arm7_size,
                         uint8_t* buffer, size_t buffer_size,
                         RebuildPlan* plan);

/// The tail bytes in front of its final chunk: the whole chunks counted
/// from the old FAT end, copied as they are. Only the final chunk, the
/// rest of the tail, is looked at for trimming.
uint64_t tail_in_front(const RebuildPlan& plan);

/// A FAT word after the move: words above the old FAT offset point behind
/// the FAT and move with it; the rest (empty entries, files in the head)
/// stay. Wraps modulo 2^32 like every header value.
uint32_t relocate_fat_word(uint32_t word, const RebuildPlan& plan);

/// Changes the header fields the move touches. A banner offset of 0 means
/// the image has no banner and stays 0.
void update_header(CartridgeHeader& header, const RebuildPlan& plan);

#endif  // BRENVIK_ROM_REBUILD_PLAN_H_
