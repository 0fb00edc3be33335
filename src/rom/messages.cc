#include "rom/messages.h"

#include <cstdio>

void print_message(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}
