// Brenvik in the browser: the few C functions the page's worker calls.
// Each game goes through the same single-game step as in the console
// tool; messages and progress reach the worker through the hooks
// `Module.onToolMessage` and `Module.onToolProgress` (src/web/worker.js).
#include <emscripten/emscripten.h>

#include <string>
#include <vector>

#include "rom/extract_arm7.h"
#include "rom/files.h"
#include "rom/fix_game.h"
#include "rom/messages.h"
#include "rom/output_name.h"

EM_JS(void, post_tool_message, (const char* text),
      { Module.onToolMessage(UTF8ToString(text)); });
EM_JS(void, post_tool_progress, (double done, double total),
      { Module.onToolProgress(done, total); });

namespace {

void message_to_page(const char* text) { post_tool_message(text); }

void progress_to_page(uint64_t done, uint64_t total) {
  post_tool_progress(double(done), double(total));
}

// The replacement of the games that follow, and the batch being fixed.
ReplacementOrigin origin = {false, {0, 0}};
std::vector<std::string> batch_not_fixed, batch_warned;
std::string returned_path;

}  // namespace

extern "C" {

/// Sends messages and progress to the page and says the banner.
EMSCRIPTEN_KEEPALIVE void brenvik_start() {
  set_message_sinks(message_to_page, progress_to_page);
  print_message(message_banner);
}

/// Looks at the replacement the user picked, at `path`. A whole image is
/// a donor: its ARM7 binary is written to `arm7_file` and 2 returned. Any
/// other file is the binary itself: 1, and the caller stores it at
/// `arm7_file`. 0 when it cannot be used; the reason has been said.
EMSCRIPTEN_KEEPALIVE int brenvik_take_replacement(const char* path,
                                                  const char* arm7_file) {
  Arm7Addresses addresses = {0, 0};
  if (!is_donor_image(path, &addresses)) {
    origin = {false, {0, 0}};
    return 1;
  }
  print_message(message_extracting);
  if (const char* failure = extract_arm7(path, arm7_file)) {
    print_message(failure);
    return 0;
  }
  origin = {true, addresses};
  return 2;
}

/// Sets what `brenvik_take_replacement` learnt of the replacement a batch
/// uses: whether it came from a donor, and the donor's addresses.
EMSCRIPTEN_KEEPALIVE void brenvik_use_replacement(int from_donor,
                                                  uint32_t entry, uint32_t ram) {
  origin = {from_donor != 0, {entry, ram}};
}

EMSCRIPTEN_KEEPALIVE uint32_t brenvik_donor_entry() { return origin.donor.entry; }
EMSCRIPTEN_KEEPALIVE uint32_t brenvik_donor_ram() { return origin.donor.ram; }

/// Fixes game `index` (from 1) of `count`, at `input_path`, shown to the
/// user as `shown_name`, with the binary at `arm7_file`. Returns 1 when
/// its output is written under `brenvik_output_path(input_path)`.
EMSCRIPTEN_KEEPALIVE int brenvik_fix_game(const char* input_path,
                                          const char* shown_name,
                                          const char* arm7_file, int index,
                                          int count) {
  if (index == 1) {
    batch_not_fixed.clear();
    batch_warned.clear();
  }
  if (count > 1)
    print_formatted(message_game_heading, size_t(index), size_t(count),
                    shown_name);
  arm7_path = arm7_file;
  const GameOutcome outcome = fix_game(input_path, origin);
  if (!outcome.fixed) batch_not_fixed.push_back(shown_name);
  if (outcome.warned) batch_warned.push_back(shown_name);
  return outcome.fixed ? 1 : 0;
}

/// The count at the end of a batch of `count` games, as the console says it.
EMSCRIPTEN_KEEPALIVE void brenvik_finish_batch(int count) {
  if (count > 1)
    print_games_summary(message_games_fixed, size_t(count), batch_not_fixed,
                        batch_warned);
}

/// Where `fix_game` writes the output of the game at `input_path`.
EMSCRIPTEN_KEEPALIVE const char* brenvik_output_path(const char* input_path) {
  returned_path = fixed_output_path(input_path);
  return returned_path.c_str();
}

}  // extern "C"
