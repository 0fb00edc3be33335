// Brenvik: the console tool's own words: usage, help, its options, the
// search for a replacement beside the tool, the pause and the progress
// line. The texts both front-ends show are in rom/messages.h.
#ifndef BRENVIK_CLI_CONSOLE_MESSAGES_H_
#define BRENVIK_CLI_CONSOLE_MESSAGES_H_

inline constexpr char message_usage[] =
    "Usage: brenvik [options] <game.nds | folder>...\n\n";
inline constexpr char message_help[] =
    "Replaces the arm7 binary of each game with arm7.bin beside the tool (taken\n"
    "from donor.nds there when missing) and writes <game>-arm7fixed.nds.\n"
    "\n"
    "Options:\n"
    "  --arm7 FILE   use FILE as the arm7 binary; nothing beside the tool is used\n"
    "  --donor FILE  take the arm7 binary from the game image FILE; nothing is\n"
    "                written beside the tool\n"
    "  --donors FOLDER\n"
    "                take the game images in FOLDER as donors and use for each\n"
    "                game the one that fits it best (without --arm7 or --donor,\n"
    "                a folder named donors beside the tool, when neither\n"
    "                arm7.bin nor donor.nds is there)\n"
    "  --check       say what would change in each game; write nothing\n"
    "  --verify      compare each game's existing <game>-arm7fixed.nds with the\n"
    "                fixed game, past the system's cache (after the card was\n"
    "                taken out and put back); write nothing\n"
    "  --no-verify   do not read each fixed game back from the card before it\n"
    "                gets its name\n"
    "  -h, --help    show this and end\n"
    "  --version     show the version and end\n"
    "  --            end of the options: every argument after it is a game\n"
    "\n"
    "Exit status: 0 when every game was fixed (with --check: would be; with\n"
    "--verify: every output holds exactly the fixed game), 1 when a game was\n"
    "not (a card that did not keep it included) or the replacement could not\n"
    "be had, 2 when the options are wrong.\n\n";
inline constexpr char message_unknown_option[] = "Unknown option: %s\n\n";
inline constexpr char message_option_needs_file[] =
    "Option %s needs a file!\n\n";
inline constexpr char message_options_conflict[] =
    "Options %s and %s cannot be used together!\n\n";
inline constexpr char message_no_game_found[] = "No game found in %s!\n\n";

// Where the replacement binary comes from.
inline constexpr char message_place_source[] =
    "Place your arm7.bin or donor.nds into the same directory and hit "
    "return\n\n";
inline constexpr char message_stale_arm7[] =
    "Using arm7.bin, which is not the arm7 binary of donor.nds.\n\n";

/// The pause's prompt where the tool prints its own (POSIX systems; on
/// Windows the command interpreter's "pause" prints it).
inline constexpr char message_pause[] = "Press any key to continue . . . ";

/// The progress line at a terminal: percentage, MiB moved, MiB in all;
/// drawn over itself with '\r'.
inline constexpr char message_progress[] = "\r%3u%%  %llu of %llu MiB";
/// The same while the fixed game is read back from the card.
inline constexpr char message_progress_read_back[] =
    "\r%3u%%  %llu of %llu MiB read back";

#endif  // BRENVIK_CLI_CONSOLE_MESSAGES_H_
