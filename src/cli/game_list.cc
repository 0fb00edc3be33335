#include "cli/game_list.h"

#include <algorithm>
#include <cstdint>

#include "cli/console_messages.h"
#include "platform/platform.h"

namespace {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool ends_with_ignoring_case(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  return std::equal(
      end.begin(), end.end(), text.end() - end.size(),
      [](char a, char b) { return ascii_lower(a) == ascii_lower(b); });
}

// The games directly in `folder`, as paths joined from it.
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

}  // namespace

bool is_game_name(const std::string& name) {
  return ends_with_ignoring_case(name, ".nds") &&
         !ends_with_ignoring_case(name, "-arm7fixed.nds");
}

bool game_name_less(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const uint8_t x = uint8_t(ascii_lower(a[i])),
                  y = uint8_t(ascii_lower(b[i]));
    if (x != y) return x < y;
  }
  // Equal with case ignored up to the shorter: the shorter first, then
  // the bytes as they are.
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
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
