// Brenvik: the SDK version a game was built with, read from the module
// parameters in its ARM9 binary.
#ifndef BRENVIK_ROM_SDK_VERSION_H_
#define BRENVIK_ROM_SDK_VERSION_H_

#include <cstdint>
#include <cstdio>
#include <string>

/// Which side of SDK 5 an ARM7 binary was built on, as its start code and
/// autoload table tell, without any version.
enum class Sdk5Side { unknown, before, from_sdk5 };

/// The version of the official SDK an image was built with:
/// `major << 24 | minor << 16 | relstep`. Not known for homebrew built
/// with other toolchains, for images without module parameters, and for
/// anything that only looks like them. Where no version is known, `side`
/// may still say which side of SDK 5 its ARM7 binary lies on; a known
/// version always goes before it.
struct SdkVersion {
  bool known = false;
  uint32_t value = 0;
  Sdk5Side side = Sdk5Side::unknown;
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

/// The side of SDK 5 of the ARM7 binary of `arm7_size` bytes at
/// `arm7_offset` in `file`, of `file_size` bytes, from two small reads:
/// its first 0x800 bytes, where the SDK's start code holds its relocation
/// word (0x027FFFFA before SDK 5; 0x02FFFFFA, or the marker 0x3381C0DE,
/// from SDK 5 on), and its last 0x80, where its autoload table holds its
/// destinations (0x027C0000 or 0x027E0000 before; 0x02FE0000 from SDK 5
/// on), each at 4-byte steps from the binary's start. Known where words
/// of one side are found and none of the other's; unknown for a binary
/// that cannot be read as far as its windows reach.
Sdk5Side read_arm7_side(std::FILE* file, uint64_t file_size,
                        uint64_t arm7_offset, uint64_t arm7_size);

/// The side of SDK 5 `version` lies on: its version's where known, else
/// its ARM7 binary's.
Sdk5Side sdk5_side(const SdkVersion& version);

/// True for SDK 5.0 and later (or a binary of that side), whose games keep
/// the system's shared data at the top of main memory at 0x02FFFxxx, not
/// 0x027FFxxx as before.
bool from_sdk5_on(const SdkVersion& version);

/// True where a binary of `donor`'s version in a game of `game`'s reads the
/// system's shared data at the wrong place: both sides known, and apart.
bool across_sdk5(const SdkVersion& donor, const SdkVersion& game);

/// "SDK 4.1 (0x04010000)", as the messages show a known version.
std::string sdk_long_text(const SdkVersion& version);
/// "SDK 4.1", "before SDK 5", "SDK 5 or later", as the messages name one
/// in passing, or "no SDK version".
std::string sdk_short_text(const SdkVersion& version);
/// What a binary or game was built with, in a sentence: "SDK 4.1", "an SDK
/// before 5", "SDK 5 or later".
std::string sdk_as_built_text(const SdkVersion& version);
/// "built with SDK 4.1 (0x04010000)", "built with an SDK before 5", or
/// "no SDK version": a game or a replacement described.
std::string sdk_built_with_text(const SdkVersion& version);

#endif  // BRENVIK_ROM_SDK_VERSION_H_
