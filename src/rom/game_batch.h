// Brenvik: a run over several games, the same in every front-end.
#ifndef BRENVIK_ROM_GAME_BATCH_H_
#define BRENVIK_ROM_GAME_BATCH_H_

#include <cstddef>
#include <string>
#include <vector>

#include "rom/fix_game.h"
#include "rom/replacement_set.h"
#include "rom/status.h"

/// The games of one run, each fixed (or checked) as if alone, one failure
/// stopping none of the others. A numbered batch heads each game "[i/n]"
/// and ends with the count and the lists of games not fixed and written
/// with a warning.
struct GameBatch {
  size_t count = 0;
  bool numbered = false;
  RunContext run;    // what the run does, and keeps from game to game
  size_t done = 0;   // games with an outcome so far
  std::vector<std::string> not_fixed;
  std::vector<std::string> warned;
};

/// A batch of `count` games in `run`.
GameBatch begin_batch(size_t count, bool numbered, RunContext run);
/// The same in a run of its own, fixing or (`checking`) checking.
GameBatch begin_batch(size_t count, bool numbered, bool checking);

/// Fixes (or checks) the next game of the batch, at `input_path`, named
/// `shown_name` in the heading and the lists, with its replacement from
/// `replacements`, and says through `status` its heading, what the step
/// says as it goes, and its outcome (`say_outcome`).
GameOutcome fix_next_game(GameBatch& batch, const std::string& input_path,
                          const std::string& shown_name,
                          ReplacementSet& replacements, Status& status);

/// Counts the next game as not fixed without trying it, after its
/// heading: a front-end could not hand it over, and says why.
void count_not_fixed(GameBatch& batch, const std::string& shown_name,
                     Status& status);

/// How many games of the batch were fixed (or would be).
size_t fixed_count(const GameBatch& batch);

/// The end of a numbered batch: how many were fixed, then which were not
/// and which were written with a warning; nothing for an unnumbered one.
/// Verifying, numbered or not, how many outputs hold the fixed game.
void finish_batch(const GameBatch& batch, Status& status);

#endif  // BRENVIK_ROM_GAME_BATCH_H_
