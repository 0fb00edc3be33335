// Brenvik: the console's printer: messages whole, the progress line in place.
#include "cli/console_status.h"

#include <cstdio>

#include "cli/console_messages.h"
#include "platform/platform.h"

ConsoleStatus::ConsoleStatus() : at_terminal(stdout_is_terminal()) {}

void ConsoleStatus::erase_line() {
  if (drawn_length == 0) return;
  write_output("\r" + std::string(drawn_length, ' ') + "\r");
  drawn_length = 0;
}

void ConsoleStatus::message(const std::string& text) {
  erase_line();
  write_output(text);
}

void ConsoleStatus::progress(ProgressPhase phase, uint64_t done,
                             uint64_t total) {
  if (!at_terminal || total == 0) return;
  char line[96];
  const unsigned percent = unsigned(done * 100 / total);
  const int length = std::snprintf(
      line, sizeof line,
      phase == ProgressPhase::reading_back ? message_progress_read_back
                                           : message_progress,
      percent, (unsigned long long)(done >> 20),
      (unsigned long long)(total >> 20));
  write_output(line);
  if (length > 1) drawn_length = size_t(length) - 1;  // the '\r'
}

void ConsoleStatus::progress_ended() { erase_line(); }
