// Brenvik: what one run keeps from game to game.
#ifndef BRENVIK_ROM_RUN_CONTEXT_H_
#define BRENVIK_ROM_RUN_CONTEXT_H_

#include <string>
#include <vector>

/// What a run does with each game.
enum class RunMode {
  fix,     // writes the fixed game
  check,   // --check: says what would change, writes nothing
  verify,  // --verify: compares the existing output, writes nothing
};

/// The state of one run, handed to every step that writes or looks at a
/// folder: the search for the replacement, the extraction, each game.
struct RunContext {
  RunMode mode = RunMode::fix;
  /// Each written file is read back from its medium before it is named
  /// (--no-verify turns it off).
  bool read_back = true;
  /// The folders whose leftovers were looked for, and the leftovers said,
  /// so that each is looked for once and said once in a run.
  std::vector<std::string> folders_looked_at;
  std::vector<std::string> leftovers_said;
};

#endif  // BRENVIK_ROM_RUN_CONTEXT_H_
