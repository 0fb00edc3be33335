// Brenvik tests: cartridge images built from a short text description, so
// that every test says in a few lines what its image holds.
//
//   size 0xC00             image size; every byte starts as a pattern of
//                          its offset that is never 0x00 or 0xFF, but
//                          for the header fields that locate data, which
//                          start at 0, and the unit code (DS only)
//   arm9 0x200 0x100       arm9_rom_offset and arm9_size
//   sdk 0x40 0x04017531 [0x2100000]
//                          module parameters at that offset into the ARM9
//                          binary, with that SDK version (and compressed
//                          static end), plausible addresses and signature
//   footer 0x40            the ARM9 footer behind the ARM9 binary, pointing
//                          at its module parameters
//   arm7 0x400 0x120       arm7_rom_offset and arm7_size
//   fnt 0x600 0x40         fnt_offset and fnt_size
//   fat 0x680 0x18         fat_offset and fat_size
//   banner 0x700 [0x103]   banner_offset, and the banner's version (its
//                          size: 1 0x840, 2 0x940, 3 0xA40, 0x103 0x23C0)
//   used 0xA40             used_rom_size
//   field 0x34 0x2380000   any 32-bit header field
//   words 0x680 0x200 ...  32-bit words stored from an offset on
//   files 3 0x900 0x40     FAT entries at fat_offset for 3 files of 0x40
//                          bytes each, back to back from 0x900
//   fill 0xAC8 0xC00 0xFF  bytes [0xAC8, 0xC00) set to 0xFF
//   nocrc                  leave header_crc16 as it is (else it is sealed)
//
// Numbers are decimal or 0x-hex; '#' starts a comment.
#ifndef BRENVIK_TESTS_TEST_IMAGE_H_
#define BRENVIK_TESTS_TEST_IMAGE_H_

#include <cstdint>
#include <string>
#include <vector>

/// Builds the image `description` describes. False, with the reason in
/// `*error`, for a line it does not understand or one that reaches past
/// the image.
bool build_test_image(const std::string& description,
                      std::vector<uint8_t>* image, std::string* error);

/// The byte every image holds at `offset` until a line changes it.
uint8_t pattern_byte(uint64_t offset);

/// A small game with a FAT, a banner, a Download Play signature and 0xFF
/// fill, and a donor whose ARM7 binary (0x300 bytes at 0x800) differs from
/// the game's: the images of the end-to-end runs.
extern const char* const kSampleGame;
extern const char* const kSampleDonor;

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool read_bytes(const std::string& path, std::vector<uint8_t>* bytes);

#endif  // BRENVIK_TESTS_TEST_IMAGE_H_
