#include "rom/fix_game.h"

#include "rom/files.h"
#include "rom/messages.h"
#include "rom/output_name.h"
#include "rom/rebuild.h"
#include "platform/platform.h"

bool has_room_for_suffix(const std::string& input_path) {
  // With fewer characters in the file name the suffix would eat into the
  // folder.
  if (file_name_length(input_path) >= 4) return true;
  print_message(message_name_too_short);
  return false;
}

bool fix_game(const std::string& input_path) {
  if (!has_room_for_suffix(input_path)) return false;
  const std::string output_path = fixed_output_path(input_path);
  remove_file(output_path);
  bool written = rebuild_game(output_path, input_path) == 1 &&
                 file_exists(output_path);
  if (written) print_message(message_success);
  return written;
}

void print_games_summary(size_t count,
                         const std::vector<std::string>& not_fixed) {
  print_formatted(message_games_fixed, count - not_fixed.size(), count);
  if (not_fixed.empty()) return;
  print_message(message_not_fixed);
  for (const std::string& game : not_fixed)
    print_formatted(message_not_fixed_game, game.c_str());
  print_message("\n");
}
