// Brenvik tests: the rebuild done the slow, literal way on whole buffers,
// as the oracle the streaming rebuild is compared with.
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
