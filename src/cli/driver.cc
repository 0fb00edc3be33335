#include "cli/driver.h"

#include "cli/game_list.h"
#include "cli/paths.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/files.h"
#include "rom/fix_game.h"
#include "rom/messages.h"

namespace {

// Makes sure `arm7_path` is there, waiting for the user while neither it
// nor the donor is, and extracting it when only the donor is. False when
// there is no replacement to rebuild with; the reason has been printed.
// `*paused` tells whether the run's last pause has already been made.
bool find_replacement(const std::string& donor_path, bool* paused) {
  *paused = false;
  if (file_exists(arm7_path)) return true;
  while (!file_exists(arm7_path) && !file_exists(donor_path)) {
    print_message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (!wait_for_key_press()) {
      *paused = true;
      return false;
    }
  }
  if (file_exists(arm7_path)) return true;
  print_message(message_extracting);
  if (const char* failure = extract_arm7(donor_path, arm7_path)) {
    print_message(failure);
    return false;
  }
  return true;
}

// Every run ends here: one pause, so a window opened by dropping a file on
// the tool stays until the user has read it.
int finish(int status) {
  wait_for_key_press();
  return status;
}

// The run on one game given alone, as the tool has always run.
int run_on_one_game(const std::string& input_path,
                    const std::string& donor_path) {
  if (!has_room_for_suffix(input_path)) return finish(1);
  bool paused = false;
  if (!find_replacement(donor_path, &paused)) return paused ? 1 : finish(1);
  return finish(fix_game(input_path) ? 0 : 1);
}

// The run on several games, or on folders: each fixed as if alone, one
// failure stopping none of the others, and a count at the end.
int run_on_games(const GameList& list, const std::string& donor_path) {
  const size_t count = list.games.size();
  bool paused = false;
  if (count > 0 && !find_replacement(donor_path, &paused))
    return paused ? 1 : finish(1);
  std::vector<std::string> not_fixed;
  for (size_t i = 0; i < count; ++i) {
    print_formatted(message_game_heading, i + 1, count, list.games[i].c_str());
    if (!fix_game(list.games[i])) not_fixed.push_back(list.games[i]);
  }
  print_games_summary(count, not_fixed);
  return finish(not_fixed.empty() && !list.empty_folder ? 0 : 1);
}

}  // namespace

std::string tool_directory(const std::string& argv0) {
  std::string directory = program_directory(argv0);
  if (directory.empty()) directory = program_directory(executable_path());
  return directory;
}

int run_driver(const std::vector<std::string>& args) {
  install_interrupt_cleanup();
  const std::string program_dir = tool_directory(args.empty() ? "" : args[0]);
  print_message(message_banner);
  if (args.size() < 2) {
    print_message(message_usage);
    return finish(1);
  }

  std::vector<std::string> arguments(args.begin() + 1, args.end());
  for (std::string& argument : arguments) strip_quotes(argument);
  const GameList list = list_games(arguments);

  arm7_path = program_dir + "arm7.bin";
  const std::string donor_path = program_dir + "donor.nds";
  if (list.one_game) return run_on_one_game(list.games[0], donor_path);
  return run_on_games(list, donor_path);
}
