// Brenvik: fixing one game, the step every front-end takes for each game.
#ifndef BRENVIK_ROM_FIX_GAME_H_
#define BRENVIK_ROM_FIX_GAME_H_

#include <cstdint>
#include <string>

#include "rom/messages.h"
#include "rom/rebuild.h"
#include "rom/replacement_set.h"
#include "rom/run_context.h"
#include "rom/status.h"

/// A donor's binary built for another address than the game's: the game
/// keeps its own, so it may not start. `donor` and `game` are the values
/// that differ, the load addresses where those do, else the entry points.
struct AddressWarning {
  bool given = false;
  uint32_t donor = 0;
  uint32_t game = 0;
};

/// How one game went.
struct GameOutcome {
  Failure failure = Failure::none;  // none: written (or, checking, would be)
  AddressWarning warning;           // said before the rebuild
  bool sdk_warning = false;         // the donor's binary across SDK 5
  std::string output_path;          // where it is (or would be) written
  std::string replacement_name;     // what a failure names
  PlannedOutput planned;            // checking: what would be written
  Verdict verdict = Verdict::same;  // verifying: the output as it is
  /// Where the output first differs from the fixed game: read back
  /// (`read_back_differs`), or verified (`Verdict::differs`).
  uint64_t first_difference = 0;
  bool fixed() const {
    return failure == Failure::none && verdict == Verdict::same;
  }
  bool warned() const { return warning.given || sdk_warning; }
};

/// Fixes the game at `input_path` with its replacement from `replacements`
/// (`replacement_for`): names the output (`fixed_output_path`), warns
/// through `status` when the replacement is a donor's whose ARM7 addresses
/// differ from the game's or whose SDK version lies across SDK 5 from the
/// game's, and rebuilds into the output (an old file of its name deleted
/// first). When it is not fixed, no output is there. The outcome is said
/// by `say_outcome`. As `run` says: checking, the same checks and the
/// plan, nothing written (see `check_rebuild`), with the game's SDK
/// version said first; verifying, the existing output compared with the
/// fixed game (`verify_rebuild`), nothing written and no warning said.
GameOutcome fix_game(const std::string& input_path,
                     ReplacementSet& replacements, RunContext& run,
                     Status& status);

/// `Failure::name_too_short` when the file name of `input_path` lacks the
/// four characters the output name replaces.
Failure check_output_name(const std::string& input_path);

/// Says how a game went: the failure, naming the replacement where it is
/// about it; or the success message, when checking the planned output,
/// when verifying what the output holds.
void say_outcome(const GameOutcome& outcome, RunMode mode, Status& status);

/// --check's line of the replacement of a single set, said once.
void say_replacement(const Replacement& replacement, Status& status);

#endif  // BRENVIK_ROM_FIX_GAME_H_
