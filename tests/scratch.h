// Brenvik tests: scratch folders, files and runs of the built tool.
#ifndef BRENVIK_TESTS_SCRATCH_H_
#define BRENVIK_TESTS_SCRATCH_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "rom/status.h"

/// A new empty folder (with a trailing '/') for one test, inside `parent`
/// when one is given.
std::string make_scratch_dir(const std::string& parent = "");

/// Removes a folder and everything in it.
void remove_tree(const std::string& dir);

/// The names in a folder, sorted.
std::vector<std::string> list_dir(const std::string& dir);

/// The image `description` builds, failing the test when it is malformed.
std::vector<uint8_t> image_from(const std::string& description);

/// `count` bytes of a pattern unlike the image pattern, for replacement
/// binaries that must be told apart from the game's bytes.
std::vector<uint8_t> replacement_binary(size_t count, uint8_t seed = 0xA7);

/// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> file_bytes(const std::string& path);

/// Where the real images are, or empty (with a note for the log) when the
/// folder is not beside the project.
std::string real_data_dir();

/// Runs the built tool with `args` in `dir`, standard input from the null
/// device, and returns its exit status; its standard output goes to
/// `*output`. `tool` is the path of the executable to start.
int run_tool(const std::string& tool, const std::vector<std::string>& args,
             const std::string& dir, std::string* output,
             const std::string& prefix = "");

/// A scratch folder holding a copy of the built tool (or of `binary`), as
/// a user would unpack it; inside `parent` when one is given.
struct ToolFolder {
  std::string dir;
  std::string tool;
};
ToolFolder tool_folder(const std::string& binary = BRENVIK_BINARY,
                       const std::string& parent = "");

/// `message` naming the file `name` where it has "%s", as a text that
/// lasts as long as the test program, for `says`.
const char* naming(const char* message, const std::string& name);

/// What a run of the tool prints: the banner, then `messages`.
std::string says(std::initializer_list<const char*> messages);

/// A status that keeps what the library told it, for tests of values.
struct RecordingStatus : Status {
  explicit RecordingStatus(bool showing_progress = false)
      : showing_progress(showing_progress) {}
  void message(const std::string& text) override { heard.push_back(text); }
  bool shows_progress() const override { return showing_progress; }
  void progress(ProgressPhase phase, uint64_t done, uint64_t total) override {
    (phase == ProgressPhase::writing ? progress_heard : read_back_heard)
        .push_back(done);
    progress_total = total;
  }
  void progress_ended() override { heard.push_back("(progress ended)"); }

  bool showing_progress;
  std::vector<std::string> heard;
  std::vector<uint64_t> progress_heard;  // bytes done, at each report
  std::vector<uint64_t> read_back_heard;  // the same, reading back
  uint64_t progress_total = 0;
};

/// Quotes `word` for the POSIX shell.
std::string shell_quote(const std::string& word);

#endif  // BRENVIK_TESTS_SCRATCH_H_
