#include "rom/fix_game.h"

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/output_name.h"
#include "rom/rebuild.h"

namespace {

// A binary loaded at another address than it was built for does not run:
// the game keeps its own addresses in its header, so a donor from another
// family gives a game that cannot start.
bool warn_of_addresses(const OpenedGame& game, const Replacement& replacement) {
  if (!replacement.from_donor ||
      !game_header_has(game, header_field::arm7_ram_address + 4))
    return false;
  const uint32_t entry =
      header_u32(game.header, header_field::arm7_entry_address);
  const uint32_t ram = header_u32(game.header, header_field::arm7_ram_address);
  if (replacement.donor.ram != ram)
    print_formatted(message_address_warning, replacement.donor.ram, ram);
  else if (replacement.donor.entry != entry)
    print_formatted(message_address_warning, replacement.donor.entry, entry);
  else
    return false;
  return true;
}

// The game opened once for the address check and the rebuild, or its plan.
GameOutcome fix_or_check(const std::string& input_path,
                         const Replacement& replacement, bool checking) {
  GameOutcome outcome = {false, false, std::string()};
  if (!has_room_for_suffix(input_path)) return outcome;
  const OpenedGame game = open_game(input_path);
  const bool warned = warn_of_addresses(game, replacement);
  outcome.output_path = fixed_output_path(input_path);
  if (checking) {
    outcome.fixed = check_rebuild(game, replacement.size, outcome.output_path);
  } else {
    outcome.fixed =
        rebuild_opened_game(game, replacement, outcome.output_path) &&
        file_exists(outcome.output_path);
    if (outcome.fixed) print_message(message_success);
  }
  outcome.warned = outcome.fixed && warned;
  return outcome;
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
                     const Replacement& replacement) {
  return fix_or_check(input_path, replacement, false);
}

GameOutcome check_game(const std::string& input_path,
                       const Replacement& replacement) {
  return fix_or_check(input_path, replacement, true);
}
