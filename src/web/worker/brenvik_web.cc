// Brenvik in the browser: the C functions the page's worker calls
// (worker.js beside this file). Each game goes through the same batch as
// in the console tool; what the library says reaches the worker through
// the hooks `Module.onToolMessage` and `Module.onToolProgress`.
//
// The order of calls: `brenvik_start` once; `brenvik_take_replacement`
// for each file picked as the replacement; before each game its
// replacements, `brenvik_clear_replacements` and `brenvik_add_replacement`
// for each; for each batch `brenvik_begin_batch`, then for each game
// either `brenvik_batch_fix` (and `brenvik_batch_output`) or
// `brenvik_batch_not_fixed`, then `brenvik_finish_batch`, which frees the
// batch. `brenvik_try_fix` may run at any time: it counts in no batch.
#include <emscripten/emscripten.h>

#include <string>

#include "rom/extract_arm7.h"
#include "rom/game_batch.h"
#include "rom/messages.h"
#include "rom/replacement_set.h"
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
  // The page writes nothing it could read back: only the writing shows.
  void progress(ProgressPhase, uint64_t done, uint64_t total) override {
    post_tool_progress(double(done), double(total));
  }
};

PageStatus page_status;

// What the next games are fixed with, as the worker last set it.
ReplacementSet replacements;

// The description `brenvik_take_replacement` returns, as JSON.
std::string taken;

// A batch the page holds through its handle, with the output of its latest
// game for `brenvik_batch_output`.
struct PageBatch {
  GameBatch games;
  std::string output_path;
};

}  // namespace

extern "C" {

/// Says the banner.
EMSCRIPTEN_KEEPALIVE void brenvik_start() {
  page_status.message(message_banner);
}

/// Looks at the file the user picked, at `path`, named `name`: with
/// `as_donor`, one of several donors; else whichever it is. A donor's ARM7
/// binary is written to `arm7_file`; a bare binary the caller stores there
/// itself. Returns the replacement as a JSON record: {"kind": "binary",
/// "donor" or "unusable", "entry", "ram", "sdk" (null where none), and the
/// version as the messages write it, "built" ("built with SDK 4.1
/// (0x04010000)") and "version" ("SDK 4.1")}. An unusable file's reason
/// has been said.
EMSCRIPTEN_KEEPALIVE const char* brenvik_take_replacement(const char* path,
                                                          const char* name,
                                                          const char* arm7_file,
                                                          int as_donor) {
  Replacement replacement;
  Failure failure = look_at_replacement(
      path, name, as_donor ? Offered::as_donor : Offered::as_either,
      &replacement);
  if (failure == Failure::none && replacement.donor_image) {
    page_status.message(named(message_extracting, name));
    failure = extract_arm7(arm7_file, &replacement);
  }
  if (failure != Failure::none)
    page_status.message(failure_message(failure, name));
  const char* kind = failure != Failure::none   ? "unusable"
                     : replacement.donor_image ? "donor"
                                                : "binary";
  taken = formatted(
      "{\"kind\": \"%s\", \"entry\": %u, \"ram\": %u, \"sdk\": %s, "
      "\"built\": \"%s\", \"version\": \"%s\"}",
      kind, unsigned(replacement.donor.entry), unsigned(replacement.donor.ram),
      replacement.sdk.known ? std::to_string(replacement.sdk.value).c_str()
                            : "null",
      sdk_built_with_text(replacement.sdk).c_str(),
      sdk_short_text(replacement.sdk).c_str());
  return taken.c_str();
}

/// Forgets the replacements the games were fixed with; `several`: the
/// next ones are donors to choose from for each game.
EMSCRIPTEN_KEEPALIVE void brenvik_clear_replacements(int several) {
  replacements = ReplacementSet();
  replacements.several = several != 0;
  replacements.source = message_donors_picked;
}

/// Adds the binary stored at `arm7_file`, picked as the file `name`, to
/// the replacements: a donor's (`from_donor`) built for `entry` and `ram`
/// with the SDK version `sdk` where `sdk_known`, or a bare binary; where
/// no version is known, the binary's side of SDK 5 is read from it. Returns
/// its version as the messages write it: {"built", "version"}.
EMSCRIPTEN_KEEPALIVE const char* brenvik_add_replacement(const char* arm7_file,
                                                  const char* name,
                                                  int from_donor,
                                                  uint32_t entry, uint32_t ram,
                                                  int sdk_known,
                                                  uint32_t sdk) {
  Replacement replacement = replacement_at(arm7_file, name);
  replacement.donor_image = replacement.from_donor = from_donor != 0;
  // Messages about a donor's binary name it as the console names the one
  // it extracts.
  if (from_donor) replacement.name = kArm7Name;
  replacement.donor = {entry, ram};
  replacement.sdk = {sdk_known != 0, sdk};
  // A binary remembered from an earlier visit tells its side too.
  read_binary_side(&replacement);
  taken = formatted("{\"built\": \"%s\", \"version\": \"%s\"}",
                    sdk_built_with_text(replacement.sdk).c_str(),
                    sdk_short_text(replacement.sdk).c_str());
  replacements.choices.push_back(std::move(replacement));
  return taken.c_str();
}

/// A batch of `count` games, numbered when there is more than one.
EMSCRIPTEN_KEEPALIVE PageBatch* brenvik_begin_batch(int count) {
  PageBatch* batch = new PageBatch;
  batch->games = begin_batch(size_t(count), count > 1, false);
  return batch;
}

/// Fixes the next game of `batch`, at `input_path`, shown to the user as
/// `shown_name`, with the replacements last added. Returns 1 when its
/// output is written under `brenvik_batch_output(batch)`.
EMSCRIPTEN_KEEPALIVE int brenvik_batch_fix(PageBatch* batch,
                                           const char* input_path,
                                           const char* shown_name) {
  const GameOutcome outcome = fix_next_game(batch->games, input_path,
                                            shown_name, replacements,
                                            page_status);
  batch->output_path = outcome.output_path;
  return outcome.fixed() ? 1 : 0;
}

/// Fixes the game at `input_path` as `brenvik_batch_fix` would, in no
/// batch and with nothing said of its outcome: the worker's attempt that
/// finds which stretches of a picked file the rebuild reads.
EMSCRIPTEN_KEEPALIVE void brenvik_try_fix(const char* input_path) {
  RunContext run;
  fix_game(input_path, replacements, run, page_status);
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
