// Brenvik: reading the SDK version from an image's ARM9 module parameters.
#include "rom/sdk_version.h"

#include <algorithm>
#include <memory>
#include <new>

#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "rom/status.h"

namespace {

constexpr uint32_t kSignatureFirst = 0xDEC00621;
constexpr uint32_t kSignatureSecond = 0x2106C0DE;
constexpr uint32_t kFooterSize = 12;
// The windows of an ARM7 binary that tell its side of SDK 5: its start
// code, and its autoload table at its end.
constexpr size_t kArm7HeadWindow = 0x800;
constexpr size_t kArm7TailWindow = 0x80;
// The scan reads the binary in pieces of this size, each overlapping the
// one before by enough to hold a set of parameters that straddles them.
constexpr size_t kScanPiece = 64 * 1024;

// An address the autoload and BSS words can hold: word-aligned, in main
// memory or the shared work RAM below it.
bool plausible_address(uint32_t address) {
  return address % 4 == 0 && address >= 0x01FF8000 && address < 0x03000000;
}

}  // namespace

SdkVersion sdk_version_of_params(const uint8_t* words) {
  uint32_t word[9];
  for (int i = 0; i < 9; ++i) word[i] = load_u32le(words + 4 * i);
  SdkVersion version;
  if (word[7] != kSignatureFirst || word[8] != kSignatureSecond)
    return version;
  for (int i = 0; i < 5; ++i)
    if (!plausible_address(word[i])) return version;
  const unsigned major = word[6] >> 24;
  // The autoload data lies in front of its list; the BSS is not reversed.
  if (!(word[2] <= word[0] && word[0] <= word[1]) || word[3] > word[4] ||
      major < 1 || major > 5)
    return version;
  version.known = true;
  version.value = word[6];
  return version;
}

SdkVersion read_sdk_version(std::FILE* image, uint64_t image_size,
                            uint32_t arm9_offset, uint32_t arm9_size) {
  // Only what lies in the file can be read.
  const uint64_t arm9_end =
      std::min<uint64_t>(uint64_t(arm9_offset) + arm9_size, image_size);
  if (arm9_end <= arm9_offset || arm9_end - arm9_offset < kModuleParamsSize)
    return SdkVersion();
  const uint64_t readable = arm9_end - arm9_offset;

  uint8_t footer[kFooterSize], params[kModuleParamsSize];
  if (uint64_t(arm9_offset) + arm9_size + kFooterSize <= image_size &&
      read_exact(image, uint64_t(arm9_offset) + arm9_size, footer,
                 kFooterSize) == io_ok &&
      load_u32le(footer) == kSignatureFirst) {
    const uint32_t at = load_u32le(footer + 4);
    if (uint64_t(at) + kModuleParamsSize <= readable &&
        read_exact(image, uint64_t(arm9_offset) + at, params,
                   kModuleParamsSize) == io_ok) {
      const SdkVersion version = sdk_version_of_params(params);
      if (version.known) return version;
    }
  }

  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kScanPiece]);
  if (!piece) return SdkVersion();
  const uint64_t step = kScanPiece - (kModuleParamsSize - 4);
  for (uint64_t start = 0; start + kModuleParamsSize <= readable;
       start += step) {
    const size_t length = size_t(std::min<uint64_t>(kScanPiece, readable - start));
    if (read_exact(image, arm9_offset + start, piece.get(), length) != io_ok)
      return SdkVersion();
    for (size_t at = 0; at + kModuleParamsSize <= length; at += 4) {
      if (load_u32le(piece.get() + at + 28) != kSignatureFirst) continue;
      const SdkVersion version = sdk_version_of_params(piece.get() + at);
      if (version.known) return version;
    }
    if (length < kScanPiece) break;
  }
  return SdkVersion();
}

Sdk5Side read_arm7_side(std::FILE* file, uint64_t file_size,
                        uint64_t arm7_offset, uint64_t arm7_size) {
  struct Window {
    uint64_t start;  // from the binary's start, a multiple of 4
    uint64_t length;
    uint32_t before[2];
    uint32_t from_sdk5[2];
  };
  const uint64_t tail_start =
      arm7_size > kArm7TailWindow ? (arm7_size - kArm7TailWindow) / 4 * 4 : 0;
  const Window windows[] = {
      {0, std::min<uint64_t>(arm7_size, kArm7HeadWindow),
       {0x027FFFFA, 0x027FFFFA}, {0x02FFFFFA, 0x3381C0DE}},
      {tail_start, arm7_size - tail_start,
       {0x027C0000, 0x027E0000}, {0x02FE0000, 0x02FE0000}},
  };
  bool before = false, from_sdk5 = false;
  uint8_t bytes[kArm7HeadWindow];
  for (const Window& w : windows) {
    if (!file || arm7_offset + w.start + w.length > file_size ||
        read_exact(file, arm7_offset + w.start, bytes, size_t(w.length)) !=
            io_ok)
      return Sdk5Side::unknown;
    for (size_t at = 0; at + 4 <= w.length; at += 4) {
      const uint32_t word = load_u32le(bytes + at);
      before = before || word == w.before[0] || word == w.before[1];
      from_sdk5 = from_sdk5 || word == w.from_sdk5[0] || word == w.from_sdk5[1];
    }
  }
  if (before == from_sdk5) return Sdk5Side::unknown;
  return before ? Sdk5Side::before : Sdk5Side::from_sdk5;
}

Sdk5Side sdk5_side(const SdkVersion& version) {
  if (!version.known) return version.side;
  return version.major() >= 5 ? Sdk5Side::from_sdk5 : Sdk5Side::before;
}

bool from_sdk5_on(const SdkVersion& version) {
  return sdk5_side(version) == Sdk5Side::from_sdk5;
}

bool across_sdk5(const SdkVersion& donor, const SdkVersion& game) {
  const Sdk5Side a = sdk5_side(donor), b = sdk5_side(game);
  return a != Sdk5Side::unknown && b != Sdk5Side::unknown && a != b;
}

std::string sdk_long_text(const SdkVersion& version) {
  return formatted(message_sdk_long, version.major(), version.minor(),
                   unsigned(version.value));
}

std::string sdk_short_text(const SdkVersion& version) {
  if (version.known)
    return formatted(message_sdk_short, version.major(), version.minor());
  switch (version.side) {
    case Sdk5Side::before: return message_side_before_short;
    case Sdk5Side::from_sdk5: return message_side_from_sdk5;
    case Sdk5Side::unknown: break;
  }
  return message_no_sdk;
}

std::string sdk_as_built_text(const SdkVersion& version) {
  if (!version.known && version.side == Sdk5Side::before)
    return message_side_before;
  return sdk_short_text(version);
}

std::string sdk_built_with_text(const SdkVersion& version) {
  if (version.known) return named(message_built_with, sdk_long_text(version));
  if (version.side == Sdk5Side::unknown) return message_no_sdk;
  return named(message_built_with, sdk_as_built_text(version));
}
