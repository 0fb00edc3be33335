#include "cli/find_replacement.h"

#include "cli/console_messages.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/files.h"
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
// `arm7_file`, or into a scratch file where that is empty, or when only
// checking not at all.
Search take_donor(const std::string& path, const std::string& name,
                  const std::string& arm7_file, bool checking, Status& status,
                  Replacement* r) {
  Candidate donor;
  Failure failure = look_at_replacement(path, name, Offered::as_donor, &donor);
  if (failure == Failure::none) {
    if (checking)
      *r = replacement_of(donor);
    else if (arm7_file.empty())
      failure = extract_arm7_to_scratch(donor, r);
    else
      failure = extract_arm7(donor, arm7_file, r);
  }
  return said(failure, name, status);
}

// arm7.bin beside the tool, with donor.nds there too: the binary counts as
// the donor's only when it is the donor's.
void compare_with_donor(const std::string& donor_path, Status& status,
                        Replacement* r) {
  Arm7Addresses addresses;
  if (!is_donor_image(donor_path, &addresses)) return;
  if (arm7_is_donors(arm7_path, donor_path)) {
    r->from_donor = true;
    r->donor = addresses;
  } else {
    status.message(message_stale_arm7);
  }
}

Search find_beside_tool(const Options& options, const std::string& donor_path,
                        Status& status, Replacement* r) {
  for (;;) {
    if (file_exists(arm7_path)) {
      Candidate binary;
      Failure failure = look_at_replacement(arm7_path, kArm7Name,
                                            Offered::as_binary, &binary);
      *r = replacement_of(binary);
      // An arm7.bin that cannot be read is said so by each game.
      if (failure == Failure::arm7_unreadable) return Search::found;
      if (failure == Failure::none) compare_with_donor(donor_path, status, r);
      return said(failure, kArm7Name, status);
    }
    if (file_exists(donor_path)) break;
    status.message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (options.check) return Search::failed;
    if (!wait_for_key_press(message_pause)) return Search::failed_paused;
  }
  if (!options.check) {
    clear_leftovers(arm7_path, false, status);
    status.message(named(message_extracting, kDonorName));
  }
  return take_donor(donor_path, kDonorName, arm7_path, options.check, status,
                    r);
}

}  // namespace

Search find_replacement(const Options& options, const std::string& program_dir,
                        Status& status, Replacement* replacement) {
  if (!options.arm7.empty()) {
    arm7_path = options.arm7;
    Candidate binary;
    const Failure failure = look_at_replacement(arm7_path, options.arm7,
                                                Offered::as_binary, &binary);
    *replacement = replacement_of(binary);
    return said(failure, options.arm7, status);
  }
  if (!options.donor.empty())
    return take_donor(options.donor, options.donor, "", options.check, status,
                      replacement);
  arm7_path = program_dir + kArm7Name;
  return find_beside_tool(options, program_dir + kDonorName, status,
                          replacement);
}
