// Brenvik: the console tool's search for its replacement binary.
#ifndef BRENVIK_CLI_FIND_REPLACEMENT_H_
#define BRENVIK_CLI_FIND_REPLACEMENT_H_

#include <string>

#include "cli/options.h"
#include "rom/replacement.h"
#include "rom/status.h"

/// How the search ended.
enum class Search {
  found,
  failed,         // there is none to rebuild with; the reason has been said
  failed_paused,  // the same, after a pause that was the run's last
};

/// The replacement of a run, settled once before any game: the file
/// --arm7 names; the binary of the image --donor names, in a scratch file;
/// or, beside the tool in `program_dir`, arm7.bin, or the binary of
/// donor.nds extracted into arm7.bin (only looked at with --check), waiting
/// for the user while neither is there. Says through `status` what it does
/// and what stops it. Sets `arm7_path` where the binary is a file.
Search find_replacement(const Options& options, const std::string& program_dir,
                        Status& status, Replacement* replacement);

#endif  // BRENVIK_CLI_FIND_REPLACEMENT_H_
