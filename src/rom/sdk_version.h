// Brenvik: the SDK version a game was built with, read from the module
// parameters in its ARM9 binary.
#ifndef BRENVIK_ROM_SDK_VERSION_H_
#define BRENVIK_ROM_SDK_VERSION_H_

#include <cstdint>
#include <cstdio>
#include <string>

/// The version of the official SDK an image was built with:
/// `major << 24 | minor << 16 | relstep`. Not known for homebrew built
/// with other toolchains, for images without module parameters, and for
/// anything that only looks like them.
struct SdkVersion {
  bool known = false;
  uint32_t value = 0;
  unsigned major() const { return value >> 24; }
  unsigned minor() const { return (value >> 16) & 0xFF; }
};

/// Module parameters: nine little-endian words, the version the seventh,
/// the two signature words the last.
constexpr uint32_t kModuleParamsSize = 36;

/// The version in the 36 bytes of module parameters at `words`, where they
/// are real ones: the two signature words at their end, the autoload and
/// BSS addresses word-aligned in main memory and in order, a major version
/// from 1 to 5. Anything else is no version.
SdkVersion sdk_version_of_params(const uint8_t* words);

/// The SDK version of the image open as `image`, of `image_size` bytes,
/// whose ARM9 binary is `arm9_size` bytes at `arm9_offset`: from the
/// parameters the ARM9 footer behind the binary points at, or else the
/// first real parameters found at a 4-byte step of the binary. Reads in
/// small pieces; no version where nothing real is found or read.
SdkVersion read_sdk_version(std::FILE* image, uint64_t image_size,
                            uint32_t arm9_offset, uint32_t arm9_size);

/// True for SDK 5.0 and later, whose games keep the system's shared data
/// at the top of main memory at 0x02FFFxxx, not 0x027FFxxx as before.
bool from_sdk5_on(const SdkVersion& version);

/// True where a binary of `donor`'s version in a game of `game`'s reads the
/// system's shared data at the wrong place: both known, on either side of
/// SDK 5.
bool across_sdk5(const SdkVersion& donor, const SdkVersion& game);

/// "SDK 4.1 (0x04010000)", as the messages show a known version.
std::string sdk_long_text(const SdkVersion& version);
/// "SDK 4.1", as the messages name one in passing, or "no SDK version".
std::string sdk_short_text(const SdkVersion& version);
/// "built with SDK 4.1 (0x04010000)", or "no SDK version": a game or a
/// replacement described.
std::string sdk_built_with_text(const SdkVersion& version);

#endif  // BRENVIK_ROM_SDK_VERSION_H_
