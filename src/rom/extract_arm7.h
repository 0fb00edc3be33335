// Brenvik: taking the replacement ARM7 binary from a donor image.
#ifndef BRENVIK_ROM_EXTRACT_ARM7_H_
#define BRENVIK_ROM_EXTRACT_ARM7_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "rom/cartridge_header.h"

/// The load and entry addresses of a donor's ARM7 binary, which the
/// binary is built for.
struct Arm7Addresses {
  uint32_t entry;  // header 0x34
  uint32_t ram;    // header 0x38
};

/// True when the file at `path` is a whole cartridge image rather than a
/// bare ARM7 binary: its header's CRC-16 holds and its ARM7 binary, not
/// empty, lies inside the file. Such a file is used as a donor, never as
/// the binary itself. Its addresses go to `*addresses` when given.
bool is_donor_image(const std::string& path, Arm7Addresses* addresses = nullptr);

/// The ARM7 addresses in the header of the image at `image_path`; false
/// when it cannot be read.
bool read_arm7_addresses(const std::string& image_path, Arm7Addresses* addresses);

/// The size of the donor's ARM7 binary, or the message that says why the
/// donor has none to give (the same checks as `extract_arm7`).
const char* donor_arm7_size(const std::string& donor_path, uint64_t* size);

/// True when the file at `arm7_file` holds exactly the ARM7 binary of the
/// donor at `donor_path`.
bool arm7_is_donors(const std::string& arm7_file, const std::string& donor_path);

/// Writes the ARM7 binary of the image at `donor_path` (`arm7_size` bytes
/// from `arm7_rom_offset`) to `arm7_file`, which takes that name only when
/// it is complete. Returns nullptr when it is there, or the
/// message that says what went wrong; then no file of that name was made.
const char* extract_arm7(const std::string& donor_path,
                         const std::string& arm7_file);

/// Like `extract_arm7`, into a scratch file of this run (`open_scratch_file`)
/// that is left open at `*scratch`, positioned anywhere, and is gone when
/// closed; nothing is written beside the tool.
const char* extract_arm7_to_scratch(const std::string& donor_path,
                                    std::FILE** scratch);

#endif  // BRENVIK_ROM_EXTRACT_ARM7_H_
