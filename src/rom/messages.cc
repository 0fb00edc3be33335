#include "rom/messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

struct ProgressCount {
  bool active;
  uint64_t total;
  uint64_t done;
  uint64_t next_report;
};
ProgressCount progress = {false, 0, 0, 0};
MessageSink message_sink = nullptr;
ProgressSink progress_sink = nullptr;

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

void print_message(const char* text) {
  if (message_sink) {
    message_sink(text);
    return;
  }
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void print_formatted(const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  va_end(args);
  print_message(text.c_str());
}

void set_message_sinks(MessageSink messages, ProgressSink progress_to) {
  message_sink = messages;
  progress_sink = progress_to;
}

void begin_progress(uint64_t total) {
  progress = {progress_sink != nullptr && total > kProgressThreshold, total, 0,
              kProgressStep};
}

void advance_progress(uint64_t bytes) {
  if (!progress.active) return;
  progress.done += bytes;
  if (progress.done < progress.next_report) return;
  progress.next_report = progress.done + kProgressStep;
  progress_sink(progress.done, progress.total);
}

bool progress_shown() { return progress.active; }

void end_progress() {
  if (progress.active) progress_sink(0, 0);
  progress.active = false;
}

const char* failure_text(Failure failure) {
  switch (failure) {
    case Failure::none: return "";
    case Failure::donor_unreadable: return message_donor_unreadable;
    case Failure::donor_arm7_outside: return message_donor_arm7_outside;
    case Failure::donor_arm7_empty: return message_donor_arm7_empty;
    case Failure::arm7_not_written: return message_arm7_not_written;
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
    case Failure::arm7_unreadable: return message_arm7_unreadable;
    case Failure::arm7_empty: return message_arm7_empty;
    case Failure::input_short: return message_input_short;
    case Failure::output_failed: return message_output_failed;
    case Failure::out_of_memory: return message_out_of_memory;
    default: return part_failure_text(failure);
  }
}

void print_failure(Failure failure) {
  if (failure != Failure::none) print_message(failure_text(failure));
}
