#include "rom/output_name.h"

namespace {

constexpr const char* kSeparators = "\\/";
constexpr const char* kOutputSuffix = "-arm7fixed.nds";

// Characters are counted as UTF-8 sequences: a continuation byte
// (10xxxxxx) belongs to the character in front of it, so a name is never cut
// inside a character.
bool is_continuation(char byte) { return (byte & 0xC0) == 0x80; }

size_t count_characters(const std::string& text, size_t from) {
  size_t count = 0;
  for (size_t i = from; i < text.size(); ++i)
    if (!is_continuation(text[i])) ++count;
  return count;
}

// Where the last `count` characters of `text` begin.
size_t start_of_last_characters(const std::string& text, size_t count) {
  size_t at = text.size();
  while (count > 0 && at > 0) {
    --at;
    if (!is_continuation(text[at])) --count;
  }
  return at;
}

}  // namespace

size_t file_name_length(const std::string& path) {
  size_t last = path.find_last_of(kSeparators);
  return count_characters(path, last == std::string::npos ? 0 : last + 1);
}

std::string fixed_output_path(const std::string& input_path) {
  return input_path.substr(0, start_of_last_characters(input_path, 4)) +
         kOutputSuffix;
}
