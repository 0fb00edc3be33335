// Brenvik in the browser: the C functions the page's worker calls
// (worker.js beside this file). Each game goes through the same batch as
// in the console tool; messages and progress reach the worker through the
// hooks `Module.onToolMessage` and `Module.onToolProgress`.
//
// The order of calls: `brenvik_start` once; `brenvik_take_replacement`
// for each replacement picked, with `brenvik_donor_entry` and
// `brenvik_donor_ram` after it; for each batch `brenvik_begin_batch`, then
// for each game either `brenvik_batch_fix` (and `brenvik_batch_output`)
// or `brenvik_batch_not_fixed`, then `brenvik_finish_batch`, which frees
// the batch.
#include <emscripten/emscripten.h>

#include <string>

#include "rom/extract_arm7.h"
#include "rom/game_batch.h"
#include "rom/messages.h"

EM_JS(void, post_tool_message, (const char* text),
      { Module.onToolMessage(UTF8ToString(text)); });
EM_JS(void, post_tool_progress, (double done, double total),
      { Module.onToolProgress(done, total); });

namespace {

void message_to_page(const char* text) { post_tool_message(text); }

void progress_to_page(uint64_t done, uint64_t total) {
  if (total > 0) post_tool_progress(double(done), double(total));
}

// What `brenvik_take_replacement` found out, read back by the two getters.
Arm7Addresses taken_addresses = {0, 0};

// A batch the page holds through its handle, with the output of its latest
// game for `brenvik_batch_output`.
struct PageBatch {
  GameBatch games;
  std::string output_path;
};

}  // namespace

/// What a picked replacement turned out to be; worker.js names the same
/// numbers.
enum TakenReplacement { kUnusable = 0, kBinary = 1, kDonor = 2 };

extern "C" {

/// Sends messages and progress to the page and says the banner.
EMSCRIPTEN_KEEPALIVE void brenvik_start() {
  set_message_sinks(message_to_page, progress_to_page);
  print_message(message_banner);
}

/// Looks at the replacement the user picked, at `path`. A whole image is
/// a donor: its ARM7 binary is written to `arm7_file`, `kDonor`. Any other
/// file is the binary itself: `kBinary`, and the caller stores it at
/// `arm7_file`. `kUnusable` when it cannot be used; the reason has been
/// said.
EMSCRIPTEN_KEEPALIVE int brenvik_take_replacement(const char* path,
                                                  const char* arm7_file) {
  taken_addresses = {0, 0};
  if (!is_donor_image(path, &taken_addresses)) return kBinary;
  print_message(message_extracting);
  Replacement replacement;
  const Failure failure = extract_arm7(path, arm7_file, &replacement);
  print_failure(failure);
  return failure == Failure::none ? kDonor : kUnusable;
}

EMSCRIPTEN_KEEPALIVE uint32_t brenvik_donor_entry() {
  return taken_addresses.entry;
}
EMSCRIPTEN_KEEPALIVE uint32_t brenvik_donor_ram() {
  return taken_addresses.ram;
}

/// A batch of `count` games, numbered when there is more than one.
EMSCRIPTEN_KEEPALIVE PageBatch* brenvik_begin_batch(int count) {
  PageBatch* batch = new PageBatch;
  batch->games = begin_batch(size_t(count), count > 1, false);
  return batch;
}

/// Fixes the next game of `batch`, at `input_path`, shown to the user as
/// `shown_name`, with the binary at `arm7_file`, a donor's (with its
/// addresses) when `from_donor`. Returns 1 when its output is written
/// under `brenvik_batch_output(batch)`.
EMSCRIPTEN_KEEPALIVE int brenvik_batch_fix(
    PageBatch* batch, const char* input_path, const char* shown_name,
    const char* arm7_file, int from_donor, uint32_t entry, uint32_t ram) {
  Replacement replacement = replacement_at(arm7_file);
  replacement.from_donor = from_donor != 0;
  replacement.donor = {entry, ram};
  const GameOutcome outcome =
      fix_next_game(batch->games, input_path, shown_name, replacement);
  batch->output_path = outcome.output_path;
  return outcome.fixed ? 1 : 0;
}

/// Where the latest game of `batch` was written.
EMSCRIPTEN_KEEPALIVE const char* brenvik_batch_output(PageBatch* batch) {
  return batch->output_path.c_str();
}

/// Counts the next game of `batch` as not fixed: the worker could not hand
/// it over, and has said why.
EMSCRIPTEN_KEEPALIVE void brenvik_batch_not_fixed(PageBatch* batch,
                                                  const char* shown_name) {
  count_not_fixed(batch->games, shown_name);
}

/// The count at the end of `batch`, as the console says it; frees the
/// batch and returns how many of its games were fixed.
EMSCRIPTEN_KEEPALIVE int brenvik_finish_batch(PageBatch* batch) {
  finish_batch(batch->games);
  const int fixed = int(fixed_count(batch->games));
  delete batch;
  return fixed;
}

}  // extern "C"
