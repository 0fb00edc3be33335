// The tool as it runs where the system offers no file without a name (FAT
// and exFAT cards, older kernels, macOS): every output is written under a
// named temporary file first. A test build only, for the fault tests.
#include "cli/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  unnamed_files_enabled = false;
  return run_driver(command_line_arguments(argc, argv));
}
