// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#ifndef BRENVIK_ROM_REBUILD_H_
#define BRENVIK_ROM_REBUILD_H_

#include <cstddef>
#include <cstdint>
#include <string>

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

/// In the last tail chunk `chunk[0, length)`, the length to write: the
/// chunk up to its last byte that differs from the pad byte (0x00 when the
/// chunk ends in 0x00, else 0xFF), rounded up to a multiple of 4, or the
/// whole length when every byte is the pad byte. Sets `*trimmed` when such a
/// byte was found. The caller makes the up to 3 bytes behind `length` 0xFF.
size_t final_chunk_length(const uint8_t* chunk, size_t length, bool* trimmed);

#endif  // BRENVIK_ROM_REBUILD_H_
