// Brenvik: fixing one game, the step every front-end takes for each game.
#ifndef BRENVIK_ROM_FIX_GAME_H_
#define BRENVIK_ROM_FIX_GAME_H_

#include <string>

#include "rom/replacement.h"

/// How one game went.
struct GameOutcome {
  bool fixed;               // written (or, when checking, would be)
  bool warned;              // the donor's binary may not fit it
  std::string output_path;  // where it is (or would be) written
};

/// Fixes the game at `input_path` with `replacement`: names the output
/// (`fixed_output_path`), warns when the replacement is a donor's whose
/// ARM7 addresses differ from the game's, rebuilds into the output (an
/// old file of its name deleted first) and prints the success message.
/// When it is not fixed, what went wrong has been printed and no output is
/// there.
GameOutcome fix_game(const std::string& input_path,
                     const Replacement& replacement);

/// The same checks and the plan, said and not done (see `check_rebuild`),
/// for a replacement of `replacement.size` bytes.
GameOutcome check_game(const std::string& input_path,
                       const Replacement& replacement);

/// True when the file name of `input_path` has the four characters the
/// output name replaces; otherwise says so.
bool has_room_for_suffix(const std::string& input_path);

#endif  // BRENVIK_ROM_FIX_GAME_H_
