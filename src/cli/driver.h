// Brenvik: the command-line driver, the tool's whole user interface.
#ifndef BRENVIK_CLI_DRIVER_H_
#define BRENVIK_CLI_DRIVER_H_

#include <string>
#include <vector>

#include "version.h"

/// One run of the tool on `args` (`args[0]` the path the tool was started
/// by, then games and folders of games): banner, the search for a
/// replacement binary in the tool's directory (extracting it from
/// donor.nds there when only that is present), once, then each game
/// rebuilt into its path with its last four characters replaced by
/// "-arm7fixed.nds" (see `fix_game`), and a pause for a key press. Several
/// games, or a folder, are numbered as they go and counted at the end.
/// Returns the exit status: 0 when every fixed game was written, 1
/// otherwise.
int run_driver(const std::vector<std::string>& args);

/// Fixes one game once the replacement binary is there: the output path,
/// the old output deleted, the rebuild and the success message. True when
/// the fixed game was written; otherwise what went wrong has been printed.
bool fix_game(const std::string& input_path);

/// The directory the tool's files are looked up in: the directory part of
/// `argv0` as written. When `argv0` has none (the tool was found through
/// PATH), the directory of the running executable as the system reports it,
/// and failing that the current directory (an empty prefix).
std::string tool_directory(const std::string& argv0);

constexpr const char* message_banner =
    "Brenvik v" BRENVIK_VERSION " by Tolmaro\n\n";
constexpr const char* message_usage = "Usage: brenvik <game.nds>\n\n";
// Runs on several games or on folders; filled in as printf does.
constexpr const char* message_game_heading = "[%zu/%zu] %s\n\n";
constexpr const char* message_no_game_found = "No game found in %s!\n\n";
constexpr const char* message_games_fixed = "%zu of %zu games fixed.\n\n";
constexpr const char* message_not_fixed = "Not fixed:\n";
constexpr const char* message_not_fixed_game = "%s\n";
constexpr const char* message_place_source =
    "Place your arm7.bin or donor.nds into the same directory and hit "
    "return\n\n";
constexpr const char* message_extracting =
    "Extracting arm7.bin from donor.nds...\n\n";
constexpr const char* message_success = "Game successfully arm7 fixed!\n\n";
constexpr const char* message_name_too_short =
    "The game's file name is too short!\n\n";

#endif  // BRENVIK_CLI_DRIVER_H_
