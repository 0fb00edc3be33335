#include "rom/fix_game.h"

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/leftovers.h"
#include "rom/output_name.h"

namespace {

// A binary loaded at another address than it was built for does not run:
// the game keeps its own addresses in its header, so a donor from another
// family gives a game that cannot start.
AddressWarning address_warning(const OpenedGame& game,
                               const Replacement& replacement) {
  AddressWarning warning;
  if (!replacement.from_donor ||
      !game_header_has(game, header_field::arm7_ram_address + 4))
    return warning;
  const uint32_t entry =
      header_u32(game.header, header_field::arm7_entry_address);
  const uint32_t ram = header_u32(game.header, header_field::arm7_ram_address);
  if (replacement.donor.ram != ram)
    warning = {true, replacement.donor.ram, ram};
  else if (replacement.donor.entry != entry)
    warning = {true, replacement.donor.entry, entry};
  return warning;
}

// The game opened once for the address check and the rebuild, or its plan.
GameOutcome fix_or_check(const std::string& input_path,
                         const Replacement& replacement, bool checking,
                         Status& status) {
  GameOutcome outcome;
  outcome.failure = check_output_name(input_path);
  if (!outcome.fixed()) return outcome;
  const OpenedGame game = open_game(input_path);
  outcome.warning = address_warning(game, replacement);
  if (outcome.warning.given)
    status.message(formatted(message_address_warning, outcome.warning.donor,
                             outcome.warning.game));
  outcome.output_path = fixed_output_path(input_path);
  // Before the free space is measured, so what they held counts as free.
  clear_leftovers(outcome.output_path, checking, status);
  if (checking) {
    outcome.failure = check_rebuild(game, replacement, &outcome.planned);
  } else {
    outcome.failure =
        rebuild_opened_game(game, replacement, outcome.output_path, status);
    // Success is the output there, as every caller sees it.
    if (outcome.fixed() && !file_exists(outcome.output_path))
      outcome.failure = Failure::output_failed;
  }
  return outcome;
}

void say_planned(const GameOutcome& outcome, Status& status) {
  const PlannedOutput& planned = outcome.planned;
  std::string text = formatted(
      planned.fill_cut ? message_check_output_cut : message_check_output,
      outcome.output_path.c_str(), (unsigned long long)planned.size);
  for (const MovedPart& part : planned.moved)
    text += formatted(message_check_moved, part.name, part.from, part.to);
  status.message(text + "\n");
}

}  // namespace

Failure check_output_name(const std::string& input_path) {
  // With fewer characters in the file name the suffix would eat into the
  // folder.
  return file_name_length(input_path) >= 4 ? Failure::none
                                           : Failure::name_too_short;
}

GameOutcome fix_game(const std::string& input_path,
                     const Replacement& replacement, Status& status) {
  return fix_or_check(input_path, replacement, false, status);
}

GameOutcome check_game(const std::string& input_path,
                       const Replacement& replacement, Status& status) {
  return fix_or_check(input_path, replacement, true, status);
}

void say_outcome(const GameOutcome& outcome, const Replacement& replacement,
                 bool checking, Status& status) {
  if (!outcome.fixed())
    status.message(failure_message(outcome.failure, replacement.name));
  else if (checking)
    say_planned(outcome, status);
  else
    status.message(message_success);
}
