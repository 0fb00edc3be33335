// Brenvik: the command-line driver, the tool's whole user interface.
#ifndef BRENVIK_CLI_DRIVER_H_
#define BRENVIK_CLI_DRIVER_H_

#include <string>
#include <vector>

/// One run of the tool on `args` (`args[0]` the path the tool was started
/// by, `args[1]` the game image): banner, the search for a replacement
/// binary in the tool's directory (extracting it from donor.nds there when
/// only that is present), the rebuild into the input's path with its last
/// four characters replaced by "-arm7fixed.nds", the result, and a pause
/// for a key press. Returns the exit status: 0 when the fixed game was
/// written, 1 otherwise.
int run_driver(const std::vector<std::string>& args);

/// The directory the tool's files are looked up in: the directory part of
/// `argv0` as written. When `argv0` has none (the tool was found through
/// PATH), the directory of the running executable as the system reports it,
/// and failing that the current directory (an empty prefix).
std::string tool_directory(const std::string& argv0);

constexpr const char* message_banner = "Brenvik v1.1.1 by Tolmaro\n\n";
constexpr const char* message_usage = "Usage: brenvik <game.nds>\n\n";
constexpr const char* message_place_source =
    "Place your arm7.bin or donor.nds into the same directory and hit "
    "return\n\n";
constexpr const char* message_extracting =
    "Extracting arm7.bin from donor.nds...\n\n";
constexpr const char* message_success = "Game successfully arm7 fixed!\n\n";
constexpr const char* message_name_too_short =
    "The game's file name is too short!\n\n";

#endif  // BRENVIK_CLI_DRIVER_H_
