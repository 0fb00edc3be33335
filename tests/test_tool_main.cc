// The tool as the fault tests run it, built twice: as it is, and (with
// BRENVIK_NAMED_TEMPORARY) as where the system offers no file without a
// name (FAT and exFAT cards, older kernels, macOS), so that every output is
// written under a named temporary file first.
//
// BRENVIK_FAULT=<read|write|flush|rename>:<n> in the environment makes the
// n-th such call fail, once. When the run never came to it, the exit status
// is 100 more than the run's, so a sweep over n knows where to stop.
// BRENVIK_PLAIN_COPY=1 moves every byte through the tool's own buffer, so
// each of its reads and writes is a call that can fail.
#include <cstdlib>
#include <cstring>

#include "cli/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
#if BRENVIK_NAMED_TEMPORARY
  unnamed_files_enabled = false;
#endif
  if (std::getenv("BRENVIK_PLAIN_COPY")) kernel_copy_enabled = false;
  const char* fault = std::getenv("BRENVIK_FAULT");
  const char* colon = fault ? std::strchr(fault, ':') : nullptr;
  if (colon) {
    const char* names[] = {"read", "write", "flush", "rename"};
    for (int call = 0; call < 4; ++call)
      if (std::strncmp(fault, names[call], size_t(colon - fault)) == 0 &&
          std::strlen(names[call]) == size_t(colon - fault))
        fail_once(FaultCall(call), std::atol(colon + 1));
  }
  const int status = run_driver(command_line_arguments(argc, argv));
  return colon && !fault_happened() ? 100 + status : status;
}
