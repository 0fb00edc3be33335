// Brenvik: taking the replacement ARM7 binary from a donor image.
#ifndef BRENVIK_ROM_EXTRACT_ARM7_H_
#define BRENVIK_ROM_EXTRACT_ARM7_H_

#include <cstdint>
#include <string>

#include "rom/messages.h"
#include "rom/replacement.h"

/// True when the file at `path` is a whole cartridge image rather than a
/// bare ARM7 binary: its header's CRC-16 holds and its ARM7 binary, not
/// empty, lies inside the file. Such a file is used as a donor, never as
/// the binary itself. Its addresses go to `*addresses` when given.
bool is_donor_image(const std::string& path,
                    Arm7Addresses* addresses = nullptr);

/// Reads the donor at `donor_path`: `*candidate` becomes a donor's, with
/// the size of its binary and its addresses. Fails with `donor_unreadable`
/// for a file that is no readable image, and `donor_arm7_empty` or
/// `donor_arm7_outside` for one without a usable binary.
Failure read_donor(const std::string& donor_path, Candidate* candidate);

/// True when the file at `arm7_file` holds exactly the ARM7 binary of the
/// donor at `donor_path`.
bool arm7_is_donors(const std::string& arm7_file,
                    const std::string& donor_path);

/// Writes the ARM7 binary of `donor` (`arm7_size` bytes from
/// `arm7_rom_offset`) to `arm7_file`, which takes that name only when it is
/// complete; `*replacement` becomes that file, a donor's. On a failure no
/// file of that name was made.
Failure extract_arm7(const Candidate& donor, const std::string& arm7_file,
                     Replacement* replacement);

/// Like `extract_arm7`, into a scratch file of this run (`open_scratch_file`)
/// that `*replacement` owns and is gone when closed; nothing is written
/// beside the tool. Fails with `scratch_unavailable` where no scratch file
/// can be made or written.
Failure extract_arm7_to_scratch(const Candidate& donor,
                                Replacement* replacement);

#endif  // BRENVIK_ROM_EXTRACT_ARM7_H_
