// Brenvik: fixing one game, the step every front-end takes for each game.
#ifndef BRENVIK_ROM_FIX_GAME_H_
#define BRENVIK_ROM_FIX_GAME_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rom/extract_arm7.h"

/// Where the replacement binary of a run came from. A donor's binary is
/// built for the donor's addresses, which each game is compared with.
struct ReplacementOrigin {
  bool from_donor;
  Arm7Addresses donor;
};

/// How one game went.
struct GameOutcome {
  bool fixed;   // written (or, when checking, would be)
  bool warned;  // the donor's binary may not fit it
};

/// Fixes the game at `input_path` with the replacement binary at
/// `arm7_path` (or `arm7_scratch`): names the output (`fixed_output_path`),
/// warns when `origin` is a donor whose ARM7 addresses differ from the
/// game's, deletes an old file of the output's name, rebuilds into it and
/// prints the success message. When it is not fixed, what went wrong has
/// been printed and no output is there.
GameOutcome fix_game(const std::string& input_path,
                     const ReplacementOrigin& origin);

/// The same checks and the plan, said and not done (see `check_rebuild`),
/// for a replacement of `arm7_size` bytes.
GameOutcome check_game(const std::string& input_path, uint64_t arm7_size,
                       const ReplacementOrigin& origin);

/// True when the file name of `input_path` has the four characters the
/// output name replaces; otherwise says so.
bool has_room_for_suffix(const std::string& input_path);

/// The end of a run on several games: `count_message` filled with how many
/// of `count` were fixed, then which were not and which were written with
/// a warning.
void print_games_summary(const char* count_message, size_t count,
                         const std::vector<std::string>& not_fixed,
                         const std::vector<std::string>& warned);

#endif  // BRENVIK_ROM_FIX_GAME_H_
