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
#include "rom/messages.h"
#include "rom/rebuild_plan.h"
#include "rom/regions.h"

namespace {

// What the user hears about a failed transfer; a short read names the file
// it came from.
Failure io_failure(IoStatus status, Failure short_read) {
  if (status == io_ok) return Failure::none;
  return status == io_short_read ? short_read : Failure::output_failed;
}

// The FNT and FAT block at `new_fnt`, with every FAT word relocated. The
// output already stands at the end of the new binary.
Failure write_block(std::FILE* input, std::FILE* output,
                    const RebuildPlan& plan, uint8_t* buffer,
                    Progress* progress) {
  const uint64_t new_arm7_end = plan.arm7_rom_offset + plan.new_arm7_size;
  IoStatus status =
      write_zeros(output, plan.new_fnt - new_arm7_end, buffer, kCopyBufferSize);
  if (status != io_ok) return Failure::output_failed;

  // Whatever lies between FNT and FAT comes along as it is. An empty FAT
  // may sit past the end of the input; the bytes up to it read as zero.
  const uint64_t readable_end = std::min(plan.fat_offset, plan.input_size);
  const uint64_t front = readable_end - plan.fnt_offset;
  status = copy_bytes(input, plan.fnt_offset, output, plan.new_fnt, front,
                      buffer, kCopyBufferSize, progress);
  if (status == io_ok)
    status = write_zeros(output, plan.fat_rel - front, buffer, kCopyBufferSize);
  if (Failure failure = io_failure(status, Failure::input_short);
      failure != Failure::none)
    return failure;

  const size_t piece_limit = kCopyBufferSize / 4 * 4;
  for (uint64_t done = 0; done < plan.fat_size;) {
    size_t piece =
        size_t(std::min<uint64_t>(plan.fat_size - done, piece_limit));
    if (read_exact(input, plan.fat_offset + done, buffer, piece) != io_ok)
      return Failure::input_short;
    for (size_t at = 0; at + 4 <= piece; at += 4)
      store_u32le(buffer + at,
                  relocate_fat_word(load_u32le(buffer + at), plan));
    if (write_all(output, buffer, piece) != io_ok)
      return Failure::output_failed;
    done += piece;
  }
  return Failure::none;
}

// The tail behind the old FAT end, its final chunk cut to the length the
// plan found, and a DSi area that stays at its own offsets behind it.
Failure write_tail(std::FILE* input, std::FILE* output, uint64_t output_offset,
                   const RebuildPlan& plan, uint8_t* buffer, Status& status,
                   Progress* progress) {
  if (plan.tail_length > 0) {
    if (plan.download_play) status.message(message_download_play);
    const uint64_t in_front = tail_in_front(plan);
    const uint64_t from_input =
        std::min(plan.final_kept, plan.tail_length - in_front);
    IoStatus status =
        copy_bytes(input, plan.old_fat_end, output, output_offset,
                   in_front + from_input, buffer, kCopyBufferSize, progress);
    if (Failure failure = io_failure(status, Failure::input_short);
        failure != Failure::none)
      return failure;
    // Rounding the kept length up to 4 can reach up to 3 bytes past the
    // chunk; they go out as 0xFF fill.
    const uint8_t fill[3] = {0xFF, 0xFF, 0xFF};
    status = write_all(output, fill, size_t(plan.final_kept - from_input));
    if (status != io_ok) return Failure::output_failed;
    output_offset += in_front + plan.final_kept;
  }
  if (plan.dsi_copy_end <= output_offset) return Failure::none;
  return io_failure(copy_bytes(input, output_offset, output, output_offset,
                               plan.dsi_copy_end - output_offset, buffer,
                               kCopyBufferSize, progress),
                    Failure::input_short);
}

Failure write_image(std::FILE* input, std::FILE* arm7, std::FILE* output,
                    CartridgeHeader header, const RebuildPlan& plan,
                    uint8_t* buffer, Status& said, Progress* progress) {
  // The head goes out whole, old header included; the new header replaces
  // its first 512 bytes once everything behind it is written.
  IoStatus status = copy_bytes(input, 0, output, 0, plan.arm7_rom_offset,
                               buffer, kCopyBufferSize, progress);
  if (Failure failure = io_failure(status, Failure::input_short);
      failure != Failure::none)
    return failure;
  status = copy_bytes(arm7, 0, output, plan.arm7_rom_offset, plan.new_arm7_size,
                      buffer, kCopyBufferSize, progress);
  if (Failure failure = io_failure(status, Failure::arm7_unreadable);
      failure != Failure::none)
    return failure;
  if (Failure failure = write_block(input, output, plan, buffer, progress);
      failure != Failure::none)
    return failure;
  const uint64_t tail_offset =
      plan.new_fnt + (plan.old_fat_end - plan.fnt_offset);
  if (Failure failure =
          write_tail(input, output, tail_offset, plan, buffer, said, progress);
      failure != Failure::none)
    return failure;

  // Changed fields of the extended header are a patch of the head, which
  // went out as it was.
  const size_t header_length = has_extended_header(header)
                                   ? CartridgeHeader::kExtendedEnd
                                   : CartridgeHeader::kSize;
  update_header(header, plan);
  seal_header(header);
  if (!seek_file(output, 0)) return Failure::output_failed;
  return io_failure(write_all(output, header.bytes, header_length),
                    Failure::input_short);
}

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

// Everything after the game is open. Nothing is created until the image
// has been checked, and the output takes its name only when it is whole.
Failure rebuild_from(const OpenedGame& game, const Replacement& replacement,
                     const std::string& output_path, Status& status) {
  FilePtr arm7 = open_replacement(replacement);
  uint64_t new_arm7_size = 0;
  if (!arm7 || !file_size(arm7.get(), &new_arm7_size))
    return Failure::arm7_unreadable;

  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow)
                                        uint8_t[kCopyBufferSize]);
  if (!buffer) return Failure::out_of_memory;

  CartridgeHeader header;
  RebuildPlan plan;
  if (Failure refusal =
          read_and_plan(game, new_arm7_size, buffer.get(), &header, &plan);
      refusal != Failure::none)
    return refusal;

  // A card that cannot take the whole game is told at once, before a byte
  // is written; the old output is already gone and its space free.
  uint64_t free_bytes = 0;
  if (free_space_for(output_path, &free_bytes) && free_bytes < plan.output_size)
    return Failure::output_failed;
  NewFile output;
  if (!begin_new_file(output_path, &output)) return Failure::output_failed;
  if (!reserve_space(&output, plan.output_size)) {
    abandon_new_file(&output);
    return Failure::output_failed;
  }
  Progress progress = start_progress(status, plan.output_size);
  Failure failure = write_image(game.file.get(), arm7.get(), output.stream,
                                header, plan, buffer.get(), status, &progress);
  finish_progress(&progress);
  if (failure != Failure::none)
    abandon_new_file(&output);
  else if (!commit_new_file(&output, output_path))
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
  // An old output that cannot be replaced is found out before anything is
  // written, and stays as it is, as does the game.
  if (const Replaceable replaceable = wait_until_replaceable(output_path);
      replaceable != Replaceable::yes)
    return blocked_failure(replaceable);
  if (file_exists(output_path)) remove_file(output_path);
  status.message(message_rebuilding);
  if (!game.file) return Failure::game_unopenable;
  build_crc16_table();
  return rebuild_from(game, replacement, output_path, status);
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
