// Brenvik: where the library speaks while it works.
#ifndef BRENVIK_ROM_STATUS_H_
#define BRENVIK_ROM_STATUS_H_

#include <cstdint>
#include <string>

/// What a front-end hands the library to hear from it while a step runs:
/// the user's messages, each at the moment it applies, and the progress of
/// a long rebuild. The library keeps no channel of its own; each front-end
/// gives one: the console its printer (cli/console_status.h), the page
/// the worker's messages (web/worker/brenvik_web.cc), the tests a
/// recording.
struct Status {
  virtual ~Status() = default;

  /// One whole message, ending in its two line ends; it is to be seen
  /// before whatever comes next.
  virtual void message(const std::string& text) = 0;

  /// True where progress is shown: only then is it counted, and long
  /// copies go in steps small enough to show it.
  virtual bool shows_progress() const { return false; }

  /// A long rebuild moved `done` of its `total` bytes.
  virtual void progress(uint64_t done, uint64_t total) {
    (void)done;
    (void)total;
  }

  /// The long rebuild ended, however it ended.
  virtual void progress_ended() {}
};

/// `format` filled in as printf does.
std::string formatted(const char* format, ...);

/// `template_text` with its "%s" replaced by `name`, taken as it is (a
/// name with a '%' in it stays as it is).
std::string named(const char* template_text, const std::string& name);

#endif  // BRENVIK_ROM_STATUS_H_
