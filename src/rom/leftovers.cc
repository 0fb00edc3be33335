// Brenvik: clearing what an interrupted run left, and saying so.
#include "rom/leftovers.h"

#include <algorithm>

#include "platform/platform.h"
#include "rom/messages.h"

namespace {

bool holds(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

void clear_leftovers_again(RunContext& run, const std::string& path,
                           Status& status) {
  if (run.mode == RunMode::verify) return;
  const std::string folder = folder_part(path);
  if (!holds(run.folders_looked_at, folder))
    run.folders_looked_at.push_back(folder);
  const bool checking = run.mode == RunMode::check;
  for (const Leftover& leftover : leftovers_beside(path)) {
    if (holds(run.leftovers_said, leftover.path)) continue;
    run.leftovers_said.push_back(leftover.path);
    const char* said = checking ? message_leftover_would_remove
                       : remove_file(leftover.path)
                           ? message_leftover_removed
                           : message_leftover_not_removed;
    status.message(formatted(said, leftover.path.c_str(),
                             size_text(leftover.size).c_str()));
  }
}

void clear_leftovers(RunContext& run, const std::string& path,
                     Status& status) {
  if (!holds(run.folders_looked_at, folder_part(path)))
    clear_leftovers_again(run, path, status);
}

std::string size_text(uint64_t bytes) {
  if (bytes >= (1ull << 20))
    return formatted("%llu MiB", (unsigned long long)(bytes >> 20));
  if (bytes >= (1ull << 10))
    return formatted("%llu KiB", (unsigned long long)(bytes >> 10));
  return formatted("%llu bytes", (unsigned long long)bytes);
}
