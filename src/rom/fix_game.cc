#include "rom/fix_game.h"

#include "rom/files.h"
#include "rom/messages.h"
#include "rom/output_name.h"
#include "rom/rebuild.h"
#include "platform/platform.h"

bool has_room_for_suffix(const std::string& input_path) {
  // With fewer characters in the file name the suffix would eat into the
  // folder.
  if (file_name_length(input_path) >= 4) return true;
  print_message(message_name_too_short);
  return false;
}

bool fix_game(const std::string& input_path) {
  if (!has_room_for_suffix(input_path)) return false;
  const std::string output_path = fixed_output_path(input_path);
  remove_file(output_path);
  bool written = rebuild_game(output_path, input_path) == 1 &&
                 file_exists(output_path);
  if (written) print_message(message_success);
  return written;
}
