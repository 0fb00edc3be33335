#include "rom/messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

struct ProgressLine {
  bool active;
  uint64_t total;
  uint64_t done;
  uint64_t next_draw;
  size_t drawn_length;  // what the erase must cover
};
ProgressLine progress = {false, 0, 0, 0, 0};
MessageSink message_sink = nullptr;
ProgressSink progress_sink = nullptr;

void erase_progress_line() {
  if (progress.drawn_length == 0) return;
  std::string blank = "\r" + std::string(progress.drawn_length, ' ') + "\r";
  std::fputs(blank.c_str(), stdout);
  progress.drawn_length = 0;
}

void draw_progress_line() {
  if (progress_sink) {
    progress_sink(progress.done, progress.total);
    return;
  }
  char line[96];
  const unsigned percent = unsigned(progress.done * 100 / progress.total);
  int length = std::snprintf(line, sizeof line, message_progress, percent,
                             (unsigned long long)(progress.done >> 20),
                             (unsigned long long)(progress.total >> 20));
  std::fputs(line, stdout);
  std::fflush(stdout);
  if (length > 1) progress.drawn_length = size_t(length) - 1;  // the '\r'
}

}  // namespace

void print_message(const char* text) {
  if (message_sink) {
    message_sink(text);
    return;
  }
  erase_progress_line();
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void print_formatted(const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  va_end(args);
  print_message(text.c_str());
}

void set_message_sinks(MessageSink messages, ProgressSink progress) {
  message_sink = messages;
  progress_sink = progress;
}

void begin_progress(uint64_t total) {
  const bool seen = progress_sink != nullptr || stdout_is_terminal();
  progress = {total > kProgressThreshold && seen, total, 0, kProgressStep, 0};
}

void advance_progress(uint64_t bytes) {
  if (!progress.active) return;
  progress.done += bytes;
  if (progress.done < progress.next_draw) return;
  progress.next_draw = progress.done + kProgressStep;
  draw_progress_line();
}

bool progress_shown() { return progress.active; }

void end_progress() {
  erase_progress_line();
  std::fflush(stdout);
  progress.active = false;
}
