// Brenvik: the name a fixed game is written under, the same in every
// front-end.
#ifndef BRENVIK_ROM_OUTPUT_NAME_H_
#define BRENVIK_ROM_OUTPUT_NAME_H_

#include <cstddef>
#include <string>

/// How many characters (UTF-8 sequences) the file name at the end of `path`
/// has, after its last backslash or slash.
size_t file_name_length(const std::string& path);

/// `input_path` with its last four characters (UTF-8 sequences, so that a
/// name is never cut inside a character) replaced by
/// "-arm7fixed.nds". The caller makes sure the file name has four
/// characters to lose (see `file_name_length`).
std::string fixed_output_path(const std::string& input_path);

/// True for a name that ends in ".nds", in any case, but not in
/// "-arm7fixed.nds", the name of an earlier run's output.
bool is_game_name(const std::string& name);

/// Orders names by their bytes with ASCII letter case ignored, then by
/// their bytes as they are, so that the order is the same everywhere.
bool game_name_less(const std::string& a, const std::string& b);

#endif  // BRENVIK_ROM_OUTPUT_NAME_H_
