// Brenvik: fixing one game, the step every front-end takes for each game.
#ifndef BRENVIK_ROM_FIX_GAME_H_
#define BRENVIK_ROM_FIX_GAME_H_

#include <cstddef>
#include <string>
#include <vector>

/// Fixes the game at `input_path` with the replacement binary at
/// `arm7_path`: names the output (`fixed_output_path`), deletes an old
/// file of that name, rebuilds into it and prints the success message.
/// True when the fixed game was written; otherwise what went wrong has
/// been printed and no output is there.
bool fix_game(const std::string& input_path);

/// True when the file name of `input_path` has the four characters the
/// output name replaces; otherwise says so.
bool has_room_for_suffix(const std::string& input_path);

/// The end of a run on several games: how many of `count` were fixed and,
/// when some were not, which.
void print_games_summary(size_t count, const std::vector<std::string>& not_fixed);

#endif  // BRENVIK_ROM_FIX_GAME_H_
