#include "rom/replacement.h"

#include "platform/platform.h"

Replacement replacement_at(const std::string& path) {
  Replacement replacement;
  replacement.path = path;
  return replacement;
}

FilePtr open_replacement(const Replacement& replacement) {
  if (replacement.scratch)
    return FilePtr(replacement.scratch.get(), [](std::FILE*) { return 0; });
  return FilePtr(open_for_reading(replacement.path), std::fclose);
}
