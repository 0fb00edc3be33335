// Brenvik: where the library speaks while it works.
#ifndef BRENVIK_ROM_STATUS_H_
#define BRENVIK_ROM_STATUS_H_

#include <cstdint>
#include <string>

/// What a long rebuild is doing while its progress is shown.
enum class ProgressPhase {
  writing,       // the fixed game is written
  reading_back,  // it is read back from the card and compared
};

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

  /// A long rebuild moved (or read back) `done` of its `total` bytes.
  virtual void progress(ProgressPhase phase, uint64_t done, uint64_t total) {
    (void)phase;
    (void)done;
    (void)total;
  }

  /// The long rebuild ended, however it ended.
  virtual void progress_ended() {}
};

// The compiler checks each template against its arguments as printf's;
// MinGW's own printf would not know %zu, the one the tool uses does.
#if defined(__MINGW32__)
#define BRENVIK_PRINTF(template_index, first_argument) \
  __attribute__((format(gnu_printf, template_index, first_argument)))
#elif defined(__GNUC__)
#define BRENVIK_PRINTF(template_index, first_argument) \
  __attribute__((format(printf, template_index, first_argument)))
#else
#define BRENVIK_PRINTF(template_index, first_argument)
#endif

/// `format` filled in as printf does.
std::string formatted(const char* format, ...) BRENVIK_PRINTF(1, 2);

/// `template_text` with its "%s" replaced by `name`, taken as it is (a
/// name with a '%' in it stays as it is).
std::string named(const char* template_text, const std::string& name);

#endif  // BRENVIK_ROM_STATUS_H_
