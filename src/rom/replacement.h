// Brenvik: the replacement ARM7 binary a game is rebuilt with, as one
// value: what the file the user offered is, and the binary taken from it.
#ifndef BRENVIK_ROM_REPLACEMENT_H_
#define BRENVIK_ROM_REPLACEMENT_H_

#include <cstdint>
#include <string>

#include "rom/donor_image.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/sdk_version.h"

/// The names of the files beside the console tool, which messages use for
/// a replacement and a donor of no other name.
inline constexpr char kArm7Name[] = "arm7.bin";
inline constexpr char kDonorName[] = "donor.nds";
/// The folder beside the tool whose images are donors when there is
/// neither arm7.bin nor donor.nds.
inline constexpr char kDonorsFolderName[] = "donors";

/// How a file is offered as the replacement: as the binary itself (arm7.bin,
/// --arm7), as a donor to take it from (donor.nds, --donor, --donors), or
/// as either, whichever it is (the page's pick).
enum class Offered { as_binary, as_donor, as_either };

/// The replacement: the file it comes from, described, and once taken the
/// binary to read (a file, or a scratch file this owns and closes). Each
/// rebuild opens the binary anew and takes its size from the open file, so
/// a binary that cannot be read is said per game.
struct Replacement {
  /// The file offered, as the user gave or picked it.
  std::string path;
  std::string source_name;
  /// A whole image whose ARM7 binary is the replacement; else the file is
  /// the binary itself.
  bool donor_image = false;

  /// What messages about the binary call it.
  std::string name = kArm7Name;
  /// A donor's binary, built for the donor's addresses and SDK version,
  /// which each game is compared with.
  bool from_donor = false;
  Arm7Addresses donor = {};
  SdkVersion sdk;
  /// The binary's size: the file's, or the donor's binary's; not known for
  /// a file that could not be read. Only --check, which opens nothing,
  /// plans with it.
  bool size_known = false;
  uint64_t size = 0;

  /// Where the donor's binary lies in its image.
  uint64_t donor_arm7_offset = 0;

  /// Where the binary is read from, once taken: a file of its own, a
  /// scratch file, or the donor image itself (`in_place`, from
  /// `donor_arm7_offset` on), which --verify reads without copying it.
  std::string binary_path;
  FilePtr scratch{nullptr, std::fclose};
  bool in_place = false;
};

/// The binary at `path`, named `name` in messages, from no donor; its size
/// not known.
Replacement replacement_at(const std::string& path, const std::string& name);

/// Describes the file at `path`, named `name`, offered as `offered`, as a
/// bare binary (taken as it is) or a donor (its binary not taken yet), with
/// the size, addresses and version it gives. A whole image is told from a
/// binary by its header's CRC-16 only where the kind is guessed. Fails with
/// `arm7_unreadable` for a binary that cannot be read (still described, its
/// size not known), `whole_image_as_binary` for a whole image offered as
/// the binary, and the donor failures for a donor without a usable binary.
/// Opens and reads; writes nothing.
Failure look_at_replacement(const std::string& path, const std::string& name,
                            Offered offered, Replacement* replacement);

/// True once the binary can be opened: a bare binary, or a donor's
/// extracted or read in place.
bool replacement_taken(const Replacement& replacement);

/// Where no version is known, reads the side of SDK 5 the binary at
/// `binary_path`, a file of its own, tells (`read_arm7_side`).
void read_binary_side(Replacement* replacement);

/// Takes a donor's binary where it lies, in its image, writing nothing.
void take_in_place(Replacement* donor);

/// The replacement's binary opened for one rebuild: the file, positioned
/// anywhere, where in it the binary starts, and its size. Closing it
/// leaves a scratch file open. False when it cannot be read or is not
/// taken.
struct OpenedBinary {
  FilePtr file{nullptr, std::fclose};
  uint64_t offset = 0;
  uint64_t size = 0;
};
bool open_replacement(const Replacement& replacement, OpenedBinary* binary);

/// What the messages call the replacement's source: "arm7.bin", or "the
/// arm7 binary of donor.nds".
std::string replacement_source_text(const Replacement& replacement);

#endif  // BRENVIK_ROM_REPLACEMENT_H_
