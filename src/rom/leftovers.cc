// Brenvik: clearing what an interrupted run left, and saying so.
#include "rom/leftovers.h"

#include "platform/platform.h"
#include "rom/messages.h"

void clear_leftovers(const std::string& path, bool checking, Status& status) {
  for (const Leftover& leftover : leftovers_beside(path)) {
    const char* said = checking ? message_leftover_would_remove
                       : remove_file(leftover.path)
                           ? message_leftover_removed
                           : message_leftover_not_removed;
    status.message(formatted(said, leftover.path.c_str(),
                             size_text(leftover.size).c_str()));
  }
}

std::string size_text(uint64_t bytes) {
  if (bytes >= (1ull << 20))
    return formatted("%llu MiB", (unsigned long long)(bytes >> 20));
  if (bytes >= (1ull << 10))
    return formatted("%llu KiB", (unsigned long long)(bytes >> 10));
  return formatted("%llu bytes", (unsigned long long)bytes);
}
