// Brenvik: clearing what an interrupted run left behind, before a run
// writes into the same folder.
#ifndef BRENVIK_ROM_LEFTOVERS_H_
#define BRENVIK_ROM_LEFTOVERS_H_

#include <cstdint>
#include <string>

#include "rom/status.h"

/// Removes the leftovers of interrupted runs (`leftovers_beside`) in the
/// folder a file at `path` is about to be written into, so the space they
/// hold counts as free, saying each with its size, and each that cannot be
/// removed. When `checking`, says what a run would remove and removes
/// nothing.
void clear_leftovers(const std::string& path, bool checking, Status& status);

/// `bytes` as a person reads a file's size: "409 MiB", "12 KiB", "100
/// bytes".
std::string size_text(uint64_t bytes);

#endif  // BRENVIK_ROM_LEFTOVERS_H_
