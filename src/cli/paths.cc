#include "cli/paths.h"

#include <algorithm>

std::string program_directory(const std::string& path) {
  size_t last = path.find_last_of("\\/");
  if (last == std::string::npos) return std::string();
  return path.substr(0, last + 1);
}

void strip_quotes(std::string& text) {
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
}
