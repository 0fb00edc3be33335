// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#ifndef BRENVIK_ROM_REBUILD_H_
#define BRENVIK_ROM_REBUILD_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/replacement.h"
#include "rom/run_context.h"
#include "rom/status.h"

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

/// What --check says of a rebuild it plans: the output's size, whether the
/// trim leaves trailing fill of the input behind, and each header field
/// that names a moved part, with its old and new value.
struct MovedPart {
  const char* name;
  uint32_t from;
  uint32_t to;
};
struct PlannedOutput {
  uint64_t size = 0;
  bool fill_cut = false;
  std::vector<MovedPart> moved;
};

/// Writes `output_path`: `game` with its ARM7 binary replaced by
/// `replacement`, the FNT and FAT moved behind it and the FAT relocated,
/// the tail copied up to 0x4000 bytes past the used area and on to the end
/// of every part of the game that starts inside it, with trailing fill
/// cut, every header field that names a moved part moved with it, and the
/// header re-sealed.
///
/// Any old file named `output_path` is deleted first, even when the game
/// could not be opened; then `status` hears "Rebuilding game...", the
/// Download Play message where the tail ends in data, and the progress.
/// The image is written under a temporary name beside the output (or as a
/// file without a name), put on the disk, read back from it past the
/// system's cache where `run` asks for that and the medium allows it, and
/// only then named `output_path`, so the output name never holds a part,
/// nor bytes the card did not keep. Where the folder lacks the room,
/// leftovers are looked for again (`clear_leftovers_again`). Returns
/// `Failure::none` when the output was written, or what went wrong, and
/// then no output and no temporary file are left; for
/// `read_back_differs`, the first differing offset is `*first_difference`.
Failure rebuild_opened_game(const OpenedGame& game,
                            const Replacement& replacement,
                            const std::string& output_path, Status& status,
                            RunContext& run, uint64_t* first_difference);
/// The same in a run of its own, reading back.
Failure rebuild_opened_game(const OpenedGame& game,
                            const Replacement& replacement,
                            const std::string& output_path, Status& status);

/// How an existing output compares with the fixed game.
enum class Verdict { same, differs, missing, unreadable };

/// --verify: compares the file at `output_path` with what
/// `rebuild_opened_game` would write, past the cache where the system
/// allows (`open_medium_reader`), writing nothing. Returns the failure
/// that refuses the image or keeps the game or binary from being read, or
/// `Failure::none` with the outcome in `*verdict` (and for `differs` the
/// first differing offset in `*first_difference`).
Failure verify_rebuild(const OpenedGame& game, const Replacement& replacement,
                       const std::string& output_path, Status& status,
                       Verdict* verdict, uint64_t* first_difference);

/// What `rebuild_opened_game` would do to `game` with `replacement`, of
/// the size found when it was settled, with nothing opened or written:
/// the output it would write to `*planned`, or what refuses the image (a
/// replacement whose size is not known cannot be read).
Failure check_rebuild(const OpenedGame& game, const Replacement& replacement,
                      PlannedOutput* planned);

#endif  // BRENVIK_ROM_REBUILD_H_
