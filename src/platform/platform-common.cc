// What every platform file shares of the platform interface.
#include "platform/platform.h"

bool unnamed_files_enabled = true;
bool kernel_copy_enabled = true;

std::string temporary_name(const std::string& folder, int attempt) {
  return folder + ".brenvik-" + std::to_string(process_id()) + "-" +
         std::to_string(attempt) + ".tmp";
}

std::string folder_part(const std::string& path) {
  const size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
