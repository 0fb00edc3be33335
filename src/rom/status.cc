// Brenvik: the texts a status is told, filled in.
#include "rom/status.h"

#include <cstdarg>
#include <cstdio>

std::string formatted(const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  std::vsnprintf(&text[0], text.size() + 1, format, args);
  va_end(args);
  return text;
}

std::string named(const char* template_text, const std::string& name) {
  std::string text = template_text;
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}
