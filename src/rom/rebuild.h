// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#ifndef BRENVIK_ROM_REBUILD_H_
#define BRENVIK_ROM_REBUILD_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "rom/files.h"

/// Writes `output_path`: the image at `input_path` with its ARM7 binary
/// replaced by the file at `arm7_path`, the FNT and FAT moved behind it and
/// the FAT relocated, the tail copied up to 0x4000 bytes past the used area
/// with trailing fill cut, and the header re-sealed.
///
/// Any old file named `output_path` is deleted first. The image is written
/// under a temporary name beside the output and renamed to `output_path`
/// only when complete, so the output name never holds a part. Returns 1
/// when the output was written and -1 when it was not, after printing what
/// went wrong; then no output and no temporary file are left.
int rebuild_game(const std::string& output_path, const std::string& input_path);

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

#endif  // BRENVIK_ROM_REBUILD_H_
