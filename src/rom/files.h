// Brenvik: the file helpers the driver and the rebuild share.
#ifndef BRENVIK_ROM_FILES_H_
#define BRENVIK_ROM_FILES_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "rom/status.h"

/// Where the console's replacement ARM7 binary lives: the tool's directory
/// followed by `arm7.bin`, or the file --arm7 names. Set by the driver
/// before anything reads it; `rebuild_game` rebuilds with it.
extern std::string arm7_path;

/// An open file that is closed when it goes out of scope.
using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

/// True when `path` can be opened for binary reading; the file is closed
/// again at once. Something there that is not a file (a FIFO, a device)
/// counts as present, so nothing is written over it, though it cannot be
/// read.
bool file_exists(const std::string& path);

/// The size of the buffer the rebuild and the donor extraction move bytes
/// through: a piece this size is still in the processor's cache when it is
/// written out again, and it keeps the tool's memory small.
constexpr size_t kCopyBufferSize = 256 * 1024;

/// How a block transfer between files ended.
enum IoStatus {
  io_ok,
  io_short_read,    // the input ended, or failed, before the count was read
  io_write_failed,  // the output refused bytes: disk full, size limit, I/O
};

/// A rebuild that moves more than this many bytes shows its progress: on
/// slow media it takes minutes.
constexpr uint64_t kProgressThreshold = 64ull << 20;
/// The status hears again each time this many more bytes are moved.
constexpr uint64_t kProgressStep = 4ull << 20;

/// The progress of one rebuild, counted as its bytes are moved and told to
/// its status; counted at all only where the status shows it and the
/// rebuild is long enough to need it.
struct Progress {
  Status* status = nullptr;  // null: not counted
  ProgressPhase phase = ProgressPhase::writing;
  uint64_t total = 0;
  uint64_t done = 0;
  uint64_t next_report = 0;
};

/// The progress of a rebuild that moves `total` bytes in `phase`, told to
/// `status`.
Progress start_progress(Status& status, uint64_t total,
                        ProgressPhase phase = ProgressPhase::writing);
/// Counts again from 0, now in `phase`; nothing for a null `progress`.
void restart_progress(Progress* progress, ProgressPhase phase);
/// Counts `bytes` more moved; nothing for a null or uncounted `progress`.
void count_progress(Progress* progress, uint64_t bytes);
/// Tells the status the rebuild ended, where it was counted.
void finish_progress(Progress* progress);

/// Reads exactly `length` bytes at `offset`.
IoStatus read_exact(std::FILE* in, uint64_t offset, uint8_t* data,
                    size_t length);

/// Writes `length` bytes at the output's current position.
IoStatus write_all(std::FILE* out, const uint8_t* data, size_t length);

/// Writes `count` zero bytes at the output's current position, using
/// `buffer` (zeroed here) as the source.
IoStatus write_zeros(std::FILE* out, uint64_t count, uint8_t* buffer,
                     size_t buffer_size);

/// Copies `length` bytes from `in` at `in_offset` to `out` at `out_offset`,
/// in the kernel where it can and through `buffer` from wherever the kernel
/// stopped, counting them in `progress` when one is given. Afterwards
/// `out` stands at `out_offset + length`.
IoStatus copy_bytes(std::FILE* in, uint64_t in_offset, std::FILE* out,
                    uint64_t out_offset, uint64_t length, uint8_t* buffer,
                    size_t buffer_size, Progress* progress = nullptr);

#endif  // BRENVIK_ROM_FILES_H_
