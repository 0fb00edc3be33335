// Brenvik: the command line's arguments as the list of games to fix.
#ifndef BRENVIK_CLI_GAME_LIST_H_
#define BRENVIK_CLI_GAME_LIST_H_

#include <string>
#include <vector>

#include "rom/output_name.h"
#include "rom/status.h"

/// The games one run fixes, in order.
struct GameList {
  std::vector<std::string> games;
  bool one_game;      // a single argument that is no folder: a run as ever
  bool empty_folder;  // a folder held no game
};

/// The files directly in `folder` that `is_game_name` takes, ordered by
/// name with ASCII letter case ignored, each as the folder's path joined
/// with its name: a folder's games, or its donors.
std::vector<std::string> games_in_folder(const std::string& folder);

/// Expands `arguments` (quotes already removed), each a game or a folder,
/// into the games to fix, in the order given. A folder stands for its
/// `games_in_folder`; for a folder without any it says "No game found in
/// <folder>!" through `status`.
GameList list_games(const std::vector<std::string>& arguments, Status& status);

#endif  // BRENVIK_CLI_GAME_LIST_H_
