// Brenvik: reading, writing and copying bytes between files, and the progress of a copy.
#include "rom/files.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "rom/status.h"

std::string arm7_path;

Progress start_progress(Status& status, uint64_t total, ProgressPhase phase) {
  Progress progress;
  if (status.shows_progress() && total > kProgressThreshold)
    progress = {&status, phase, total, 0, kProgressStep};
  return progress;
}

void restart_progress(Progress* progress, ProgressPhase phase) {
  if (!progress) return;
  progress->phase = phase;
  progress->done = 0;
  progress->next_report = kProgressStep;
}

void count_progress(Progress* progress, uint64_t bytes) {
  if (!progress || !progress->status) return;
  progress->done += bytes;
  if (progress->done < progress->next_report) return;
  progress->next_report = progress->done + kProgressStep;
  progress->status->progress(progress->phase, progress->done,
                             progress->total);
}

void finish_progress(Progress* progress) {
  if (progress->status) progress->status->progress_ended();
  progress->status = nullptr;
}

bool file_exists(const std::string& path) {
  if (is_special_file(path)) return true;
  std::FILE* file = open_for_reading(path);
  if (!file) return false;
  std::fclose(file);
  return true;
}

IoStatus read_exact(std::FILE* in, uint64_t offset, uint8_t* data,
                    size_t length) {
  if (!seek_file(in, offset)) return io_short_read;
  if (read_from(in, data, length) != length) return io_short_read;
  return io_ok;
}

IoStatus write_all(std::FILE* out, const uint8_t* data, size_t length) {
  if (write_to(out, data, length) != length) return io_write_failed;
  return io_ok;
}

IoStatus write_zeros(std::FILE* out, uint64_t count, uint8_t* buffer,
                     size_t buffer_size) {
  std::memset(buffer, 0, count < buffer_size ? size_t(count) : buffer_size);
  while (count > 0) {
    size_t piece = count < buffer_size ? size_t(count) : buffer_size;
    if (write_all(out, buffer, piece) != io_ok) return io_write_failed;
    count -= piece;
  }
  return io_ok;
}

IoStatus copy_bytes(std::FILE* in, uint64_t in_offset, std::FILE* out,
                    uint64_t out_offset, uint64_t length, uint8_t* buffer,
                    size_t buffer_size, Progress* progress) {
  uint64_t done = 0;
  if (length > 0) {
    // The kernel writes at `out_offset` itself, so whatever the stream still
    // buffers must be in the file first.
    if (!flush_stream(out)) return io_write_failed;
    // In one call, unless a progress line wants to hear of every step.
    const bool counted = progress && progress->status;
    const uint64_t step = counted ? kProgressStep : length;
    while (done < length) {
      const uint64_t want = std::min(step, length - done);
      const uint64_t got =
          copy_in_kernel(in, in_offset + done, out, out_offset + done, want);
      done += got;
      count_progress(progress, got);
      if (got < want) break;
    }
  }
  if (!seek_file(out, out_offset + done)) return io_write_failed;
  if (done == length) return io_ok;
  if (!seek_file(in, in_offset + done)) return io_short_read;
  const size_t piece_limit = std::min(buffer_size, kCopyBufferSize);
  while (done < length) {
    uint64_t left = length - done;
    size_t piece = left < piece_limit ? size_t(left) : piece_limit;
    if (read_from(in, buffer, piece) != piece) return io_short_read;
    if (write_all(out, buffer, piece) != io_ok) return io_write_failed;
    done += piece;
    count_progress(progress, piece);
  }
  return io_ok;
}
