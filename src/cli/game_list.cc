// Brenvik: turning the command line's games and folders into the games to fix.
#include "cli/game_list.h"

#include <algorithm>

#include "cli/console_messages.h"
#include "platform/platform.h"
#include "rom/output_name.h"

std::vector<std::string> games_in_folder(const std::string& folder) {
  std::vector<std::string> names;
  list_folder_files(folder, &names);
  names.erase(std::remove_if(
                  names.begin(), names.end(),
                  [](const std::string& name) { return !is_game_name(name); }),
              names.end());
  std::sort(names.begin(), names.end(), game_name_less);
  for (std::string& name : names) name = join_path(folder, name);
  return names;
}

GameList list_games(const std::vector<std::string>& arguments, Status& status) {
  GameList list = {{}, false, false};
  bool any_folder = false;
  for (const std::string& argument : arguments) {
    if (argument.empty() || !is_folder(argument)) {
      list.games.push_back(argument);
      continue;
    }
    any_folder = true;
    std::vector<std::string> games = games_in_folder(argument);
    if (games.empty()) {
      status.message(formatted(message_no_game_found, argument.c_str()));
      list.empty_folder = true;
    }
    list.games.insert(list.games.end(), games.begin(), games.end());
  }
  list.one_game = arguments.size() == 1 && !any_folder;
  return list;
}
