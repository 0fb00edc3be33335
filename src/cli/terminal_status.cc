#include "cli/terminal_status.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/console_messages.h"
#include "platform/platform.h"
#include "rom/messages.h"

namespace {

size_t drawn_length = 0;  // what the erase must cover

void erase_line() {
  if (drawn_length == 0) return;
  const std::string blank = "\r" + std::string(drawn_length, ' ') + "\r";
  std::fputs(blank.c_str(), stdout);
  drawn_length = 0;
}

void message_to_terminal(const char* text) {
  erase_line();
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void progress_to_terminal(uint64_t done, uint64_t total) {
  if (total == 0) {  // the rebuild ended
    erase_line();
    std::fflush(stdout);
    return;
  }
  char line[96];
  const unsigned percent = unsigned(done * 100 / total);
  const int length = std::snprintf(line, sizeof line, message_progress, percent,
                                   (unsigned long long)(done >> 20),
                                   (unsigned long long)(total >> 20));
  std::fputs(line, stdout);
  std::fflush(stdout);
  if (length > 1) drawn_length = size_t(length) - 1;  // the '\r'
}

}  // namespace

void install_terminal_status() {
  if (stdout_is_terminal())
    set_message_sinks(message_to_terminal, progress_to_terminal);
}
