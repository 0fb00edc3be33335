// Brenvik: the name a fixed game is written under, and which names are games.
#include "rom/output_name.h"

#include <algorithm>
#include <cstdint>

namespace {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool ends_with_ignoring_case(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  return std::equal(
      end.begin(), end.end(), text.end() - end.size(),
      [](char a, char b) { return ascii_lower(a) == ascii_lower(b); });
}

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

bool is_game_name(const std::string& name) {
  return ends_with_ignoring_case(name, ".nds") &&
         !ends_with_ignoring_case(name, kOutputSuffix);
}

bool game_name_less(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const uint8_t x = uint8_t(ascii_lower(a[i])),
                  y = uint8_t(ascii_lower(b[i]));
    if (x != y) return x < y;
  }
  // Equal with case ignored up to the shorter: the shorter first, then
  // the bytes as they are.
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}
