// Brenvik: fixing one game: the checks before it, the rebuild or its plan,
// and what the user is told of it.
#include "rom/fix_game.h"

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/leftovers.h"
#include "rom/output_name.h"
#include "rom/sdk_version.h"

namespace {

// A binary loaded at another address than it was built for does not run:
// the game keeps its own addresses in its header, so a donor from another
// family gives a game that cannot start.
AddressWarning address_warning(const GameFacts& game,
                               const Replacement& replacement) {
  AddressWarning warning;
  if (!replacement.from_donor || !game.addresses_known) return warning;
  if (replacement.donor.ram != game.addresses.ram)
    warning = {true, replacement.donor.ram, game.addresses.ram};
  else if (replacement.donor.entry != game.addresses.entry)
    warning = {true, replacement.donor.entry, game.addresses.entry};
  return warning;
}

// What the choice of a donor and the warnings go by, from the game as far
// as it could be read; its version (or side) only `with_sdk`, since
// finding none reads the whole ARM9 binary.
GameFacts facts_of(const std::string& input_path, const OpenedGame& game,
                   bool with_sdk) {
  GameFacts facts;
  facts.path = input_path;
  if (game_header_has(game, header_field::arm7_ram_address + 4)) {
    facts.addresses_known = true;
    facts.addresses = {
        header_u32(game.header, header_field::arm7_entry_address),
        header_u32(game.header, header_field::arm7_ram_address)};
  }
  if (with_sdk && game_header_has(game, header_field::arm9_size + 4))
    facts.sdk = read_sdk_version(
        game.file.get(), game.size,
        header_u32(game.header, header_field::arm9_rom_offset),
        header_u32(game.header, header_field::arm9_size));
  // A game's own ARM7 binary is built with its ARM9 binary's SDK.
  if (with_sdk && !facts.sdk.known &&
      game_header_has(game, header_field::arm7_size + 4))
    facts.sdk.side = read_arm7_side(
        game.file.get(), game.size,
        header_u32(game.header, header_field::arm7_rom_offset),
        header_u32(game.header, header_field::arm7_size));
  return facts;
}

// --check's lines of the game itself: its version, and for a DSi title
// that its own DSi binary stays.
void say_game(const OpenedGame& game, const GameFacts& facts, Status& status) {
  status.message(named(message_check_game, sdk_built_with_text(facts.sdk)));
  if (game_header_has(game, header_field::unit_code + 1) &&
      is_dsi_image(game.header))
    status.message(message_check_dsi_arm7);
}

void say_warnings(const GameOutcome& outcome, const Replacement& replacement,
                  const GameFacts& game, Status& status) {
  if (outcome.warning.given)
    status.message(formatted(message_address_warning, outcome.warning.donor,
                             outcome.warning.game));
  if (outcome.sdk_warning)
    status.message(formatted(
        message_sdk5_warning,
        replacement.from_donor ? message_donors_binary
                               : replacement.name.c_str(),
        sdk_as_built_text(replacement.sdk).c_str(),
        sdk_as_built_text(game.sdk).c_str()));
}

// What a failure's text names: the output where it stood in the way, the
// offset where the card did not keep it, else the replacement.
std::string failure_subject(const GameOutcome& outcome) {
  if (failure_names_output(outcome.failure)) return outcome.output_path;
  if (outcome.failure == Failure::read_back_differs)
    return difference_text(outcome.first_difference);
  return outcome.replacement_name;
}

void say_verdict(const GameOutcome& outcome, Status& status) {
  const char* output = outcome.output_path.c_str();
  switch (outcome.verdict) {
    case Verdict::same:
      status.message(formatted(message_verify_same, output));
      break;
    case Verdict::differs:
      status.message(
          formatted(message_verify_differs, output,
                    difference_text(outcome.first_difference).c_str()));
      break;
    case Verdict::missing:
      status.message(formatted(message_verify_missing, output));
      break;
    case Verdict::unreadable:
      status.message(formatted(message_verify_unreadable, output));
      break;
  }
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

// The game is opened once for the choice of its donor, the checks and the
// rebuild, its plan or the comparison with its output.
GameOutcome fix_game(const std::string& input_path,
                     ReplacementSet& replacements, RunContext& run,
                     Status& status) {
  const bool checking = run.mode == RunMode::check;
  GameOutcome outcome;
  outcome.failure = check_output_name(input_path);
  // A refused name needs nothing of the game, except that --check says
  // every game's version, a refused one's too.
  if (!outcome.fixed() && !checking) return outcome;
  const OpenedGame game = open_game(input_path);
  // --check says it; a donor's binary, or one whose side of SDK 5 is
  // known, is chosen or warned of by it.
  const Replacement& first = replacements.choices.front();
  const bool with_sdk = checking || replacements.several || first.from_donor ||
                        sdk5_side(first.sdk) != Sdk5Side::unknown;
  const GameFacts facts = facts_of(input_path, game, with_sdk);
  if (!outcome.fixed()) {
    say_game(game, facts, status);
    return outcome;
  }
  const Replacement* replacement = replacement_for(
      replacements, facts, run.mode, status, &outcome.failure);
  if (checking) say_game(game, facts, status);
  if (!replacement) {
    outcome.replacement_name = replacements.source;
    return outcome;
  }
  outcome.replacement_name = replacement->name;
  outcome.output_path = fixed_output_path(input_path);
  if (run.mode == RunMode::verify) {
    outcome.failure =
        verify_rebuild(game, *replacement, outcome.output_path, status,
                       &outcome.verdict, &outcome.first_difference);
    return outcome;
  }
  outcome.warning = address_warning(facts, *replacement);
  outcome.sdk_warning = across_sdk5(replacement->sdk, facts.sdk);
  say_warnings(outcome, *replacement, facts, status);
  // Before the free space is measured, so what they held counts as free.
  clear_leftovers(run, outcome.output_path, status);
  if (checking) {
    outcome.failure = check_rebuild(game, *replacement, &outcome.planned);
  } else {
    outcome.failure =
        rebuild_opened_game(game, *replacement, outcome.output_path, status,
                            run, &outcome.first_difference);
    // Success is the output there, as every caller sees it.
    if (outcome.fixed() && !file_exists(outcome.output_path))
      outcome.failure = Failure::output_failed;
  }
  return outcome;
}

void say_outcome(const GameOutcome& outcome, RunMode mode, Status& status) {
  if (outcome.failure != Failure::none)
    status.message(failure_message(outcome.failure, failure_subject(outcome)));
  else if (mode == RunMode::verify)
    say_verdict(outcome, status);
  else if (mode == RunMode::check)
    say_planned(outcome, status);
  else
    status.message(message_success);
}

void say_replacement(const Replacement& replacement, Status& status) {
  status.message(formatted(message_check_replacement,
                           replacement_source_text(replacement).c_str(),
                           sdk_built_with_text(replacement.sdk).c_str()));
}
