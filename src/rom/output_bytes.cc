// Brenvik: the output's bytes piece by piece: written, read back, verified.
#include "rom/output_bytes.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

void add_piece(OutputLayout& layout, PieceSource source, uint64_t length,
               uint64_t from = 0) {
  if (length == 0) return;
  layout.pieces[layout.count++] = {source, layout.size, length, from};
  layout.size += length;
}

// What a transfer's status means for the user; a short read names the
// file it came from.
Failure io_failure(IoStatus status, Failure short_read) {
  if (status == io_ok) return Failure::none;
  return status == io_short_read ? short_read : Failure::output_failed;
}

// The FAT bytes [`start`, `start + length`) counted from the FAT's own
// start, relocated, into `data`, read in whole words through `work` of
// `work_size` bytes. A FAT whose size is no multiple of 4 keeps its last
// bytes as they are, as the write does.
IoStatus relocated_fat_bytes(const RebuildPlan& plan, std::FILE* input,
                             uint64_t start, uint8_t* data, size_t length,
                             uint8_t* work, size_t work_size) {
  const size_t piece_limit = work_size / 4 * 4 - 4;
  while (length > 0) {
    const uint64_t word_start = start / 4 * 4;
    const size_t skip = size_t(start - word_start);
    const size_t take = std::min(length, piece_limit);
    const size_t span = size_t(
        std::min<uint64_t>((start + take + 3) / 4 * 4, plan.fat_size) -
        word_start);
    if (read_exact(input, plan.fat_offset + word_start, work, span) != io_ok)
      return io_short_read;
    for (size_t at = 0; at + 4 <= span; at += 4)
      store_u32le(work + at, relocate_fat_word(load_u32le(work + at), plan));
    std::memcpy(data, work + skip, take);
    data += take;
    start += take;
    length -= take;
  }
  return io_ok;
}

// The output's bytes [`at`, `at + length`) into `data`, from the game and
// the binary as they are now.
Failure expected_bytes(const OutputLayout& layout, const OutputSources& sources,
                       uint64_t at, uint8_t* data, size_t length,
                       uint8_t* work) {
  for (size_t i = 0; i < layout.count && length > 0; ++i) {
    const OutputPiece& piece = layout.pieces[i];
    if (at >= piece.at + piece.length) continue;
    const uint64_t into = at - piece.at;
    const size_t n = size_t(std::min<uint64_t>(length, piece.length - into));
    IoStatus status = io_ok;
    Failure short_read = Failure::input_short;
    switch (piece.source) {
      case PieceSource::header:
        std::memcpy(data, layout.header.bytes + into, n);
        break;
      case PieceSource::input:
        status = read_exact(sources.input, piece.from + into, data, n);
        break;
      case PieceSource::replacement:
        status = read_exact(sources.arm7, sources.arm7_offset + piece.from + into,
                            data, n);
        short_read = Failure::arm7_unreadable;
        break;
      case PieceSource::zeros:
        std::memset(data, 0, n);
        break;
      case PieceSource::fill:
        std::memset(data, 0xFF, n);
        break;
      case PieceSource::relocated_fat:
        status = relocated_fat_bytes(layout.plan, sources.input, into, data, n,
                                     work, kCopyBufferSize);
        break;
    }
    if (status != io_ok) return short_read;
    at += n;
    data += n;
    length -= n;
  }
  return Failure::none;
}

Failure write_piece(const OutputLayout& layout, const OutputPiece& piece,
                    const OutputSources& sources, std::FILE* out,
                    uint8_t* buffer, Progress* progress) {
  switch (piece.source) {
    case PieceSource::header:
      return io_failure(write_all(out, layout.header.bytes, size_t(piece.length)),
                        Failure::output_failed);
    case PieceSource::input:
      return io_failure(copy_bytes(sources.input, piece.from, out, piece.at,
                                   piece.length, buffer, kCopyBufferSize,
                                   progress),
                        Failure::input_short);
    case PieceSource::replacement:
      return io_failure(
          copy_bytes(sources.arm7, sources.arm7_offset + piece.from, out,
                     piece.at, piece.length, buffer, kCopyBufferSize, progress),
          Failure::arm7_unreadable);
    case PieceSource::zeros:
      return io_failure(write_zeros(out, piece.length, buffer, kCopyBufferSize),
                        Failure::output_failed);
    case PieceSource::fill: {
      std::memset(buffer, 0xFF, size_t(piece.length));
      return io_failure(write_all(out, buffer, size_t(piece.length)),
                        Failure::output_failed);
    }
    case PieceSource::relocated_fat:
      for (uint64_t done = 0; done < piece.length;) {
        const size_t n = size_t(
            std::min<uint64_t>(piece.length - done, kCopyBufferSize / 2));
        if (relocated_fat_bytes(layout.plan, sources.input, done, buffer, n,
                                buffer + kCopyBufferSize / 2,
                                kCopyBufferSize / 2) != io_ok)
          return Failure::input_short;
        if (write_all(out, buffer, n) != io_ok) return Failure::output_failed;
        done += n;
      }
      return Failure::none;
  }
  return Failure::none;
}

}  // namespace

OutputLayout output_layout(CartridgeHeader header, const RebuildPlan& plan) {
  OutputLayout layout = {};
  // Changed fields of the extended header are part of the header too.
  layout.header_length = has_extended_header(header)
                             ? CartridgeHeader::kExtendedEnd
                             : CartridgeHeader::kSize;
  update_header(header, plan);
  seal_header(header);
  layout.header = header;
  layout.plan = plan;

  const RebuildPlan& p = plan;
  add_piece(layout, PieceSource::header, layout.header_length);
  add_piece(layout, PieceSource::input,
            p.arm7_rom_offset - layout.header_length, layout.header_length);
  add_piece(layout, PieceSource::replacement, p.new_arm7_size);
  add_piece(layout, PieceSource::zeros,
            p.new_fnt - (p.arm7_rom_offset + p.new_arm7_size));
  // Whatever lies between FNT and FAT comes along as it is. An empty FAT
  // may sit past the end of the input; the bytes up to it read as zero.
  const uint64_t front = std::min(p.fat_offset, p.input_size) - p.fnt_offset;
  add_piece(layout, PieceSource::input, front, p.fnt_offset);
  add_piece(layout, PieceSource::zeros, p.fat_rel - front);
  add_piece(layout, PieceSource::relocated_fat, p.fat_size, p.fat_offset);
  // The tail behind the old FAT end, its final chunk cut to the length the
  // plan found; rounding that length up to 4 can reach up to 3 bytes past
  // the chunk, which go out as 0xFF fill.
  if (p.tail_length > 0) {
    const uint64_t in_front = tail_in_front(p);
    const uint64_t from_input = std::min(p.final_kept, p.tail_length - in_front);
    add_piece(layout, PieceSource::input, in_front + from_input, p.old_fat_end);
    add_piece(layout, PieceSource::fill, p.final_kept - from_input);
  }
  // A DSi area that stays at its own offsets behind the DS part.
  if (p.dsi_copy_end > layout.size)
    add_piece(layout, PieceSource::input, p.dsi_copy_end - layout.size,
              layout.size);
  return layout;
}

OutputLayout copy_layout(uint64_t from, uint64_t length) {
  OutputLayout layout = {};
  add_piece(layout, PieceSource::input, length, from);
  return layout;
}

Failure write_output(const OutputLayout& layout, const OutputSources& sources,
                     std::FILE* out, uint8_t* buffer, Progress* progress) {
  if (!seek_file(out, 0)) return Failure::output_failed;
  for (size_t i = 0; i < layout.count; ++i)
    if (Failure failure = write_piece(layout, layout.pieces[i], sources, out,
                                      buffer, progress);
        failure != Failure::none)
      return failure;
  return Failure::none;
}

Failure read_back_new_file(NewFile* file, const OutputLayout& layout,
                           const OutputSources& sources, Progress* progress,
                           uint64_t* first_difference) {
  if (begin_read_back(file) != MediumRead::ready) return Failure::none;
  restart_progress(progress, ProgressPhase::reading_back);
  return compare_with_medium(layout, sources, &file->reader, progress,
                             first_difference);
}

Failure compare_with_medium(const OutputLayout& layout,
                            const OutputSources& sources, MediumReader* reader,
                            Progress* progress, uint64_t* first_difference) {
  std::unique_ptr<uint8_t[]> expected(new (std::nothrow)
                                          uint8_t[kMediumPiece + kCopyBufferSize]);
  if (!expected) return Failure::out_of_memory;
  uint8_t* work = expected.get() + kMediumPiece;
  for (uint64_t at = 0;; at += kMediumPiece) {
    const uint8_t* read = nullptr;
    size_t got = 0;
    if (!read_medium(reader, at, &read, &got)) return Failure::read_back_failed;
    const size_t want =
        at < layout.size
            ? size_t(std::min<uint64_t>(kMediumPiece, layout.size - at))
            : 0;
    const size_t both = std::min(got, want);
    if (Failure failure =
            expected_bytes(layout, sources, at, expected.get(), both, work);
        failure != Failure::none)
      return failure;
    if (std::memcmp(read, expected.get(), both) != 0) {
      size_t i = 0;
      while (read[i] == expected[i]) ++i;
      *first_difference = at + i;
      return Failure::read_back_differs;
    }
    if (got != want) {
      *first_difference = at + both;
      return Failure::read_back_differs;
    }
    count_progress(progress, got);
    if (want < kMediumPiece) return Failure::none;
  }
}
