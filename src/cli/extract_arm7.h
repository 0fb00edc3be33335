// Brenvik: taking the replacement ARM7 binary from a donor image.
#ifndef BRENVIK_CLI_EXTRACT_ARM7_H_
#define BRENVIK_CLI_EXTRACT_ARM7_H_

#include <string>

/// Writes the ARM7 binary of the image at `donor_path` (`arm7_size` bytes
/// from `arm7_rom_offset`) to `arm7_file`, which takes that name only when
/// it is complete. Returns nullptr when it is there, or the
/// message that says what went wrong; then no file of that name was made.
const char* extract_arm7(const std::string& donor_path,
                         const std::string& arm7_file);

constexpr const char* message_donor_unreadable =
    "The donor.nds could not be read!\n\n";
constexpr const char* message_donor_arm7_outside =
    "The donor's arm7 binary lies outside donor.nds!\n\n";
constexpr const char* message_donor_arm7_empty =
    "The donor's arm7 binary is empty!\n\n";
constexpr const char* message_arm7_not_written =
    "The arm7.bin could not be written!\n\n";

#endif  // BRENVIK_CLI_EXTRACT_ARM7_H_
