// Brenvik: the command-line driver, the console tool's whole user
// interface.
#ifndef BRENVIK_CLI_DRIVER_H_
#define BRENVIK_CLI_DRIVER_H_

#include <string>
#include <vector>

/// One run of the tool on `args` (`args[0]` the path the tool was started
/// by, then games and folders of games): banner, the search for a
/// replacement binary in the tool's directory (extracting it from
/// donor.nds there when only that is present), once, then each game
/// fixed by `fix_game`, and a pause for a key press. Several games, or a
/// folder, are numbered as they go and counted at the end. Returns the
/// exit status: 0 when every fixed game was written, 1 otherwise.
int run_driver(const std::vector<std::string>& args);

/// The directory the tool's files are looked up in: the directory part of
/// `argv0` as written. When `argv0` has none (the tool was found through
/// PATH), the directory of the running executable as the system reports it,
/// and failing that the current directory (an empty prefix).
std::string tool_directory(const std::string& argv0);

#endif  // BRENVIK_CLI_DRIVER_H_
