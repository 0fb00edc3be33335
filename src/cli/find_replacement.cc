#include "cli/find_replacement.h"

#include "cli/console_messages.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/files.h"
#include "rom/messages.h"

namespace {

// The size of the file at `path`; false when it cannot be read.
bool size_of(const std::string& path, uint64_t* size) {
  FilePtr file(open_for_reading(path), std::fclose);
  return file && file_size(file.get(), size);
}

// A file given to be read, its size to `*size`: named in the message when
// it cannot be read.
bool readable(const std::string& path, uint64_t* size) {
  if (size_of(path, size)) return true;
  print_formatted(message_file_unreadable, path.c_str());
  return false;
}

// A whole image used as the binary would give a game that cannot start.
bool is_a_binary(const std::string& path, const std::string& shown) {
  if (!is_donor_image(path)) return true;
  print_formatted(message_whole_image_as_binary, shown.c_str());
  return false;
}

Search found_if(bool found) { return found ? Search::found : Search::failed; }

// Says what went wrong, if anything, and how the search ends for it.
Search said(Failure failure) {
  print_failure(failure);
  return found_if(failure == Failure::none);
}

// --donor FILE: the binary is taken for this run alone, into a scratch
// file or, when only checking, not at all. A donor that cannot be read is
// named as the user gave it.
Search take_donor_option(const Options& options, Replacement* r) {
  uint64_t donor_size = 0;
  if (!readable(options.donor, &donor_size)) return Search::failed;
  const Failure failure = options.check
                              ? read_donor(options.donor, r)
                              : extract_arm7_to_scratch(options.donor, r);
  if (failure != Failure::donor_unreadable) return said(failure);
  print_formatted(message_file_unreadable, options.donor.c_str());
  return Search::failed;
}

// arm7.bin beside the tool, with donor.nds there too: the binary counts as
// the donor's only when it is the donor's.
void compare_with_donor(const std::string& donor_path, Replacement* r) {
  Arm7Addresses addresses;
  if (!is_donor_image(donor_path, &addresses)) return;
  if (arm7_is_donors(arm7_path, donor_path)) {
    r->from_donor = true;
    r->donor = addresses;
  } else {
    print_message(message_stale_arm7);
  }
}

Search find_beside_tool(const Options& options, const std::string& donor_path,
                        Replacement* r) {
  for (;;) {
    if (file_exists(arm7_path)) {
      if (!is_a_binary(arm7_path, "arm7.bin")) return Search::failed;
      *r = replacement_at(arm7_path);
      // An arm7.bin that cannot be read is said so by the rebuild.
      if (size_of(arm7_path, &r->size)) compare_with_donor(donor_path, r);
      return Search::found;
    }
    if (file_exists(donor_path)) break;
    print_message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (options.check) return Search::failed;
    if (!wait_for_key_press(message_pause)) return Search::failed_paused;
  }
  if (options.check) return said(read_donor(donor_path, r));
  print_message(message_extracting);
  return said(extract_arm7(donor_path, arm7_path, r));
}

}  // namespace

Search find_replacement(const Options& options, const std::string& program_dir,
                        Replacement* replacement) {
  if (!options.arm7.empty()) {
    arm7_path = options.arm7;
    *replacement = replacement_at(arm7_path);
    return found_if(readable(arm7_path, &replacement->size) &&
                    is_a_binary(arm7_path, options.arm7));
  }
  if (!options.donor.empty()) return take_donor_option(options, replacement);
  arm7_path = program_dir + "arm7.bin";
  return find_beside_tool(options, program_dir + "donor.nds", replacement);
}
