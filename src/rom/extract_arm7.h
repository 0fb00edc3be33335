// Brenvik: taking the replacement ARM7 binary out of a donor image.
#ifndef BRENVIK_ROM_EXTRACT_ARM7_H_
#define BRENVIK_ROM_EXTRACT_ARM7_H_

#include <string>

#include "rom/messages.h"
#include "rom/replacement.h"
#include "rom/run_context.h"

/// True when the file at `arm7_file` holds exactly the ARM7 binary of the
/// donor at `donor_path`.
bool arm7_is_donors(const std::string& arm7_file,
                    const std::string& donor_path);

/// Writes the ARM7 binary of the donor `*donor` describes (`arm7_size`
/// bytes from `arm7_rom_offset`) to `arm7_file`, which takes that name only
/// when it is complete, on the disk and, with `read_back`, read back from
/// it as written; the replacement's binary is then that file, named as it.
/// On a failure no file of that name was made.
Failure extract_arm7(const std::string& arm7_file, Replacement* donor,
                     bool read_back = true);

/// Like `extract_arm7`, into a scratch file of this run (`open_scratch_file`)
/// that `*donor` owns and is gone when closed; nothing is written beside
/// the tool. Fails with `scratch_unavailable` where no scratch file can be
/// made or written.
Failure extract_arm7_to_scratch(Replacement* donor);

/// Takes the binary of the donor `*donor` describes as a run in `mode`
/// does: fixing, into `arm7_file` (`extract_arm7`, reading it back where
/// `read_back`) or, where that is empty, a scratch file; verifying, where
/// it lies in the donor (`take_in_place`); checking, not at all.
Failure take_donor_binary(const std::string& arm7_file, RunMode mode,
                          bool read_back, Replacement* donor);

#endif  // BRENVIK_ROM_EXTRACT_ARM7_H_
