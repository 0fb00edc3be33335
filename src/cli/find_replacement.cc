// Brenvik: the console tool's search for the binary it rebuilds with.
#include "cli/find_replacement.h"

#include "cli/console_messages.h"
#include "cli/game_list.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/files.h"
#include "rom/fix_game.h"
#include "rom/leftovers.h"
#include "rom/messages.h"

namespace {

// Says what went wrong, if anything, of the file the user knows as `name`,
// and how the search ends for it.
Search said(Failure failure, const std::string& name, Status& status) {
  if (failure == Failure::none) return Search::found;
  status.message(failure_message(failure, name));
  return Search::failed;
}

// The donor at `path`, known to the user as `name`: its binary taken into
// `arm7_file`, or into a scratch file where that is empty; when checking
// not at all, when verifying read where it lies.
Search take_donor(const std::string& path, const std::string& name,
                  const std::string& arm7_file, const RunContext& run,
                  Status& status, Replacement* r) {
  Failure failure = look_at_replacement(path, name, Offered::as_donor, r);
  if (failure == Failure::none)
    failure = take_donor_binary(arm7_file, run.mode, run.read_back, r);
  return said(failure, name, status);
}

// arm7.bin beside the tool, with donor.nds there too: the binary counts as
// the donor's only when it is the donor's.
void compare_with_donor(const std::string& donor_path, Status& status,
                        Replacement* r) {
  Replacement donor;
  if (look_at_replacement(donor_path, kDonorName, Offered::as_either,
                          &donor) != Failure::none ||
      !donor.donor_image)
    return;
  if (arm7_is_donors(arm7_path, donor_path)) {
    r->from_donor = true;
    r->donor = donor.donor;
    r->sdk = donor.sdk;
  } else {
    status.message(message_stale_arm7);
  }
}

// The donors of `folder`, each looked at; a folder with none that can
// serve ends the search.
Search take_donors(const std::string& folder,
                   const std::vector<std::string>& files, Status& status,
                   ReplacementSet* replacements) {
  *replacements = look_at_donors(files, folder, status);
  if (!replacements->choices.empty()) return Search::found;
  status.message(named(message_no_usable_donor, folder));
  return Search::failed;
}

Search find_beside_tool(const std::string& program_dir, RunContext& run,
                        Status& status, ReplacementSet* replacements) {
  const std::string donor_path = program_dir + kDonorName;
  const std::string donors_folder = program_dir + kDonorsFolderName;
  Replacement r;
  for (;;) {
    if (file_exists(arm7_path)) {
      Failure failure =
          look_at_replacement(arm7_path, kArm7Name, Offered::as_binary, &r);
      // An arm7.bin that cannot be read is said so by each game.
      if (failure == Failure::none) compare_with_donor(donor_path, status, &r);
      *replacements = single_replacement(std::move(r));
      if (failure == Failure::arm7_unreadable) return Search::found;
      return said(failure, kArm7Name, status);
    }
    if (file_exists(donor_path)) break;
    const std::vector<std::string> donors = games_in_folder(donors_folder);
    if (!donors.empty())
      return take_donors(donors_folder, donors, status, replacements);
    status.message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (run.mode != RunMode::fix) return Search::failed;
    if (!wait_for_key_press(message_pause)) return Search::failed_paused;
  }
  if (run.mode == RunMode::fix) {
    clear_leftovers(run, arm7_path, status);
    status.message(named(message_extracting, kDonorName));
  }
  const Search search =
      take_donor(donor_path, kDonorName, arm7_path, run, status, &r);
  *replacements = single_replacement(std::move(r));
  return search;
}

Search find_source(const Options& options, const std::string& program_dir,
                   RunContext& run, Status& status,
                   ReplacementSet* replacements) {
  if (!options.donors.empty())
    return take_donors(options.donors, games_in_folder(options.donors), status,
                       replacements);
  Replacement r;
  Search search = Search::found;
  if (!options.arm7.empty()) {
    arm7_path = options.arm7;
    search = said(look_at_replacement(arm7_path, options.arm7,
                                      Offered::as_binary, &r),
                  options.arm7, status);
  } else if (!options.donor.empty()) {
    search = take_donor(options.donor, options.donor, "", run, status, &r);
  } else {
    arm7_path = program_dir + kArm7Name;
    return find_beside_tool(program_dir, run, status, replacements);
  }
  *replacements = single_replacement(std::move(r));
  return search;
}

}  // namespace

Search find_replacement(const Options& options, const std::string& program_dir,
                        RunContext& run, Status& status,
                        ReplacementSet* replacements) {
  const Search search =
      find_source(options, program_dir, run, status, replacements);
  if (search == Search::found && options.check && !replacements->several)
    say_replacement(replacements->choices.front(), status);
  return search;
}
