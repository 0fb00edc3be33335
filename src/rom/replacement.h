// Brenvik: the replacement ARM7 binary a run rebuilds every game with, and
// the one step that settles it from the file the user offers.
#ifndef BRENVIK_ROM_REPLACEMENT_H_
#define BRENVIK_ROM_REPLACEMENT_H_

#include <cstdint>
#include <string>

#include "rom/files.h"
#include "rom/messages.h"

/// The names of the files beside the console tool, which messages use for
/// a replacement and a donor of no other name.
inline constexpr char kArm7Name[] = "arm7.bin";
inline constexpr char kDonorName[] = "donor.nds";

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
  /// What messages call it: the file as the user gave or picked it.
  std::string name = kArm7Name;
  FilePtr scratch{nullptr, std::fclose};
  /// A donor's binary is built for the donor's addresses, which each game
  /// is compared with.
  bool from_donor = false;
  Arm7Addresses donor = {};
  /// The binary's size as found when it was settled; only --check, which
  /// opens nothing, plans with it. Not known for a file that could not be
  /// read then.
  bool size_known = false;
  uint64_t size = 0;
};

/// The binary at `path`, named `name` in messages, from no donor; its size
/// not known.
Replacement replacement_at(const std::string& path, const std::string& name);

/// The replacement opened for one rebuild, positioned anywhere; closing it
/// leaves a scratch file open. Null when it cannot be read.
FilePtr open_replacement(const Replacement& replacement);

/// How a file is offered as the replacement: as the binary itself (arm7.bin,
/// --arm7), as a donor to take it from (donor.nds, --donor), or as either,
/// whichever it is (the page's pick).
enum class Offered { as_binary, as_donor, as_either };

/// What a file offered as the replacement turned out to be.
struct Candidate {
  std::string path;
  std::string name;  // as the user gave or picked it
  /// A whole image whose ARM7 binary is the replacement; else the file is
  /// the binary itself.
  bool donor = false;
  /// The binary's size: the file's, or the donor's binary's; not known for
  /// a binary that cannot be read.
  bool size_known = false;
  uint64_t size = 0;
  Arm7Addresses addresses = {};  // a donor's
};

/// Sorts the file at `path`, named `name`, offered as `offered`, into a
/// bare binary or a donor, with its size. Fails with `arm7_unreadable` for
/// a binary that cannot be read (the candidate is still filled in, its size
/// not known), `whole_image_as_binary` for a whole image offered as the
/// binary, and the donor failures for a donor without a usable binary.
/// Opens and reads; writes nothing.
Failure look_at_replacement(const std::string& path, const std::string& name,
                            Offered offered, Candidate* candidate);

/// The replacement `candidate` gives as it is, nothing extracted: a binary
/// at its path; a donor's binary planned with its size and addresses, for
/// --check, with no file to open.
Replacement replacement_of(const Candidate& candidate);

#endif  // BRENVIK_ROM_REPLACEMENT_H_
