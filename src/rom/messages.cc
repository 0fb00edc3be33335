#include "rom/messages.h"

#include "platform/platform.h"
#include "rom/status.h"

namespace {

// The texts of parts that lie where the rebuild cannot carry them; each
// value in `Failure` that names a part has one here.
const char* part_failure_text(Failure failure) {
  switch (failure) {
    case Failure::arm9_in_replaced_stretch:
      return "The game's arm9 binary lies between its arm7 binary and its "
             "file name table!\n\n";
    case Failure::arm9_past_used_area:
      return "The game's arm9 binary lies past its used area!\n\n";
    case Failure::arm9_overlays_in_replaced_stretch:
      return "The game's arm9 overlay table lies between its arm7 binary and "
             "its file name table!\n\n";
    case Failure::arm9_overlays_past_used_area:
      return "The game's arm9 overlay table lies past its used area!\n\n";
    case Failure::arm7_overlays_in_replaced_stretch:
      return "The game's arm7 overlay table lies between its arm7 binary and "
             "its file name table!\n\n";
    case Failure::arm7_overlays_past_used_area:
      return "The game's arm7 overlay table lies past its used area!\n\n";
    case Failure::banner_in_front_of_fnt:
      return "The game's banner lies in front of its file name table!\n\n";
    case Failure::banner_outside:
      return "The game's banner lies outside the image!\n\n";
    case Failure::debug_rom_in_replaced_stretch:
      return "The game's debug rom lies between its arm7 binary and its file "
             "name table!\n\n";
    case Failure::debug_rom_past_used_area:
      return "The game's debug rom lies past its used area!\n\n";
    case Failure::dsi_arm9_in_replaced_stretch:
      return "The game's DSi arm9 binary lies between its arm7 binary and its "
             "file name table!\n\n";
    case Failure::dsi_arm7_in_replaced_stretch:
      return "The game's DSi arm7 binary lies between its arm7 binary and its "
             "file name table!\n\n";
    case Failure::digest_table_in_replaced_stretch:
      return "The game's DSi digest table lies between its arm7 binary and "
             "its file name table!\n\n";
    case Failure::modcrypt_area_in_replaced_stretch:
      return "The game's DSi modcrypt area lies between its arm7 binary and "
             "its file name table!\n\n";
    default: return "";
  }
}

}  // namespace

const char* failure_text(Failure failure) {
  switch (failure) {
    case Failure::none: return "";
    case Failure::whole_image_as_binary: return message_whole_image_as_binary;
    case Failure::donor_unreadable: return message_unreadable;
    case Failure::donor_arm7_outside: return message_donor_arm7_outside;
    case Failure::donor_arm7_empty: return message_donor_arm7_empty;
    case Failure::arm7_not_written: return message_arm7_not_written;
    case Failure::scratch_unavailable: return message_scratch_unavailable;
    case Failure::no_usable_donor: return message_no_usable_donor;
    case Failure::name_too_short: return message_name_too_short;
    case Failure::game_unopenable: return message_game_unopenable;
    case Failure::header_short: return message_header_short;
    case Failure::no_file_system: return message_no_file_system;
    case Failure::arm7_outside: return message_arm7_outside;
    case Failure::arm7_into_fnt: return message_arm7_into_fnt;
    case Failure::fnt_behind_fat: return message_fnt_behind_fat;
    case Failure::fnt_outside: return message_fnt_outside;
    case Failure::fat_outside: return message_fat_outside;
    case Failure::fat_far_outside: return message_fat_far_outside;
    case Failure::file_reversed: return message_file_reversed;
    case Failure::file_misplaced: return message_file_misplaced;
    case Failure::file_past_used: return message_file_past_used;
    case Failure::dsi_area_overrun: return message_dsi_area_overrun;
    case Failure::too_large: return message_too_large;
    case Failure::arm7_unreadable: return message_unreadable;
    case Failure::arm7_empty: return message_arm7_empty;
    case Failure::input_short: return message_input_short;
    case Failure::output_failed: return message_output_failed;
    case Failure::output_held: return message_output_held;
    case Failure::output_read_only: return message_output_read_only;
    case Failure::out_of_memory: return message_out_of_memory;
    default: return part_failure_text(failure);
  }
}

std::string failure_message(Failure failure, const std::string& name) {
  return named(failure_text(failure), failure == Failure::scratch_unavailable
                                          ? scratch_folder()
                                          : name);
}
