// Brenvik: replaces the ARM7 binary of a Nintendo DS cartridge image and
// rebuilds the image around it. Everything the tool does starts in
// run_driver (cli/driver.h).
#include "cli/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  return run_driver(command_line_arguments(argc, argv));
}
