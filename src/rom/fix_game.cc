#include "rom/fix_game.h"

#include "platform/platform.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/output_name.h"
#include "rom/rebuild.h"

namespace {

// A binary loaded at another address than it was built for does not run:
// the game keeps its own addresses in its header, so a donor from another
// family gives a game that cannot start.
bool warn_of_addresses(const std::string& input_path,
                       const ReplacementOrigin& origin) {
  Arm7Addresses game;
  if (!origin.from_donor || !read_arm7_addresses(input_path, &game))
    return false;
  if (origin.donor.ram != game.ram)
    print_formatted(message_address_warning, origin.donor.ram, game.ram);
  else if (origin.donor.entry != game.entry)
    print_formatted(message_address_warning, origin.donor.entry, game.entry);
  else
    return false;
  return true;
}

void print_list(const char* heading, const std::vector<std::string>& games) {
  if (games.empty()) return;
  print_message(heading);
  for (const std::string& game : games)
    print_formatted(message_not_fixed_game, game.c_str());
  print_message("\n");
}

}  // namespace

bool has_room_for_suffix(const std::string& input_path) {
  // With fewer characters in the file name the suffix would eat into the
  // folder.
  if (file_name_length(input_path) >= 4) return true;
  print_message(message_name_too_short);
  return false;
}

GameOutcome fix_game(const std::string& input_path,
                     const ReplacementOrigin& origin) {
  if (!has_room_for_suffix(input_path)) return {false, false};
  const bool warned = warn_of_addresses(input_path, origin);
  const std::string output_path = fixed_output_path(input_path);
  remove_file(output_path);
  bool written = rebuild_game(output_path, input_path) == 1 &&
                 file_exists(output_path);
  if (written) print_message(message_success);
  return {written, written && warned};
}

GameOutcome check_game(const std::string& input_path, uint64_t arm7_size,
                       const ReplacementOrigin& origin) {
  if (!has_room_for_suffix(input_path)) return {false, false};
  const bool warned = warn_of_addresses(input_path, origin);
  const bool fixable =
      check_rebuild(fixed_output_path(input_path), input_path, arm7_size);
  return {fixable, fixable && warned};
}

void print_games_summary(const char* count_message, size_t count,
                         const std::vector<std::string>& not_fixed,
                         const std::vector<std::string>& warned) {
  print_formatted(count_message, count - not_fixed.size(), count);
  print_list(message_not_fixed, not_fixed);
  print_list(message_with_warnings, warned);
}
