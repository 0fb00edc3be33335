// Brenvik: the command-line driver: one run of the tool, from banner to pause.
#include "cli/driver.h"

#include "cli/console_messages.h"
#include "cli/console_status.h"
#include "cli/find_replacement.h"
#include "cli/game_list.h"
#include "cli/options.h"
#include "cli/paths.h"
#include "platform/platform.h"
#include "rom/fix_game.h"
#include "rom/game_batch.h"
#include "rom/messages.h"

#include <utility>

namespace {

// Every run on games ends here: one pause, so a window opened by dropping a
// file on the tool stays until the user has read it. --check is for
// scripts and never waits.
int finish(const Options& options, int status) {
  if (!options.check && !options.verify) wait_for_key_press(message_pause);
  return status;
}

// The games, each fixed as if alone; several, or any from a folder, are
// numbered and counted at the end.
int run_on_games(RunContext run, const GameList& list,
                 ReplacementSet& replacements, Status& status) {
  GameBatch batch =
      begin_batch(list.games.size(), !list.one_game, std::move(run));
  for (const std::string& game : list.games)
    fix_next_game(batch, game, game, replacements, status);
  finish_batch(batch, status);
  return batch.not_fixed.empty() && !list.empty_folder ? 0 : kNotFixed;
}

}  // namespace

std::string tool_directory(const std::string& argv0) {
  std::string directory = program_directory(argv0);
  if (directory.empty()) directory = program_directory(executable_path());
  return directory;
}

int run_driver(const std::vector<std::string>& args) {
  install_interrupt_cleanup();
  ConsoleStatus status;
  const std::string program_dir = tool_directory(args.empty() ? "" : args[0]);
  status.message(message_banner);
  Options options;
  if (!parse_options(args, status, &options)) return kBadOptions;
  if (options.version) return 0;
  if (options.help) {
    status.message(message_usage);
    status.message(message_help);
    return 0;
  }
  if (options.games.empty()) {
    status.message(message_usage);
    return finish(options, kNotFixed);
  }

  for (std::string& game : options.games) strip_quotes(game);
  const GameList list = list_games(options.games, status);
  // A single game whose name cannot take the suffix is refused before
  // anything is looked for or extracted.
  if (list.one_game) {
    if (Failure failure = check_output_name(list.games[0]);
        failure != Failure::none) {
      status.message(failure_text(failure));
      return finish(options, kNotFixed);
    }
  }
  RunContext run = run_context_of(options);
  ReplacementSet replacements;
  if (!list.games.empty()) {
    const Search search =
        find_replacement(options, program_dir, run, status, &replacements);
    if (search == Search::failed_paused) return kNotFixed;
    if (search == Search::failed) return finish(options, kNotFixed);
  }
  return finish(options,
                run_on_games(std::move(run), list, replacements, status));
}
