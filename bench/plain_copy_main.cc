// The tool with every byte moved through its own buffer instead of the
// kernel's copy: the benchmark's measure of the plain path and the check
// that both paths write the same image.
#include "cli/driver.h"
#include "rom/files.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  kernel_copy_enabled = false;
  return run_driver(command_line_arguments(argc, argv));
}
