// Brenvik: the rebuild of a game image around a replacement ARM7 binary.
#include "rom/rebuild.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "platform/platform.h"
#include "rom/leftovers.h"
#include "rom/messages.h"
#include "rom/output_bytes.h"
#include "rom/rebuild_plan.h"
#include "rom/regions.h"

namespace {

// The game's header and the plan of its rebuild around a binary of
// `new_arm7_size` bytes; or what is wrong with the image.
Failure read_and_plan(const OpenedGame& game, uint64_t new_arm7_size,
                      uint8_t* buffer, CartridgeHeader* header,
                      RebuildPlan* plan) {
  if (!game.size_known) return Failure::input_short;
  if (game.size < CartridgeHeader::kSize) return Failure::header_short;
  if (!game.header_read) return Failure::input_short;
  *header = game.header;
  if (new_arm7_size == 0) return Failure::arm7_empty;
  return plan_rebuild(*header, game.file.get(), game.size, new_arm7_size,
                      buffer, kCopyBufferSize, plan);
}

// The output a game and its replacement make, laid out, with the binary
// open and the copy buffer.
struct Laid {
  OpenedBinary arm7;
  std::unique_ptr<uint8_t[]> buffer;
  OutputLayout layout;
  OutputSources sources(const OpenedGame& game) const {
    return {game.file.get(), arm7.file.get(), arm7.offset};
  }
};

Failure lay_out(const OpenedGame& game, const Replacement& replacement,
                Laid* laid) {
  if (!open_replacement(replacement, &laid->arm7))
    return Failure::arm7_unreadable;
  laid->buffer.reset(new (std::nothrow) uint8_t[kCopyBufferSize]);
  if (!laid->buffer) return Failure::out_of_memory;
  CartridgeHeader header;
  RebuildPlan plan;
  if (Failure refusal = read_and_plan(game, laid->arm7.size,
                                      laid->buffer.get(), &header, &plan);
      refusal != Failure::none)
    return refusal;
  laid->layout = output_layout(header, plan);
  return Failure::none;
}

// Why the output could not take its name, where its old file was in the
// way.
Failure blocked_failure(Replaceable blocked) {
  switch (blocked) {
    case Replaceable::yes: return Failure::output_failed;
    case Replaceable::held: return Failure::output_held;
    case Replaceable::read_only: return Failure::output_read_only;
  }
  return Failure::output_failed;
}

// Whether the free space of the output's folder takes `size` bytes; where
// it does not, leftovers that have turned old enough since the folder was
// first looked at are cleared, and it is measured again.
bool room_for(const std::string& output_path, uint64_t size, RunContext& run,
              Status& status) {
  uint64_t free_bytes = 0;
  if (!free_space_for(output_path, &free_bytes) || free_bytes >= size)
    return true;
  clear_leftovers_again(run, output_path, status);
  return !free_space_for(output_path, &free_bytes) || free_bytes >= size;
}

// Everything after the game is open. Nothing is created until the image
// has been checked, and the output takes its name only when it is whole,
// on the disk, and (unless the run says not to) read back as meant.
Failure rebuild_from(const OpenedGame& game, const Replacement& replacement,
                     const std::string& output_path, Status& status,
                     RunContext& run, uint64_t* first_difference) {
  Laid laid;
  if (Failure failure = lay_out(game, replacement, &laid);
      failure != Failure::none)
    return failure;
  const OutputLayout& layout = laid.layout;
  const OutputSources sources = laid.sources(game);
  uint8_t* buffer = laid.buffer.get();

  // A card that cannot take the whole game is told at once, before a byte
  // is written; the old output is already gone and its space free.
  if (!room_for(output_path, layout.size, run, status))
    return Failure::output_failed;
  NewFile output;
  if (!begin_new_file(output_path, &output)) return Failure::output_failed;
  if (!reserve_space(&output, layout.size)) {
    abandon_new_file(&output);
    return Failure::output_failed;
  }
  if (layout.plan.download_play) status.message(message_download_play);
  Progress progress = start_progress(status, layout.size);
  Failure failure =
      write_output(layout, sources, output.stream, buffer, &progress);
  if (failure == Failure::none && !flush_new_file(&output))
    failure = Failure::output_failed;
  if (failure == Failure::none && run.read_back)
    failure = read_back_new_file(&output, layout, sources, &progress,
                                 first_difference);
  finish_progress(&progress);
  if (failure != Failure::none)
    abandon_new_file(&output);
  else if (!name_new_file(&output, output_path))
    failure = blocked_failure(output.blocked);
  return failure;
}

// What --check says of a plan: the output's size, whether fill is cut,
// and every header field that names a moved part, old value and new.
PlannedOutput planned_output(CartridgeHeader header, const RebuildPlan& plan) {
  PlannedOutput planned;
  planned.size = plan.output_size;
  // The final chunk may end in data, with nothing behind it to cut.
  planned.fill_cut = plan.download_play &&
                     plan.final_kept < plan.tail_length - tail_in_front(plan);
  const CartridgeHeader before = header;
  update_header(header, plan);
  uint32_t fields[kMaxMovedFields + 2] = {header_field::fnt_offset,
                                          header_field::fat_offset};
  std::copy(plan.moved_fields, plan.moved_fields + plan.moved_field_count,
            fields + 2);
  for (size_t i = 0; i < plan.moved_field_count + 2; ++i) {
    const uint32_t old_value = header_u32(before, fields[i]);
    const uint32_t new_value = header_u32(header, fields[i]);
    if (old_value != new_value)
      planned.moved.push_back({part_name(fields[i]), old_value, new_value});
  }
  return planned;
}

}  // namespace

OpenedGame open_game(const std::string& path) {
  OpenedGame game;
  game.file.reset(open_for_reading(path));
  if (!game.file || !file_size(game.file.get(), &game.size)) return game;
  game.size_known = true;
  game.header_length =
      size_t(std::min<uint64_t>(game.size, CartridgeHeader::kExtendedEnd));
  game.header_read = read_exact(game.file.get(), 0, game.header.bytes,
                                game.header_length) == io_ok;
  return game;
}

bool game_header_has(const OpenedGame& game, uint32_t end) {
  return game.header_read && game.header_length >= end;
}

Failure rebuild_opened_game(const OpenedGame& game,
                            const Replacement& replacement,
                            const std::string& output_path, Status& status) {
  RunContext run;
  uint64_t first_difference = 0;
  return rebuild_opened_game(game, replacement, output_path, status, run,
                             &first_difference);
}

Failure rebuild_opened_game(const OpenedGame& game,
                            const Replacement& replacement,
                            const std::string& output_path, Status& status,
                            RunContext& run, uint64_t* first_difference) {
  // An old output that cannot be replaced is found out before anything is
  // written, and stays as it is, as does the game.
  if (const Replaceable replaceable = wait_until_replaceable(output_path);
      replaceable != Replaceable::yes)
    return blocked_failure(replaceable);
  if (file_exists(output_path)) remove_file(output_path);
  status.message(message_rebuilding);
  if (!game.file) return Failure::game_unopenable;
  build_crc16_table();
  return rebuild_from(game, replacement, output_path, status, run,
                      first_difference);
}

Failure verify_rebuild(const OpenedGame& game, const Replacement& replacement,
                       const std::string& output_path, Status& status,
                       Verdict* verdict, uint64_t* first_difference) {
  if (!game.file) return Failure::game_unopenable;
  build_crc16_table();
  Laid laid;
  if (Failure failure = lay_out(game, replacement, &laid);
      failure != Failure::none)
    return failure;
  const OutputLayout& layout = laid.layout;
  MediumReader reader;
  if (open_medium_reader(output_path, &reader) != MediumRead::ready) {
    *verdict = file_exists(output_path) ? Verdict::unreadable : Verdict::missing;
    return Failure::none;
  }
  Progress progress =
      start_progress(status, layout.size, ProgressPhase::reading_back);
  const Failure compared = compare_with_medium(
      layout, laid.sources(game), &reader, &progress, first_difference);
  finish_progress(&progress);
  close_medium_reader(&reader);
  *verdict = compared == Failure::read_back_differs  ? Verdict::differs
             : compared == Failure::read_back_failed ? Verdict::unreadable
                                                     : Verdict::same;
  return compared == Failure::read_back_differs ||
                 compared == Failure::read_back_failed
             ? Failure::none
             : compared;
}

Failure check_rebuild(const OpenedGame& game, const Replacement& replacement,
                      PlannedOutput* planned) {
  if (!game.file) return Failure::game_unopenable;
  if (!replacement.size_known) return Failure::arm7_unreadable;
  build_crc16_table();
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return Failure::out_of_memory;
  CartridgeHeader header;
  RebuildPlan plan;
  if (Failure refusal =
          read_and_plan(game, replacement.size, buffer.get(), &header, &plan);
      refusal != Failure::none)
    return refusal;
  *planned = planned_output(header, plan);
  return Failure::none;
}
