// Brenvik: the console tool's command line.
#ifndef BRENVIK_CLI_OPTIONS_H_
#define BRENVIK_CLI_OPTIONS_H_

#include <string>
#include <vector>

#include "rom/run_context.h"
#include "rom/status.h"

/// Exit statuses besides 0.
constexpr int kNotFixed = 1;
constexpr int kBadOptions = 2;

/// What the command line asks for.
struct Options {
  bool help = false;
  bool version = false;
  bool check = false;
  bool verify = false;     // --verify: compare the outputs, write nothing
  bool no_verify = false;  // --no-verify: no read-back of what is written
  std::string arm7;   // --arm7 FILE, quotes removed
  std::string donor;  // --donor FILE, quotes removed
  std::string donors; // --donors FOLDER, quotes removed
  std::vector<std::string> games;
};

/// Reads the options in front of the games of `args` (`args[0]` the
/// tool's path) into `*options`. False, after saying through `status` what
/// is wrong, with the usage, when they are wrong: the run ends with
/// `kBadOptions`.
bool parse_options(const std::vector<std::string>& args, Status& status,
                   Options* options);

/// The run the options ask for: its mode, and whether what it writes is
/// read back.
RunContext run_context_of(const Options& options);

#endif  // BRENVIK_CLI_OPTIONS_H_
