// Brenvik: the test variant of the platform's hooks (test_hooks.h), linked
// only into the test binaries and the benchmark.
#include "test_hooks.h"

#include <cerrno>

bool unnamed_files_enabled = true;
bool kernel_copy_enabled = true;

namespace {

// The one fault a test build plans: which call, which of them, and how
// many of them came so far.
struct PlannedFault {
  FaultCall call = FaultCall::read;
  long nth = 0;  // 0: none
  long seen = 0;
  bool happened = false;
};
PlannedFault planned_fault;

}  // namespace

void fail_once(FaultCall call, long nth) {
  planned_fault = {call, nth, 0, false};
}

bool fault_happened() { return planned_fault.happened; }

bool fault_now(FaultCall call) {
  PlannedFault& fault = planned_fault;
  if (fault.nth == 0 || fault.call != call || ++fault.seen != fault.nth)
    return false;
  fault.happened = true;
  errno = EIO;
  return true;
}
