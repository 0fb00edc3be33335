// Brenvik: the replacement ARM7 binary a run rebuilds every game with.
#ifndef BRENVIK_ROM_REPLACEMENT_H_
#define BRENVIK_ROM_REPLACEMENT_H_

#include <cstdint>
#include <string>

#include "rom/files.h"

/// The load and entry addresses of a donor's ARM7 binary, which the
/// binary is built for.
struct Arm7Addresses {
  uint32_t entry;  // header 0x34
  uint32_t ram;    // header 0x38
};

/// The replacement binary: the file at `path`, or a scratch file that this
/// owns and closes (a donor's binary taken for one run). Each rebuild opens
/// it anew and takes its size from the open file, so a binary that cannot
/// be read is said per game.
struct Replacement {
  std::string path;
  FilePtr scratch{nullptr, std::fclose};
  /// A donor's binary is built for the donor's addresses, which each game
  /// is compared with.
  bool from_donor = false;
  Arm7Addresses donor = {0, 0};
  /// The binary's size as found when it was settled; only --check, which
  /// opens nothing, plans with it.
  uint64_t size = 0;
};

/// The binary at `path`, from no donor.
Replacement replacement_at(const std::string& path);

/// The replacement opened for one rebuild, positioned anywhere; closing it
/// leaves a scratch file open. Null when it cannot be read.
FilePtr open_replacement(const Replacement& replacement);

#endif  // BRENVIK_ROM_REPLACEMENT_H_
