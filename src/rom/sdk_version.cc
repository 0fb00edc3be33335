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

bool from_sdk5_on(const SdkVersion& version) {
  return version.known && version.major() >= 5;
}

bool across_sdk5(const SdkVersion& donor, const SdkVersion& game) {
  return donor.known && game.known && from_sdk5_on(donor) != from_sdk5_on(game);
}

std::string sdk_long_text(const SdkVersion& version) {
  return formatted(message_sdk_long, version.major(), version.minor(),
                   unsigned(version.value));
}

std::string sdk_short_text(const SdkVersion& version) {
  if (!version.known) return message_no_sdk;
  return formatted(message_sdk_short, version.major(), version.minor());
}

std::string sdk_built_with_text(const SdkVersion& version) {
  return version.known ? named(message_built_with, sdk_long_text(version))
                       : std::string(message_no_sdk);
}
