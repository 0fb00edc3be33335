// Brenvik: the driver's path functions.
#include "cli/paths.h"

#include <algorithm>

#include "platform/platform.h"

std::string program_directory(const std::string& path) {
  return folder_part(path);
}

void strip_quotes(std::string& text) {
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
}
