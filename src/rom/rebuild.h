// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#ifndef BRENVIK_ROM_REBUILD_H_
#define BRENVIK_ROM_REBUILD_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "rom/files.h"

/// Writes `output_path`: the image at `input_path` with its ARM7 binary
/// replaced by the file at `arm7_path` (or `arm7_scratch`), the FNT and FAT moved behind it and
/// the FAT relocated, the tail copied up to 0x4000 bytes past the used area
/// and on to the end of every part of the game that starts inside it, with
/// trailing fill cut, every header field that names a moved part moved
/// with it, and the header re-sealed.
///
/// Any old file named `output_path` is deleted first. The image is written
/// under a temporary name beside the output and renamed to `output_path`
/// only when complete, so the output name never holds a part. Returns 1
/// when the output was written and -1 when it was not, after printing what
/// went wrong; then no output and no temporary file are left.
int rebuild_game(const std::string& output_path, const std::string& input_path);

/// What `rebuild_game` would do to the game at `input_path` with a
/// replacement of `new_arm7_size` bytes, said and not done: where the
/// output would go, its size, whether trailing fill is cut, and each moved
/// part's old and new offset; or the message that refuses the image. True
/// when the game would be fixed. Nothing is written.
bool check_rebuild(const std::string& output_path,
                   const std::string& input_path, uint64_t new_arm7_size);

#endif  // BRENVIK_ROM_REBUILD_H_
