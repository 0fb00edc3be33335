// Brenvik: what the library tells the user, each text defined once. The
// library says them through the `Status` it is given (rom/status.h); the
// console tool and the page show the same texts; the console's own words
// (usage, options, the pause) live in src/cli/. A text with "%s" names the
// file a step was about as the user gave or picked it.
#ifndef BRENVIK_ROM_MESSAGES_H_
#define BRENVIK_ROM_MESSAGES_H_

#include <cstdint>
#include <string>

#include "version.h"

// The run as a whole. Texts with %-fields are filled in as printf does.
inline constexpr char message_banner[] =
    "Brenvik v" BRENVIK_VERSION " by Tolmaro\n\n";
inline constexpr char message_game_heading[] = "[%zu/%zu] %s\n\n";
inline constexpr char message_games_fixed[] = "%zu of %zu games fixed.\n\n";
inline constexpr char message_not_fixed[] = "Not fixed:\n";
inline constexpr char message_not_fixed_game[] = "%s\n";
inline constexpr char message_with_warnings[] = "With warnings:\n";
inline constexpr char message_success[] = "Game successfully arm7 fixed!\n\n";
inline constexpr char message_name_too_short[] =
    "The game's file name is too short!\n\n";

// The replacement binary, and taking it from a donor.
inline constexpr char message_extracting[] =
    "Extracting arm7.bin from %s...\n\n";
// A replacement or a donor that cannot be read.
inline constexpr char message_unreadable[] = "The %s could not be read!\n\n";
inline constexpr char message_whole_image_as_binary[] =
    "The %s is a whole game image; use it as donor.nds or with --donor!\n\n";
inline constexpr char message_donor_arm7_outside[] =
    "The donor's arm7 binary lies outside %s!\n\n";
inline constexpr char message_donor_arm7_empty[] =
    "The donor's arm7 binary is empty!\n\n";
inline constexpr char message_arm7_not_written[] =
    "The arm7.bin could not be written!\n\n";
// The donor's binary is built for its own load address; the game keeps its
// own addresses in its header.
inline constexpr char message_address_warning[] =
    "Warning: the donor's arm7 binary runs at 0x%08X, the game's at 0x%08X; "
    "the fixed game may not start!\n\n";

// The SDK versions of the game and the replacement, and several donors.
inline constexpr char message_sdk_long[] = "SDK %u.%u (0x%08X)";
inline constexpr char message_sdk_short[] = "SDK %u.%u";
inline constexpr char message_built_with[] = "built with %s";
inline constexpr char message_no_sdk[] = "no SDK version";
// The side of SDK 5 of an ARM7 binary that shows no version: in a sentence
// ("built with %s"), and in passing ("(%s)").
inline constexpr char message_side_before[] = "an SDK before 5";
inline constexpr char message_side_before_short[] = "before SDK 5";
inline constexpr char message_side_from_sdk5[] = "SDK 5 or later";
inline constexpr char message_arm7_of[] = "the arm7 binary of %s";
// --check: the replacement once, then each game's version.
inline constexpr char message_check_replacement[] = "Replacement: %s, %s.\n\n";
inline constexpr char message_check_game[] = "Game: %s.\n\n";
inline constexpr char message_check_dsi_arm7[] =
    "Only the DS arm7 binary is replaced; the game's own DSi arm7 binary, "
    "built together with it, stays, so in DSi mode the fixed game may not "
    "start.\n\n";
// The system's shared data moved with SDK 5: a binary from the other side
// reads and writes the wrong addresses. Named first is the binary: a
// donor's (`message_donors_binary`), or arm7.bin as the user knows it.
inline constexpr char message_sdk5_warning[] =
    "Warning: %s was built with %s, the game with %s; from SDK 5 on the "
    "system's shared data lies elsewhere in memory, so the fixed game may "
    "not start!\n\n";
inline constexpr char message_donors_binary[] = "the donor's arm7 binary";
// The donor picked for a game from several: its file name, its version.
inline constexpr char message_using_donor[] =
    "Using the arm7 binary of %s (%s).\n\n";
inline constexpr char message_no_usable_donor[] =
    "No usable donor found in %s!\n\n";
// Where the page's donors come from, for that message.
inline constexpr char message_donors_picked[] = "the donors picked";

// A temporary file an interrupted run left in a folder this run writes
// into: its path and its size.
inline constexpr char message_leftover_removed[] =
    "Removed %s (%s), left by an interrupted run.\n\n";
inline constexpr char message_leftover_not_removed[] =
    "Could not remove %s (%s), left by an interrupted run!\n\n";
inline constexpr char message_leftover_would_remove[] =
    "Would remove %s (%s), left by an interrupted run.\n\n";

// --check: what a rebuild would do, with nothing written.
inline constexpr char message_check_output[] =
    "Would be written as %s, %llu bytes.\n";
inline constexpr char message_check_output_cut[] =
    "Would be written as %s, %llu bytes, with the trailing fill cut.\n";
inline constexpr char message_check_moved[] = "%s: 0x%08X -> 0x%08X\n";
inline constexpr char message_games_would_be_fixed[] =
    "%zu of %zu games would be fixed.\n\n";

// The rebuild's progress and outcome.
inline constexpr char message_rebuilding[] = "Rebuilding game...\n\n";
// Said when the game cannot even be opened. Users have known this wording
// from the first version on, so it stays, though nothing was written yet.
inline constexpr char message_game_unopenable[] =
    "The game could not be written!\n\n";
inline constexpr char message_download_play[] =
    "Download play data found... Using real end of ROM...\n\n";

// Images the rebuild refuses before it writes anything, because it would
// drop or corrupt part of the game.
inline constexpr char message_header_short[] =
    "The game's header is incomplete!\n\n";
inline constexpr char message_no_file_system[] =
    "The game has no file system!\n\n";
inline constexpr char message_arm7_outside[] =
    "The game's arm7 binary lies outside the image!\n\n";
inline constexpr char message_arm7_into_fnt[] =
    "The game's arm7 binary runs into its file name table!\n\n";
inline constexpr char message_fnt_behind_fat[] =
    "The game's file name table lies behind its file table!\n\n";
inline constexpr char message_fnt_outside[] =
    "The game's file name table lies outside the image!\n\n";
inline constexpr char message_fat_outside[] =
    "The game's file table lies outside the image!\n\n";
inline constexpr char message_fat_far_outside[] =
    "The game's file table lies far past the end of the image!\n\n";
inline constexpr char message_file_reversed[] =
    "A file of the game ends before it starts!\n\n";
inline constexpr char message_file_misplaced[] =
    "A file of the game overlaps its arm7 binary or its file tables!\n\n";
inline constexpr char message_file_past_used[] =
    "A file of the game lies past its used area!\n\n";
inline constexpr char message_dsi_area_overrun[] =
    "The rebuilt game runs into its DSi area!\n\n";
inline constexpr char message_too_large[] =
    "The rebuilt game does not fit the header's 32-bit fields!\n\n";

// Failures of the replacement binary, of memory and of the disk.
inline constexpr char message_arm7_empty[] = "The %s is empty!\n\n";
// The scratch file a donor's binary is taken into for one run; named is the
// folder it is made in.
inline constexpr char message_scratch_unavailable[] =
    "No scratch file could be made in %s; check that the folder exists, can "
    "be written to and has room!\n\n";
inline constexpr char message_input_short[] =
    "The game could not be read to its end!\n\n";
inline constexpr char message_output_failed[] =
    "The fixed game could not be written completely!\n\n";
// The old output, named, stands in the way: another program holds it open
// (an emulator still running the game), or it is marked read-only.
inline constexpr char message_output_held[] =
    "The fixed game could not be written: %s is open in another program!\n\n";
inline constexpr char message_output_read_only[] =
    "The fixed game could not be written: %s is read-only!\n\n";
inline constexpr char message_out_of_memory[] =
    "Not enough memory to rebuild the game!\n\n";
// The fixed game read back from the card before it got its name: named is
// the first differing byte's offset (`difference_text`).
inline constexpr char message_read_back_differs[] =
    "The fixed game did not read back as written (first difference at byte "
    "%s); the card or disk may be fake or failing!\n\n";
inline constexpr char message_read_back_failed[] =
    "The fixed game could not be read back; the card or disk may be "
    "failing!\n\n";

// --verify: each output compared with the fixed game, then the count.
inline constexpr char message_verify_same[] =
    "%s holds exactly the fixed game.\n\n";
inline constexpr char message_verify_differs[] =
    "%s differs from the fixed game at byte %s!\n\n";
inline constexpr char message_verify_missing[] = "%s is not there!\n\n";
inline constexpr char message_verify_unreadable[] =
    "%s could not be read!\n\n";
inline constexpr char message_verify_count[] =
    "%zu of %zu outputs hold exactly the fixed game.\n\n";

/// Why a step failed or an image is refused: each value has one text
/// (`failure_text`). A part the header names (see `PartMessages`) has a
/// value of its own for each way it can lie wrong.
enum class Failure : uint8_t {
  none,
  // The replacement as offered, the donor, and arm7.bin taken from it.
  whole_image_as_binary,
  donor_unreadable,
  donor_arm7_outside,
  donor_arm7_empty,
  arm7_not_written,
  scratch_unavailable,
  no_usable_donor,
  // The game.
  name_too_short,
  game_unopenable,
  header_short,
  no_file_system,
  arm7_outside,
  arm7_into_fnt,
  fnt_behind_fat,
  fnt_outside,
  fat_outside,
  fat_far_outside,
  file_reversed,
  file_misplaced,
  file_past_used,
  dsi_area_overrun,
  too_large,
  arm9_in_replaced_stretch,
  arm9_past_used_area,
  arm9_overlays_in_replaced_stretch,
  arm9_overlays_past_used_area,
  arm7_overlays_in_replaced_stretch,
  arm7_overlays_past_used_area,
  banner_in_front_of_fnt,
  banner_outside,
  debug_rom_in_replaced_stretch,
  debug_rom_past_used_area,
  dsi_arm9_in_replaced_stretch,
  dsi_arm7_in_replaced_stretch,
  digest_table_in_replaced_stretch,
  modcrypt_area_in_replaced_stretch,
  // The replacement binary, memory and the disk.
  arm7_unreadable,
  arm7_empty,
  input_short,
  output_failed,
  output_held,
  output_read_only,
  out_of_memory,
  read_back_differs,
  read_back_failed,
  // Not a failure: how many there are.
  count
};

/// The text the user is told for `failure`, "%s" where it names a file;
/// empty for `Failure::none`.
const char* failure_text(Failure failure);

/// `failure_text(failure)` with the file it names filled in: `name`, the
/// replacement or donor the step was about, as the user gave or picked it,
/// or the output for `output_held` and `output_read_only`, or the offset
/// for `read_back_differs` (`difference_text`); for `scratch_unavailable`
/// the folder scratch files are made in.
std::string failure_message(Failure failure, const std::string& name);

/// An offset in the output as the messages show it: "0x00A3F000", at
/// least eight upper-case hex digits.
std::string difference_text(uint64_t offset);

/// True for the failures whose text names the output rather than the
/// replacement: an old output that stands in the way.
bool failure_names_output(Failure failure);

/// A part the header names: what --check calls it, and the failure when it
/// lies in the stretch between the ARM7 binary and the FNT, which the new
/// binary replaces, or past the stretch the rebuild carries behind the FAT.
struct PartMessages {
  const char* name;
  Failure in_replaced_stretch;
  Failure past_used_area;
};
inline constexpr PartMessages part_arm9 = {"arm9 binary",
                                           Failure::arm9_in_replaced_stretch,
                                           Failure::arm9_past_used_area};
inline constexpr PartMessages part_arm9_overlays = {
    "arm9 overlay table", Failure::arm9_overlays_in_replaced_stretch,
    Failure::arm9_overlays_past_used_area};
inline constexpr PartMessages part_arm7_overlays = {
    "arm7 overlay table", Failure::arm7_overlays_in_replaced_stretch,
    Failure::arm7_overlays_past_used_area};
inline constexpr PartMessages part_banner = {
    "banner", Failure::banner_in_front_of_fnt, Failure::banner_outside};
inline constexpr PartMessages part_debug_rom = {
    "debug rom", Failure::debug_rom_in_replaced_stretch,
    Failure::debug_rom_past_used_area};
// A DSi area behind the carried stretch stays where it is, so these parts
// are never past the used area.
inline constexpr PartMessages part_dsi_arm9 = {
    "DSi arm9 binary", Failure::dsi_arm9_in_replaced_stretch, Failure::none};
inline constexpr PartMessages part_dsi_arm7 = {
    "DSi arm7 binary", Failure::dsi_arm7_in_replaced_stretch, Failure::none};
inline constexpr PartMessages part_digest_table = {
    "DSi digest table", Failure::digest_table_in_replaced_stretch,
    Failure::none};
inline constexpr PartMessages part_modcrypt_area = {
    "DSi modcrypt area", Failure::modcrypt_area_in_replaced_stretch,
    Failure::none};

// The other fields --check names when they move.
inline constexpr char part_name_fnt[] = "file name table";
inline constexpr char part_name_fat[] = "file table";
inline constexpr char part_name_digest_area[] = "DSi digest area";
inline constexpr char part_name_total_size[] = "total used size";

#endif  // BRENVIK_ROM_MESSAGES_H_
