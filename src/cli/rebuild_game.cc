// Brenvik: the rebuild of one game as the console has always run it.
#include "cli/rebuild_game.h"

#include "cli/console_status.h"
#include "rom/files.h"
#include "rom/rebuild.h"

int rebuild_game(const std::string& output_path,
                 const std::string& input_path) {
  ConsoleStatus status;
  const Replacement replacement = replacement_at(arm7_path, kArm7Name);
  const Failure failure = rebuild_opened_game(open_game(input_path),
                                              replacement, output_path, status);
  if (failure == Failure::none) return 1;
  status.message(failure_message(
      failure, failure_names_output(failure) ? output_path : replacement.name));
  return -1;
}
