// Brenvik: the test variant of the platform's hooks (test_hooks.h), linked
// only into the test binaries and the benchmark.
#include "test_hooks.h"

#include <cerrno>

bool unnamed_files_enabled = true;
bool kernel_copy_enabled = true;
long long read_back_flip_at = -1;

bool medium_read_aligned(const void* buffer, unsigned long long offset,
                         unsigned long length) {
  // 4096 is the largest sector size a card or disk has.
  return reinterpret_cast<unsigned long long>(buffer) % 4096 == 0 &&
         offset % 4096 == 0 && length % 4096 == 0;
}

void flip_read_back(unsigned long long offset, unsigned char* data,
                    unsigned long length) {
  if (read_back_flip_at >= 0 &&
      (unsigned long long)read_back_flip_at >= offset &&
      (unsigned long long)read_back_flip_at - offset < length)
    data[read_back_flip_at - offset] ^= 0xFF;
}

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
