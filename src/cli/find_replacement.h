// Brenvik: the console tool's search for its replacement binary.
#ifndef BRENVIK_CLI_FIND_REPLACEMENT_H_
#define BRENVIK_CLI_FIND_REPLACEMENT_H_

#include <string>

#include "cli/options.h"
#include "rom/replacement_set.h"
#include "rom/run_context.h"
#include "rom/status.h"

/// How the search ended.
enum class Search {
  found,
  failed,         // there is none to rebuild with; the reason has been said
  failed_paused,  // the same, after a pause that was the run's last
};

/// The replacements of a run, settled once before any game: the file
/// --arm7 names; the binary of the image --donor names, in a scratch file;
/// the donors in the folder --donors names; or, beside the tool in
/// `program_dir`, arm7.bin, or the binary of donor.nds extracted into
/// arm7.bin (only looked at with --check), or the donors in the folder
/// `donors`, waiting for the user while none of them is there. Says
/// through `status` what it does and what stops it, and with --check the
/// single replacement's version. Sets `arm7_path` where the binary is a
/// file. Writes nothing when `run` checks or verifies: a donor's binary is
/// then read where it lies.
Search find_replacement(const Options& options, const std::string& program_dir,
                        RunContext& run, Status& status,
                        ReplacementSet* replacements);

#endif  // BRENVIK_CLI_FIND_REPLACEMENT_H_
