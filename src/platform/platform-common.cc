// What every platform file shares of the platform interface.
#include "platform.h"

namespace {

// What every temporary name of the tool is made of, around its numbers.
const char* const kTemporaryPrefix = ".brenvik-";
const char* const kTemporarySuffix = ".tmp";

// The temporaries this process made, by the path they were made at.
std::vector<std::string> own_temporaries;

}  // namespace

void note_own_temporary(const std::string& path) {
  own_temporaries.push_back(path);
}

bool is_own_temporary(const std::string& path) {
  for (const std::string& own : own_temporaries)
    if (same_file(own, path)) return true;
  return false;
}

std::string temporary_name(const std::string& folder, int attempt) {
  return folder + kTemporaryPrefix + std::to_string(process_id()) + "-" +
         std::to_string(attempt) + kTemporarySuffix;
}

std::string folder_part(const std::string& path) {
  const size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

namespace {

// Reads the digits of `name` from `*at` on, at least one; false when there
// are none or their number does not fit.
bool read_digits(const std::string& name, size_t* at, unsigned long* value) {
  const size_t start = *at;
  unsigned long number = 0;
  for (; *at < name.size() && name[*at] >= '0' && name[*at] <= '9'; ++*at) {
    const unsigned long digit = static_cast<unsigned long>(name[*at] - '0');
    if (number > (~0ul - digit) / 10) return false;
    number = number * 10 + digit;
  }
  *value = number;
  return *at > start;
}

}  // namespace

bool is_temporary_name(const std::string& name, unsigned long* pid) {
  const std::string prefix = kTemporaryPrefix;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t at = prefix.size();
  unsigned long attempt = 0;
  return read_digits(name, &at, pid) && *pid != 0 && at < name.size() &&
         name[at++] == '-' && read_digits(name, &at, &attempt) &&
         name.compare(at, std::string::npos, kTemporarySuffix) == 0;
}

size_t read_from(std::FILE* file, void* data, size_t length) {
  if (fault_now(FaultCall::read)) return length / 2;
  return std::fread(data, 1, length, file);
}

size_t write_to(std::FILE* file, const void* data, size_t length) {
  if (fault_now(FaultCall::write)) return length / 2;
  return std::fwrite(data, 1, length, file);
}

bool flush_stream(std::FILE* file) {
  return !fault_now(FaultCall::flush) && std::fflush(file) == 0;
}
