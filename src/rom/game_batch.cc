// Brenvik: a run over several games: headings, the count and the lists at its end.
#include "rom/game_batch.h"

#include <utility>

#include "rom/messages.h"

namespace {

void say_heading(const GameBatch& batch, const std::string& shown_name,
                 Status& status) {
  if (batch.numbered)
    status.message(formatted(message_game_heading, batch.done + 1, batch.count,
                             shown_name.c_str()));
}

void say_list(const char* heading, const std::vector<std::string>& games,
              Status& status) {
  if (games.empty()) return;
  std::string text = heading;
  for (const std::string& game : games)
    text += formatted(message_not_fixed_game, game.c_str());
  status.message(text + "\n");
}

}  // namespace

GameBatch begin_batch(size_t count, bool numbered, RunContext run) {
  GameBatch batch;
  batch.count = count;
  batch.numbered = numbered;
  batch.run = std::move(run);
  return batch;
}

GameBatch begin_batch(size_t count, bool numbered, bool checking) {
  RunContext run;
  run.mode = checking ? RunMode::check : RunMode::fix;
  return begin_batch(count, numbered, std::move(run));
}

GameOutcome fix_next_game(GameBatch& batch, const std::string& input_path,
                          const std::string& shown_name,
                          ReplacementSet& replacements, Status& status) {
  say_heading(batch, shown_name, status);
  GameOutcome outcome = fix_game(input_path, replacements, batch.run, status);
  say_outcome(outcome, batch.run.mode, status);
  if (!outcome.fixed()) batch.not_fixed.push_back(shown_name);
  if (outcome.fixed() && outcome.warned())
    batch.warned.push_back(shown_name);
  ++batch.done;
  return outcome;
}

void count_not_fixed(GameBatch& batch, const std::string& shown_name,
                     Status& status) {
  say_heading(batch, shown_name, status);
  batch.not_fixed.push_back(shown_name);
  ++batch.done;
}

size_t fixed_count(const GameBatch& batch) {
  return batch.done - batch.not_fixed.size();
}

void finish_batch(const GameBatch& batch, Status& status) {
  if (batch.run.mode == RunMode::verify) {
    status.message(
        formatted(message_verify_count, fixed_count(batch), batch.count));
    return;
  }
  if (!batch.numbered) return;
  status.message(formatted(batch.run.mode == RunMode::check
                               ? message_games_would_be_fixed
                               : message_games_fixed,
                           fixed_count(batch), batch.count));
  say_list(message_not_fixed, batch.not_fixed, status);
  say_list(message_with_warnings, batch.warned, status);
}
