// Brenvik in the browser: the C functions the page's worker calls
// (worker.js beside this file). Each game goes through the same batch as
// in the console tool; what the library says reaches the worker through
// the hooks `Module.onToolMessage` and `Module.onToolProgress`.
//
// The order of calls: `brenvik_start` once; `brenvik_take_replacement`
// for each replacement picked, with `brenvik_donor_entry` and
// `brenvik_donor_ram` after it; for each batch `brenvik_begin_batch`, then
// for each game either `brenvik_batch_fix` (and `brenvik_batch_output`)
// or `brenvik_batch_not_fixed`, then `brenvik_finish_batch`, which frees
// the batch. `brenvik_try_fix` may run at any time: it counts in no batch.
#include <emscripten/emscripten.h>

#include <string>

#include "rom/extract_arm7.h"
#include "rom/game_batch.h"
#include "rom/messages.h"
#include "rom/status.h"

EM_JS(void, post_tool_message, (const char* text),
      { Module.onToolMessage(UTF8ToString(text)); });
EM_JS(void, post_tool_progress, (double done, double total),
      { Module.onToolProgress(done, total); });

namespace {

// The worker's messages, as the page shows them.
struct PageStatus : Status {
  void message(const std::string& text) override {
    post_tool_message(text.c_str());
  }
  bool shows_progress() const override { return true; }
  void progress(uint64_t done, uint64_t total) override {
    post_tool_progress(double(done), double(total));
  }
};

PageStatus page_status;

// What `brenvik_take_replacement` found out, read back by the two getters.
Arm7Addresses taken_addresses = {};

// A batch the page holds through its handle, with the output of its latest
// game for `brenvik_batch_output`.
struct PageBatch {
  GameBatch games;
  std::string output_path;
};

// The replacement the page sends along with each game: the binary stored
// at `arm7_file`, named `name` in messages, a donor's with its addresses
// when `from_donor`.
Replacement page_replacement(const char* arm7_file, const char* name,
                             int from_donor, uint32_t entry, uint32_t ram) {
  Replacement replacement = replacement_at(arm7_file, name);
  replacement.from_donor = from_donor != 0;
  replacement.donor = {entry, ram};
  return replacement;
}

}  // namespace

/// What a picked replacement turned out to be; worker.js names the same
/// numbers.
enum TakenReplacement { kUnusable = 0, kBinary = 1, kDonor = 2 };

extern "C" {

/// Says the banner.
EMSCRIPTEN_KEEPALIVE void brenvik_start() {
  page_status.message(message_banner);
}

/// Looks at the replacement the user picked, at `path`, named `name`. A
/// whole image is a donor: its ARM7 binary is written to `arm7_file`,
/// `kDonor`. Any other file is the binary itself: `kBinary`, and the
/// caller stores it at `arm7_file`. `kUnusable` when it cannot be used;
/// the reason has been said.
EMSCRIPTEN_KEEPALIVE int brenvik_take_replacement(const char* path,
                                                  const char* name,
                                                  const char* arm7_file) {
  Candidate candidate;
  Failure failure =
      look_at_replacement(path, name, Offered::as_either, &candidate);
  taken_addresses = candidate.addresses;
  if (failure == Failure::none && candidate.donor) {
    page_status.message(named(message_extracting, name));
    Replacement replacement;
    failure = extract_arm7(candidate, arm7_file, &replacement);
  }
  if (failure != Failure::none) {
    page_status.message(failure_message(failure, name));
    return kUnusable;
  }
  return candidate.donor ? kDonor : kBinary;
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
/// `shown_name`, with the binary at `arm7_file` (see `page_replacement`).
/// Returns 1 when its output is written under `brenvik_batch_output(batch)`.
EMSCRIPTEN_KEEPALIVE int brenvik_batch_fix(
    PageBatch* batch, const char* input_path, const char* shown_name,
    const char* arm7_file, const char* arm7_name, int from_donor,
    uint32_t entry, uint32_t ram) {
  const GameOutcome outcome = fix_next_game(
      batch->games, input_path, shown_name,
      page_replacement(arm7_file, arm7_name, from_donor, entry, ram),
      page_status);
  batch->output_path = outcome.output_path;
  return outcome.fixed() ? 1 : 0;
}

/// Fixes the game at `input_path` as `brenvik_batch_fix` would, in no
/// batch and with nothing said of its outcome: the worker's attempt that
/// finds which stretches of a picked file the rebuild reads.
EMSCRIPTEN_KEEPALIVE void brenvik_try_fix(const char* input_path,
                                          const char* arm7_file,
                                          const char* arm7_name, int from_donor,
                                          uint32_t entry, uint32_t ram) {
  fix_game(input_path,
           page_replacement(arm7_file, arm7_name, from_donor, entry, ram),
           page_status);
}

/// Where the latest game of `batch` was written.
EMSCRIPTEN_KEEPALIVE const char* brenvik_batch_output(PageBatch* batch) {
  return batch->output_path.c_str();
}

/// Counts the next game of `batch` as not fixed: the worker could not hand
/// it over, and says why.
EMSCRIPTEN_KEEPALIVE void brenvik_batch_not_fixed(PageBatch* batch,
                                                  const char* shown_name) {
  count_not_fixed(batch->games, shown_name, page_status);
}

/// The count at the end of `batch`, as the console says it; frees the
/// batch and returns how many of its games were fixed.
EMSCRIPTEN_KEEPALIVE int brenvik_finish_batch(PageBatch* batch) {
  finish_batch(batch->games, page_status);
  const int fixed = int(fixed_count(batch->games));
  delete batch;
  return fixed;
}

}  // extern "C"
