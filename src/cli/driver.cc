#include "cli/driver.h"

#include "cli/game_list.h"
#include "cli/paths.h"
#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/files.h"
#include "rom/fix_game.h"
#include "rom/messages.h"

namespace {

// Exit statuses besides 0.
constexpr int kNotFixed = 1;
constexpr int kBadOptions = 2;

struct Options {
  bool help = false;
  bool version = false;
  bool check = false;
  std::string arm7;   // --arm7 FILE
  std::string donor;  // --donor FILE
  std::vector<std::string> games;
};

// Reads the options in front of the games into `*options`. Returns -1
// when the run goes on, or the exit status after saying what is wrong.
int parse_options(const std::vector<std::string>& args, Options* options) {
  size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;
    if (arg == "-h" || arg == "--help") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--check") {
      options->check = true;
    } else {
      std::string* file = nullptr;
      std::string name = arg.substr(0, arg.find('='));
      if (name == "--arm7") file = &options->arm7;
      if (name == "--donor") file = &options->donor;
      if (!file) {
        print_formatted(message_unknown_option, arg.c_str());
        print_message(message_usage);
        return kBadOptions;
      }
      if (name.size() < arg.size()) {
        *file = arg.substr(name.size() + 1);
      } else if (i + 1 < args.size()) {
        *file = args[++i];
      }
      strip_quotes(*file);
      if (file->empty()) {
        print_formatted(message_option_needs_file, name.c_str());
        print_message(message_usage);
        return kBadOptions;
      }
    }
  }
  if (!options->arm7.empty() && !options->donor.empty()) {
    print_message(message_options_conflict);
    print_message(message_usage);
    return kBadOptions;
  }
  options->games.assign(args.begin() + i, args.end());
  return -1;
}

// Every run on games ends here: one pause, so a window opened by dropping a
// file on the tool stays until the user has read it. --check is for
// scripts and never waits.
int finish(const Options& options, int status) {
  if (!options.check) wait_for_key_press();
  return status;
}

// The replacement of a run, once settled.
struct Replacement {
  ReplacementOrigin origin = {false, {0, 0}};
  uint64_t size = 0;  // what --check plans with
};

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

// --donor FILE: the binary is taken for this run alone, into a scratch
// file or, when only checking, not at all.
bool take_donor_option(const Options& options, Replacement* r) {
  uint64_t donor_size = 0;
  if (!readable(options.donor, &donor_size)) return false;
  r->origin.from_donor = true;
  read_arm7_addresses(options.donor, &r->origin.donor);
  const char* failure =
      options.check ? donor_arm7_size(options.donor, &r->size)
                    : extract_arm7_to_scratch(options.donor, &arm7_scratch);
  if (failure == message_donor_unreadable) {
    print_formatted(message_file_unreadable, options.donor.c_str());
    return false;
  }
  if (failure) print_message(failure);
  return failure == nullptr;
}

// arm7.bin beside the tool, with donor.nds there too: the binary counts as
// the donor's only when it is the donor's.
void compare_with_donor(const std::string& donor_path, Replacement* r) {
  Arm7Addresses addresses;
  if (!is_donor_image(donor_path, &addresses)) return;
  if (arm7_is_donors(arm7_path, donor_path))
    r->origin = {true, addresses};
  else
    print_message(message_stale_arm7);
}

// The replacement beside the tool: arm7.bin, or the donor's binary,
// extracted into arm7.bin (only looked at when checking), waiting for the
// user while neither is there. False when there is none to rebuild with;
// the reason has been said. `*paused` tells whether the run's last pause
// has already been made.
bool find_beside_tool(const Options& options, const std::string& donor_path,
                      Replacement* r, bool* paused) {
  if (file_exists(arm7_path)) {
    if (!is_a_binary(arm7_path, "arm7.bin")) return false;
    // An arm7.bin that cannot be read is said so by the rebuild.
    if (size_of(arm7_path, &r->size)) compare_with_donor(donor_path, r);
    return true;
  }
  while (!file_exists(arm7_path) && !file_exists(donor_path)) {
    print_message(message_place_source);
    // Unattended (no terminal, or its input at an end) the pause returns
    // at once, and asking again would only spin.
    if (options.check || !wait_for_key_press()) {
      *paused = !options.check;
      return false;
    }
  }
  if (file_exists(arm7_path)) return find_beside_tool(options, donor_path, r, paused);
  r->origin.from_donor = true;
  read_arm7_addresses(donor_path, &r->origin.donor);
  if (options.check) {
    if (const char* failure = donor_arm7_size(donor_path, &r->size)) {
      print_message(failure);
      return false;
    }
    return true;
  }
  print_message(message_extracting);
  if (const char* failure = extract_arm7(donor_path, arm7_path)) {
    print_message(failure);
    return false;
  }
  return true;
}

bool find_replacement(const Options& options, const std::string& program_dir,
                      Replacement* r, bool* paused) {
  *paused = false;
  if (!options.arm7.empty()) {
    arm7_path = options.arm7;
    return readable(arm7_path, &r->size) && is_a_binary(arm7_path, options.arm7);
  }
  if (!options.donor.empty()) return take_donor_option(options, r);
  arm7_path = program_dir + "arm7.bin";
  return find_beside_tool(options, program_dir + "donor.nds", r, paused);
}

GameOutcome fix_or_check(const Options& options, const std::string& game,
                         const Replacement& r) {
  if (options.check) return check_game(game, r.size, r.origin);
  return fix_game(game, r.origin);
}

// The games, each fixed as if alone, one failure stopping none of the
// others; several are numbered and counted at the end.
int run_on_games(const Options& options, const GameList& list,
                 const Replacement& r) {
  const size_t count = list.games.size();
  std::vector<std::string> not_fixed, warned;
  for (size_t i = 0; i < count; ++i) {
    if (!list.one_game)
      print_formatted(message_game_heading, i + 1, count, list.games[i].c_str());
    GameOutcome outcome = fix_or_check(options, list.games[i], r);
    if (!outcome.fixed) not_fixed.push_back(list.games[i]);
    if (outcome.warned) warned.push_back(list.games[i]);
  }
  if (!list.one_game)
    print_games_summary(options.check ? message_games_would_be_fixed
                                      : message_games_fixed,
                        count, not_fixed, warned);
  return not_fixed.empty() && !list.empty_folder ? 0 : kNotFixed;
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
  Options options;
  if (int status = parse_options(args, &options); status >= 0) return status;
  if (options.version) return 0;
  if (options.help) {
    print_message(message_usage);
    print_message(message_help);
    return 0;
  }
  if (options.games.empty()) {
    print_message(message_usage);
    return finish(options, kNotFixed);
  }

  for (std::string& game : options.games) strip_quotes(game);
  const GameList list = list_games(options.games);
  // A single game whose name cannot take the suffix is refused before
  // anything is looked for or extracted.
  if (list.one_game && !has_room_for_suffix(list.games[0]))
    return finish(options, kNotFixed);
  Replacement replacement;
  bool paused = false;
  if (!list.games.empty() &&
      !find_replacement(options, program_dir, &replacement, &paused))
    return paused ? kNotFixed : finish(options, kNotFixed);
  const int status = run_on_games(options, list, replacement);
  if (arm7_scratch) std::fclose(arm7_scratch);
  arm7_scratch = nullptr;
  return finish(options, status);
}
