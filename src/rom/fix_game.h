// Brenvik: fixing one game, the step every front-end takes for each game.
#ifndef BRENVIK_ROM_FIX_GAME_H_
#define BRENVIK_ROM_FIX_GAME_H_

#include <cstdint>
#include <string>

#include "rom/messages.h"
#include "rom/rebuild.h"
#include "rom/replacement.h"
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
  std::string output_path;          // where it is (or would be) written
  PlannedOutput planned;            // checking: what would be written
  bool fixed() const { return failure == Failure::none; }
};

/// Fixes the game at `input_path` with `replacement`: names the output
/// (`fixed_output_path`), warns through `status` when the replacement is a
/// donor's whose ARM7 addresses differ from the game's, and rebuilds into
/// the output (an old file of its name deleted first). When it is not
/// fixed, no output is there. The outcome is said by `say_outcome`.
GameOutcome fix_game(const std::string& input_path,
                     const Replacement& replacement, Status& status);

/// The same checks and the plan, nothing written (see `check_rebuild`).
GameOutcome check_game(const std::string& input_path,
                       const Replacement& replacement, Status& status);

/// `Failure::name_too_short` when the file name of `input_path` lacks the
/// four characters the output name replaces.
Failure check_output_name(const std::string& input_path);

/// Says how a game went: the failure, naming `replacement` where it is
/// about it; or the success message, or when checking the planned output.
void say_outcome(const GameOutcome& outcome, const Replacement& replacement,
                 bool checking, Status& status);

#endif  // BRENVIK_ROM_FIX_GAME_H_
