// Brenvik tests: an oracle that judges a rebuilt image by what it means,
// from the cartridge header layout alone. It shares no constant or rule
// with the tool, so a wrong offset or a wrong rule in the tool shows here.
#ifndef BRENVIK_TESTS_IMAGE_MEANING_H_
#define BRENVIK_TESTS_IMAGE_MEANING_H_

#include <cstdint>
#include <string>
#include <vector>

/// What the rebuild of `input` around `arm7` into `output` lost, one line a
/// loss; empty when nothing was. Every region the input header names that
/// lies wholly inside the input (ARM9 binary, overlay tables, FNT, banner,
/// debug ROM, and on DSi images the DSi binaries, digest tables, the DSi
/// part the digests cover and the modcrypt areas), every file its FAT
/// names and its Download Play
/// signature must be found, byte for byte, where the output header names
/// them; the new binary must stand where the output header says; the
/// output must reach its used size and DSi total size wherever the input
/// did; and its header CRC-16 must hold.
std::string meaning_lost(const std::vector<uint8_t>& input,
                         const std::vector<uint8_t>& arm7,
                         const std::vector<uint8_t>& output);

#endif  // BRENVIK_TESTS_IMAGE_MEANING_H_
