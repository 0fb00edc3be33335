// Brenvik: the hooks through which the test builds reach into the platform:
// a call made to fail once, and switches that take a way of writing out of
// play. In the shipped tool they are constants and no-ops the compiler
// removes; only a build with BRENVIK_TEST_HOOKS (the platform's test
// variant, test_hooks.cc) has them for real.
#ifndef BRENVIK_PLATFORM_TEST_HOOKS_H_
#define BRENVIK_PLATFORM_TEST_HOOKS_H_

/// The file calls a test build of the tool can make fail, each once.
enum class FaultCall { read, write, flush, rename };

#if BRENVIK_TEST_HOOKS

/// Makes the `nth` call (counting from 1) of `call` fail, once; every other
/// call goes through.
void fail_once(FaultCall call, long nth);

/// True once the fault `fail_once` planned has happened.
bool fault_happened();

/// True when this call of `call` is the one to fail: the platform files ask
/// it before each read, write, rename, link, flush and copy in the kernel.
bool fault_now(FaultCall call);

/// When false, `begin_new_file` takes the named temporary file even where
/// the system offers a file without a name.
extern bool unnamed_files_enabled;

/// When false, `copy_in_kernel` copies nothing, so every byte moves
/// through the caller's buffer (the benchmark's plain copy, the tests).
extern bool kernel_copy_enabled;

/// Where a read from the medium (`read_medium`) is to see its byte
/// changed, as a card that did not keep it; -1: nowhere.
extern long long read_back_flip_at;

/// Checks that a read past the cache is aligned as Windows asks of one
/// with FILE_FLAG_NO_BUFFERING (Wine does not ask): fails the read where
/// it is not.
bool medium_read_aligned(const void* buffer, unsigned long long offset,
                         unsigned long length);

/// Changes the byte at `read_back_flip_at` where the `length` bytes at
/// `data`, read from the medium at `offset`, hold it.
void flip_read_back(unsigned long long offset, unsigned char* data,
                    unsigned long length);

#else

// Inlined even unoptimised, so that no copy of it is left in the tool.
__attribute__((always_inline)) inline bool fault_now(FaultCall) {
  return false;
}
inline constexpr bool unnamed_files_enabled = true;
inline constexpr bool kernel_copy_enabled = true;
inline constexpr long long read_back_flip_at = -1;
__attribute__((always_inline)) inline bool medium_read_aligned(
    const void*, unsigned long long, unsigned long) {
  return true;
}
__attribute__((always_inline)) inline void flip_read_back(unsigned long long,
                                                          unsigned char*,
                                                          unsigned long) {}

#endif

#endif  // BRENVIK_PLATFORM_TEST_HOOKS_H_
