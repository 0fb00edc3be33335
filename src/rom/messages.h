// Brenvik: everything the tool tells the user, each text defined once; the
// console tool and the page show the same texts.
#ifndef BRENVIK_ROM_MESSAGES_H_
#define BRENVIK_ROM_MESSAGES_H_

#include <cstdint>

#include "version.h"

/// Writes `text` to standard output and flushes it, so it is on the screen
/// before whatever comes next (a pause, a long copy, the end of the run).
/// A progress line on the screen is erased first.
void print_message(const char* text);

/// `print_message` of `format` filled in as printf does.
void print_formatted(const char* format, ...);

/// Where messages and progress go when a front-end has no console (the
/// page): each message whole, and the bytes moved so far of a rebuild
/// that shows its progress. Null restores standard output.
using MessageSink = void (*)(const char* text);
using ProgressSink = void (*)(uint64_t done, uint64_t total);
void set_message_sinks(MessageSink messages, ProgressSink progress);

/// A rebuild that moves more than this many bytes shows its progress, when
/// standard output is a terminal: on slow media it takes minutes.
constexpr uint64_t kProgressThreshold = 64ull << 20;
/// The line is redrawn each time this many more bytes are moved.
constexpr uint64_t kProgressStep = 4ull << 20;
/// Percentage, MiB moved, MiB in all; drawn over itself with '\r'.
constexpr const char* message_progress = "\r%3u%%  %llu of %llu MiB";

/// Starts counting the bytes of a rebuild that moves `total` bytes in all;
/// shows the line (or tells the progress sink) only where it is worth it
/// and a person sees it.
void begin_progress(uint64_t total);
/// Counts `bytes` more moved, redrawing the line every `kProgressStep`.
void advance_progress(uint64_t bytes);
/// True while a line is counted: movers then go in steps small enough to
/// show it.
bool progress_shown();
/// Stops counting and erases the line.
void end_progress();

// The run as a whole. Texts with %-fields are filled in as printf does.
constexpr const char* message_banner =
    "Brenvik v" BRENVIK_VERSION " by Tolmaro\n\n";
constexpr const char* message_usage =
    "Usage: brenvik [options] <game.nds | folder>...\n\n";
constexpr const char* message_help =
    "Replaces the arm7 binary of each game with arm7.bin beside the tool (taken\n"
    "from donor.nds there when missing) and writes <game>-arm7fixed.nds.\n"
    "\n"
    "Options:\n"
    "  --arm7 FILE   use FILE as the arm7 binary; nothing beside the tool is used\n"
    "  --donor FILE  take the arm7 binary from the game image FILE; nothing is\n"
    "                written beside the tool\n"
    "  --check       say what would change in each game; write nothing\n"
    "  -h, --help    show this and end\n"
    "  --version     show the version and end\n"
    "  --            end of the options: every argument after it is a game\n"
    "\n"
    "Exit status: 0 when every game was fixed (or, with --check, would be),\n"
    "1 when a game was not or the replacement could not be had, 2 when the\n"
    "options are wrong.\n\n";
constexpr const char* message_unknown_option = "Unknown option: %s\n\n";
constexpr const char* message_option_needs_file = "Option %s needs a file!\n\n";
constexpr const char* message_options_conflict =
    "Options --arm7 and --donor cannot be used together!\n\n";
constexpr const char* message_game_heading = "[%zu/%zu] %s\n\n";
constexpr const char* message_no_game_found = "No game found in %s!\n\n";
constexpr const char* message_games_fixed = "%zu of %zu games fixed.\n\n";
constexpr const char* message_not_fixed = "Not fixed:\n";
constexpr const char* message_not_fixed_game = "%s\n";
constexpr const char* message_with_warnings = "With warnings:\n";
constexpr const char* message_success = "Game successfully arm7 fixed!\n\n";
constexpr const char* message_name_too_short =
    "The game's file name is too short!\n\n";

// Where the replacement binary comes from.
constexpr const char* message_place_source =
    "Place your arm7.bin or donor.nds into the same directory and hit "
    "return\n\n";
constexpr const char* message_extracting =
    "Extracting arm7.bin from donor.nds...\n\n";
constexpr const char* message_donor_unreadable =
    "The donor.nds could not be read!\n\n";
constexpr const char* message_donor_arm7_outside =
    "The donor's arm7 binary lies outside donor.nds!\n\n";
constexpr const char* message_donor_arm7_empty =
    "The donor's arm7 binary is empty!\n\n";
constexpr const char* message_arm7_not_written =
    "The arm7.bin could not be written!\n\n";
constexpr const char* message_file_unreadable = "The %s could not be read!\n\n";
constexpr const char* message_whole_image_as_binary =
    "The %s is a whole game image; use it as donor.nds or with --donor!\n\n";
constexpr const char* message_stale_arm7 =
    "Using arm7.bin, which is not the arm7 binary of donor.nds.\n\n";
// The donor's binary is built for its own load address; the game keeps its
// own addresses in its header.
constexpr const char* message_address_warning =
    "Warning: the donor's arm7 binary runs at 0x%08X, the game's at 0x%08X; "
    "the fixed game may not start!\n\n";

// --check: what a rebuild would do, with nothing written.
constexpr const char* message_check_output =
    "Would be written as %s, %llu bytes.\n";
constexpr const char* message_check_output_cut =
    "Would be written as %s, %llu bytes, with the trailing fill cut.\n";
constexpr const char* message_check_moved = "%s: 0x%08X -> 0x%08X\n";
constexpr const char* message_games_would_be_fixed =
    "%zu of %zu games would be fixed.\n\n";

// The rebuild's progress and outcome.
constexpr const char* message_rebuilding = "Rebuilding game...\n\n";
constexpr const char* message_input_unreadable =
    "The game could not be written!\n\n";
constexpr const char* message_download_play =
    "Download play data found... Using real end of ROM...\n\n";

// Images the rebuild refuses before it writes anything, because it would
// drop or corrupt part of the game.
constexpr const char* message_header_short =
    "The game's header is incomplete!\n\n";
constexpr const char* message_no_file_system =
    "The game has no file system!\n\n";
constexpr const char* message_arm7_outside =
    "The game's arm7 binary lies outside the image!\n\n";
constexpr const char* message_arm7_into_fnt =
    "The game's arm7 binary runs into its file name table!\n\n";
constexpr const char* message_fnt_behind_fat =
    "The game's file name table lies behind its file table!\n\n";
constexpr const char* message_fnt_outside =
    "The game's file name table lies outside the image!\n\n";
constexpr const char* message_fat_outside =
    "The game's file table lies outside the image!\n\n";
constexpr const char* message_fat_far_outside =
    "The game's file table lies far past the end of the image!\n\n";
constexpr const char* message_file_reversed =
    "A file of the game ends before it starts!\n\n";
constexpr const char* message_file_misplaced =
    "A file of the game overlaps its arm7 binary or its file tables!\n\n";
constexpr const char* message_file_past_used =
    "A file of the game lies past its used area!\n\n";
constexpr const char* message_dsi_area_overrun =
    "The rebuilt game runs into its DSi area!\n\n";

/// What is said of a part the header names when it lies in the stretch
/// between the ARM7 binary and the FNT, which the new binary replaces, or
/// past the stretch the rebuild carries behind the FAT.
struct PartMessages {
  const char* name;  // as --check names the part
  const char* in_replaced_stretch;
  const char* past_used_area;
};
constexpr PartMessages part_arm9 = {
    "arm9 binary",
    "The game's arm9 binary lies between its arm7 binary and its file name "
    "table!\n\n",
    "The game's arm9 binary lies past its used area!\n\n"};
constexpr PartMessages part_arm9_overlays = {
    "arm9 overlay table",
    "The game's arm9 overlay table lies between its arm7 binary and its file "
    "name table!\n\n",
    "The game's arm9 overlay table lies past its used area!\n\n"};
constexpr PartMessages part_arm7_overlays = {
    "arm7 overlay table",
    "The game's arm7 overlay table lies between its arm7 binary and its file "
    "name table!\n\n",
    "The game's arm7 overlay table lies past its used area!\n\n"};
constexpr PartMessages part_banner = {
    "banner",
    "The game's banner lies in front of its file name table!\n\n",
    "The game's banner lies outside the image!\n\n"};
constexpr PartMessages part_debug_rom = {
    "debug rom",
    "The game's debug rom lies between its arm7 binary and its file name "
    "table!\n\n",
    "The game's debug rom lies past its used area!\n\n"};
// A DSi area behind the carried stretch stays where it is, so these parts
// are never past the used area.
constexpr PartMessages part_dsi_arm9 = {
    "DSi arm9 binary",
    "The game's DSi arm9 binary lies between its arm7 binary and its file "
    "name table!\n\n",
    nullptr};
constexpr PartMessages part_dsi_arm7 = {
    "DSi arm7 binary",
    "The game's DSi arm7 binary lies between its arm7 binary and its file "
    "name table!\n\n",
    nullptr};
constexpr PartMessages part_digest_table = {
    "DSi digest table",
    "The game's DSi digest table lies between its arm7 binary and its file "
    "name table!\n\n",
    nullptr};
constexpr PartMessages part_modcrypt_area = {
    "DSi modcrypt area",
    "The game's DSi modcrypt area lies between its arm7 binary and its file "
    "name table!\n\n",
    nullptr};

// The other fields --check names when they move.
constexpr const char* part_name_fnt = "file name table";
constexpr const char* part_name_fat = "file table";
constexpr const char* part_name_digest_area = "DSi digest area";
constexpr const char* part_name_total_size = "total used size";

constexpr const char* message_too_large =
    "The rebuilt game does not fit the header's 32-bit fields!\n\n";

// Failures of the replacement binary, of memory and of the disk.
constexpr const char* message_arm7_unreadable =
    "The arm7.bin could not be read!\n\n";
constexpr const char* message_arm7_empty = "The arm7.bin is empty!\n\n";
constexpr const char* message_input_short =
    "The game could not be read to its end!\n\n";
constexpr const char* message_output_failed =
    "The fixed game could not be written completely!\n\n";
constexpr const char* message_out_of_memory =
    "Not enough memory to rebuild the game!\n\n";

#endif  // BRENVIK_ROM_MESSAGES_H_
