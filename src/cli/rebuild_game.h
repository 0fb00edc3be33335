// Brenvik: the rebuild of one game as the console has always run it.
#ifndef BRENVIK_CLI_REBUILD_GAME_H_
#define BRENVIK_CLI_REBUILD_GAME_H_

#include <string>

/// Writes `output_path`: the image at `input_path` with its ARM7 binary
/// replaced by the file at `arm7_path` (see `rebuild_opened_game`), what it
/// says and what went wrong said on the console. Returns 1 when the output
/// was written and -1 when it was not.
int rebuild_game(const std::string& output_path, const std::string& input_path);

#endif  // BRENVIK_CLI_REBUILD_GAME_H_
