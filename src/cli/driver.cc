#include "cli/driver.h"

#include "cli/extract_arm7.h"
#include "cli/paths.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/platform.h"
#include "rom/rebuild.h"

namespace {

// Makes sure `arm7_path` is there, waiting for the user while neither it
// nor the donor is, and extracting it when only the donor is. False when
// there is no replacement to rebuild with; the reason has been printed.
// `*paused` tells whether the run's last pause has already been made.
bool find_replacement(const std::string& donor_path, bool* paused) {
  *paused = false;
  if (file_exists(arm7_path)) return true;
  while (!file_exists(arm7_path) && !file_exists(donor_path)) {
    print_message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (!wait_for_key_press()) {
      *paused = true;
      return false;
    }
  }
  if (file_exists(arm7_path)) return true;
  print_message(message_extracting);
  if (const char* failure = extract_arm7(donor_path, arm7_path)) {
    print_message(failure);
    return false;
  }
  return true;
}

// Every run ends here: one pause, so a window opened by dropping a file on
// the tool stays until the user has read it.
int finish(int status) {
  wait_for_key_press();
  return status;
}

}  // namespace

std::string tool_directory(const std::string& argv0) {
  std::string directory = program_directory(argv0);
  if (directory.empty()) directory = program_directory(executable_path());
  return directory;
}

int run_driver(const std::vector<std::string>& args) {
  install_interrupt_cleanup();
  const std::string program_dir = tool_directory(args.empty() ? "" : args[0]);
  print_message(message_banner);
  if (args.size() < 2) {
    print_message(message_usage);
    return finish(1);
  }

  std::string input_path = args[1];
  strip_quotes(input_path);
  // The output name replaces the last four characters; with fewer in the
  // file name that would eat into the directory.
  if (file_name_length(input_path) < 4) {
    print_message(message_name_too_short);
    return finish(1);
  }

  arm7_path = program_dir + "arm7.bin";
  const std::string donor_path = program_dir + "donor.nds";
  bool paused = false;
  if (!find_replacement(donor_path, &paused)) return paused ? 1 : finish(1);

  const std::string output_path = fixed_output_path(input_path);
  remove_file(output_path);
  bool written = rebuild_game(output_path, input_path) == 1 &&
                 file_exists(output_path);
  if (written) print_message(message_success);
  return finish(written ? 0 : 1);
}
