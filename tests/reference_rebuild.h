// Brenvik tests: the rebuild done the slow, literal way on whole buffers,
// as the oracle the streaming rebuild is compared with on images laid out
// like a cartridge dump: every part of the game inside the used area, a
// Download Play signature or fill behind it, no DSi area. On those the
// rebuild moves only what this literal rebuild moves.
#ifndef BRENVIK_TESTS_REFERENCE_REBUILD_H_
#define BRENVIK_TESTS_REFERENCE_REBUILD_H_

#include <cstdint>
#include <vector>

/// The image the rebuild must write for `input` and the replacement
/// `arm7`, assuming the image is one the rebuild accepts. `*download_play`
/// tells whether the final chunk was trimmed.
std::vector<uint8_t> reference_rebuild(const std::vector<uint8_t>& input,
                                       const std::vector<uint8_t>& arm7,
                                       bool* download_play);

#endif  // BRENVIK_TESTS_REFERENCE_REBUILD_H_
