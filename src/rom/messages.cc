// Brenvik: the text of each failure.
#include "rom/messages.h"

#include <cstddef>

#include "platform/platform.h"
#include "rom/status.h"

namespace {

struct FailureText {
  Failure failure;
  const char* text;
};

// Each failure's text, in the order of `Failure`.
constexpr FailureText kFailureTexts[] = {
    {Failure::none, ""},
    {Failure::whole_image_as_binary, message_whole_image_as_binary},
    {Failure::donor_unreadable, message_unreadable},
    {Failure::donor_arm7_outside, message_donor_arm7_outside},
    {Failure::donor_arm7_empty, message_donor_arm7_empty},
    {Failure::arm7_not_written, message_arm7_not_written},
    {Failure::scratch_unavailable, message_scratch_unavailable},
    {Failure::no_usable_donor, message_no_usable_donor},
    {Failure::name_too_short, message_name_too_short},
    {Failure::game_unopenable, message_game_unopenable},
    {Failure::header_short, message_header_short},
    {Failure::no_file_system, message_no_file_system},
    {Failure::arm7_outside, message_arm7_outside},
    {Failure::arm7_into_fnt, message_arm7_into_fnt},
    {Failure::fnt_behind_fat, message_fnt_behind_fat},
    {Failure::fnt_outside, message_fnt_outside},
    {Failure::fat_outside, message_fat_outside},
    {Failure::fat_far_outside, message_fat_far_outside},
    {Failure::file_reversed, message_file_reversed},
    {Failure::file_misplaced, message_file_misplaced},
    {Failure::file_past_used, message_file_past_used},
    {Failure::dsi_area_overrun, message_dsi_area_overrun},
    {Failure::too_large, message_too_large},
    // Parts that lie where the rebuild cannot carry them.
    {Failure::arm9_in_replaced_stretch,
     "The game's arm9 binary lies between its arm7 binary and its file name "
     "table!\n\n"},
    {Failure::arm9_past_used_area,
     "The game's arm9 binary lies past its used area!\n\n"},
    {Failure::arm9_overlays_in_replaced_stretch,
     "The game's arm9 overlay table lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::arm9_overlays_past_used_area,
     "The game's arm9 overlay table lies past its used area!\n\n"},
    {Failure::arm7_overlays_in_replaced_stretch,
     "The game's arm7 overlay table lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::arm7_overlays_past_used_area,
     "The game's arm7 overlay table lies past its used area!\n\n"},
    {Failure::banner_in_front_of_fnt,
     "The game's banner lies in front of its file name table!\n\n"},
    {Failure::banner_outside, "The game's banner lies outside the image!\n\n"},
    {Failure::debug_rom_in_replaced_stretch,
     "The game's debug rom lies between its arm7 binary and its file name "
     "table!\n\n"},
    {Failure::debug_rom_past_used_area,
     "The game's debug rom lies past its used area!\n\n"},
    {Failure::dsi_arm9_in_replaced_stretch,
     "The game's DSi arm9 binary lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::dsi_arm7_in_replaced_stretch,
     "The game's DSi arm7 binary lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::digest_table_in_replaced_stretch,
     "The game's DSi digest table lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::modcrypt_area_in_replaced_stretch,
     "The game's DSi modcrypt area lies between its arm7 binary and its file "
     "name table!\n\n"},
    {Failure::arm7_unreadable, message_unreadable},
    {Failure::arm7_empty, message_arm7_empty},
    {Failure::input_short, message_input_short},
    {Failure::output_failed, message_output_failed},
    {Failure::output_held, message_output_held},
    {Failure::output_read_only, message_output_read_only},
    {Failure::out_of_memory, message_out_of_memory},
    {Failure::read_back_differs, message_read_back_differs},
    {Failure::read_back_failed, message_read_back_failed},
};

// Every failure has its text, at its own place in the table.
constexpr bool every_failure_has_its_text() {
  constexpr size_t count = sizeof kFailureTexts / sizeof kFailureTexts[0];
  if (count != size_t(Failure::count)) return false;
  for (size_t i = 0; i < count; ++i)
    if (size_t(kFailureTexts[i].failure) != i) return false;
  return true;
}
static_assert(every_failure_has_its_text(),
              "each Failure needs its entry in kFailureTexts, in order");

}  // namespace

const char* failure_text(Failure failure) {
  return size_t(failure) < size_t(Failure::count)
             ? kFailureTexts[size_t(failure)].text
             : "";
}

std::string failure_message(Failure failure, const std::string& name) {
  return named(failure_text(failure), failure == Failure::scratch_unavailable
                                          ? scratch_folder()
                                          : name);
}

std::string difference_text(uint64_t offset) {
  return formatted("0x%08llX", (unsigned long long)offset);
}

bool failure_names_output(Failure failure) {
  return failure == Failure::output_held ||
         failure == Failure::output_read_only;
}
