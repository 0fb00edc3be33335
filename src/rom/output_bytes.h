// Brenvik: the bytes a rebuild's output holds, piece by piece, and the
// three things that go by them: the write, the read-back of what the card
// kept, and --verify.
#ifndef BRENVIK_ROM_OUTPUT_BYTES_H_
#define BRENVIK_ROM_OUTPUT_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/rebuild_plan.h"

/// Where the bytes of one stretch of the output come from.
enum class PieceSource {
  header,         // the new header
  input,          // the game's bytes from `from` on
  replacement,    // the new binary's bytes from `from` on
  zeros,          // an alignment gap, or an empty FAT's lost front
  relocated_fat,  // the game's FAT from `from` on, each word relocated
  fill,           // 0xFF, where the trim's rounding passes the chunk
};

/// One stretch of the output: `length` bytes at `at`.
struct OutputPiece {
  PieceSource source;
  uint64_t at;
  uint64_t length;
  uint64_t from;
};

constexpr size_t kMaxOutputPieces = 10;

/// The output of one rebuild, front to back: its pieces, which follow each
/// other without a gap from 0 to `size`.
struct OutputLayout {
  CartridgeHeader header;  // updated and sealed
  size_t header_length;
  RebuildPlan plan;
  OutputPiece pieces[kMaxOutputPieces];
  size_t count;
  uint64_t size;
};

/// The output a rebuild by `plan` of a game with `header` (as read) holds.
OutputLayout output_layout(CartridgeHeader header, const RebuildPlan& plan);

/// A file that is the `length` bytes at `from` of the input, as a donor's
/// binary extracted.
OutputLayout copy_layout(uint64_t from, uint64_t length);

/// What the bytes are read from: the game, and the replacement binary,
/// which starts `arm7_offset` bytes into its file.
struct OutputSources {
  std::FILE* input;
  std::FILE* arm7;
  uint64_t arm7_offset;
};

/// Writes the whole output to `out` from its start, front to back, the
/// game's stretches copied in the kernel where it can; `buffer` holds
/// `kCopyBufferSize` bytes. A short read of the game is `input_short`, of
/// the binary `arm7_unreadable`; a refused write `output_failed`.
Failure write_output(const OutputLayout& layout, const OutputSources& sources,
                     std::FILE* out, uint8_t* buffer, Progress* progress);

/// Compares what `reader` reads with the output, reading the game and the
/// binary again for it, in pieces of `kMediumPiece`: `Failure::none` when
/// every byte and the size agree; `read_back_differs` with the first
/// differing offset in `*first_difference` (where the sizes differ, the
/// first byte past the shorter); `read_back_failed` when the reader
/// failed; `input_short` or `arm7_unreadable` when the game or the binary
/// could not be read again; `out_of_memory`.
Failure compare_with_medium(const OutputLayout& layout,
                            const OutputSources& sources, MediumReader* reader,
                            Progress* progress, uint64_t* first_difference);

/// After `flush_new_file`: reads `file` back from its medium and compares
/// it with `layout` as `compare_with_medium` does, the progress (where
/// given) going on as the read-back's; `Failure::none` too where there is
/// nothing to read back (`begin_read_back`).
Failure read_back_new_file(NewFile* file, const OutputLayout& layout,
                           const OutputSources& sources, Progress* progress,
                           uint64_t* first_difference);

#endif  // BRENVIK_ROM_OUTPUT_BYTES_H_
