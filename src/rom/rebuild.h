// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#ifndef BRENVIK_ROM_REBUILD_H_
#define BRENVIK_ROM_REBUILD_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/replacement.h"

/// A game opened once for all one game goes through: the address check,
/// the plan and the copy. Its size and as much of its header as the file
/// holds are read when it is opened.
struct OpenedGame {
  FilePtr file{nullptr, std::fclose};  // null when it could not be opened
  bool size_known = false;
  uint64_t size = 0;
  bool header_read = false;  // `header_length` bytes are in `header`
  size_t header_length = 0;  // the file's size, up to `kExtendedEnd`
  CartridgeHeader header = {};
};

/// Opens the game at `path` and reads its size and header; says nothing.
OpenedGame open_game(const std::string& path);

/// True when the game's header was read at least up to byte `end`.
bool game_header_has(const OpenedGame& game, uint32_t end);

/// Writes `output_path`: the image at `input_path` with its ARM7 binary
/// replaced by the file at `arm7_path`; see `rebuild_opened_game`. Returns
/// 1 when the output was written and -1 when it was not.
int rebuild_game(const std::string& output_path, const std::string& input_path);

/// Writes `output_path`: `game` with its ARM7 binary replaced by
/// `replacement`, the FNT and FAT moved behind it and the FAT relocated,
/// the tail copied up to 0x4000 bytes past the used area and on to the end
/// of every part of the game that starts inside it, with trailing fill
/// cut, every header field that names a moved part moved with it, and the
/// header re-sealed.
///
/// Any old file named `output_path` is deleted first, even when the game
/// could not be opened. The image is written under a temporary name beside
/// the output and renamed to `output_path` only when complete, so the
/// output name never holds a part. True when the output was written; false
/// after printing what went wrong, and then no output and no temporary
/// file are left.
bool rebuild_opened_game(const OpenedGame& game, const Replacement& replacement,
                         const std::string& output_path);

/// What `rebuild_opened_game` would do to `game` with a replacement of
/// `new_arm7_size` bytes, said and not done: where the output would go,
/// its size, whether trailing fill is cut, and each moved part's old and
/// new offset; or what refuses the image. True when the game would be
/// fixed. Nothing is written.
bool check_rebuild(const OpenedGame& game, uint64_t new_arm7_size,
                   const std::string& output_path);

#endif  // BRENVIK_ROM_REBUILD_H_
