// Brenvik: clearing what an interrupted run left behind, before a run
// writes into the same folder.
#ifndef BRENVIK_ROM_LEFTOVERS_H_
#define BRENVIK_ROM_LEFTOVERS_H_

#include <cstdint>
#include <string>

#include "rom/run_context.h"
#include "rom/status.h"

/// Removes the leftovers of interrupted runs (`leftovers_beside`) in the
/// folder a file at `path` is about to be written into, so the space they
/// hold counts as free, saying each with its size, and each that cannot be
/// removed; when checking, says what a run would remove and removes
/// nothing; when verifying, nothing. Looks only the first time `run` comes
/// to that folder, so a folder of n games is read once, not n times.
void clear_leftovers(RunContext& run, const std::string& path, Status& status);

/// The same, looking again at a folder already looked at: where the free
/// space does not suffice, a leftover may have turned old enough since.
/// Each leftover is said once in a run.
void clear_leftovers_again(RunContext& run, const std::string& path,
                           Status& status);

/// `bytes` as a person reads a file's size: "409 MiB", "12 KiB", "100
/// bytes".
std::string size_text(uint64_t bytes);

#endif  // BRENVIK_ROM_LEFTOVERS_H_
