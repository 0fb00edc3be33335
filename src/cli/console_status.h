// Brenvik: the console's printer, through which the library and the
// driver speak.
#ifndef BRENVIK_CLI_CONSOLE_STATUS_H_
#define BRENVIK_CLI_CONSOLE_STATUS_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "rom/status.h"

/// Every message on standard output, written whole and flushed, so it is
/// on the screen before whatever comes next. Where standard output is a
/// terminal, the progress of a long rebuild is one line redrawn in place
/// and erased before the next message, so the messages read as they would
/// without it; elsewhere (a pipe, a file) no progress is shown.
struct ConsoleStatus : Status {
  ConsoleStatus();
  void message(const std::string& text) override;
  bool shows_progress() const override { return at_terminal; }
  void progress(ProgressPhase phase, uint64_t done, uint64_t total) override;
  void progress_ended() override;

 private:
  void erase_line();
  bool at_terminal;
  size_t drawn_length = 0;  // what the erase must cover
};

#endif  // BRENVIK_CLI_CONSOLE_STATUS_H_
