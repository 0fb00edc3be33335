// Brenvik: taking the replacement ARM7 binary from a donor image.
#ifndef BRENVIK_ROM_EXTRACT_ARM7_H_
#define BRENVIK_ROM_EXTRACT_ARM7_H_

#include <string>

/// Writes the ARM7 binary of the image at `donor_path` (`arm7_size` bytes
/// from `arm7_rom_offset`) to `arm7_file`, which takes that name only when
/// it is complete. Returns nullptr when it is there, or the
/// message that says what went wrong; then no file of that name was made.
const char* extract_arm7(const std::string& donor_path,
                         const std::string& arm7_file);

#endif  // BRENVIK_ROM_EXTRACT_ARM7_H_
