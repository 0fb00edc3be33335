// Brenvik: the path functions of the driver. Both the backslash and the
// slash separate path components, on every platform.
#ifndef BRENVIK_CLI_PATHS_H_
#define BRENVIK_CLI_PATHS_H_

#include <string>

/// The directory part of `path` up to and including its last backslash or
/// slash; empty when it has neither.
std::string program_directory(const std::string& path);

/// Removes every double quote from `text` in place, keeping the order of
/// the other characters. A path whose closing quote followed a backslash
/// reaches the program with that quote still in it.
void strip_quotes(std::string& text);

#endif  // BRENVIK_CLI_PATHS_H_
