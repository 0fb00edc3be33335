#include "rom/game_batch.h"

#include "rom/messages.h"

namespace {

void print_heading(const GameBatch& batch, const std::string& shown_name) {
  if (batch.numbered)
    print_formatted(message_game_heading, batch.done + 1, batch.count,
                    shown_name.c_str());
}

void print_list(const char* heading, const std::vector<std::string>& games) {
  if (games.empty()) return;
  print_message(heading);
  for (const std::string& game : games)
    print_formatted(message_not_fixed_game, game.c_str());
  print_message("\n");
}

}  // namespace

GameBatch begin_batch(size_t count, bool numbered, bool checking) {
  GameBatch batch;
  batch.count = count;
  batch.numbered = numbered;
  batch.checking = checking;
  return batch;
}

GameOutcome fix_next_game(GameBatch& batch, const std::string& input_path,
                          const std::string& shown_name,
                          const Replacement& replacement) {
  print_heading(batch, shown_name);
  GameOutcome outcome = batch.checking ? check_game(input_path, replacement)
                                       : fix_game(input_path, replacement);
  if (!outcome.fixed) batch.not_fixed.push_back(shown_name);
  if (outcome.warned) batch.warned.push_back(shown_name);
  ++batch.done;
  return outcome;
}

void count_not_fixed(GameBatch& batch, const std::string& shown_name) {
  print_heading(batch, shown_name);
  batch.not_fixed.push_back(shown_name);
  ++batch.done;
}

size_t fixed_count(const GameBatch& batch) {
  return batch.done - batch.not_fixed.size();
}

void finish_batch(const GameBatch& batch) {
  if (!batch.numbered) return;
  print_formatted(
      batch.checking ? message_games_would_be_fixed : message_games_fixed,
      fixed_count(batch), batch.count);
  print_list(message_not_fixed, batch.not_fixed);
  print_list(message_with_warnings, batch.warned);
}
