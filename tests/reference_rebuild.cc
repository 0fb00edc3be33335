// Brenvik tests: the literal rebuild on whole buffers.
#include "reference_rebuild.h"

#include <algorithm>
#include <cstring>

#include "rom/cartridge_header.h"

namespace {

uint32_t u32(const std::vector<uint8_t>& bytes, uint64_t at) {
  return load_u32le(bytes.data() + at);
}

}  // namespace

// The header offsets are written out as the format has them, not taken
// from the tool.
std::vector<uint8_t> reference_rebuild(const std::vector<uint8_t>& input,
                                       const std::vector<uint8_t>& arm7,
                                       bool* download_play) {
  *download_play = false;
  std::vector<uint8_t> header(input.begin(), input.begin() + 0x200);
  const int64_t input_size = int64_t(input.size());
  const uint32_t old_used = u32(header, 0x80);
  const uint32_t arm7_rom_offset = u32(header, 0x30);
  const uint32_t fnt_offset = u32(header, 0x40);
  const uint32_t fat_offset = u32(header, 0x48);
  const uint32_t fat_size = u32(header, 0x4C);

  std::vector<uint8_t> out(input.begin(), input.begin() + arm7_rom_offset);
  store_u32le(header.data() + 0x3C, uint32_t(arm7.size()));
  out.insert(out.end(), arm7.begin(), arm7.end());

  const uint32_t new_fnt =
      uint32_t((arm7_rom_offset + arm7.size() + 15) / 16 * 16);
  const uint32_t block_len = fat_offset + fat_size - fnt_offset;
  const uint32_t fat_rel = fat_offset - fnt_offset;
  const int64_t shift = int64_t(new_fnt) - int64_t(fnt_offset);

  std::vector<uint8_t> block(block_len, 0);
  for (uint64_t i = 0; i < block_len; ++i)
    if (fnt_offset + i < input.size()) block[i] = input[fnt_offset + i];

  uint32_t banner = u32(header, 0x68);
  if (banner != 0) store_u32le(header.data() + 0x68, uint32_t(banner + shift));
  for (uint32_t w = 0; w < fat_size / 4; ++w) {
    uint32_t word = u32(block, fat_rel + 4 * w);
    if (word > fat_offset)
      store_u32le(block.data() + fat_rel + 4 * w, uint32_t(word + shift));
  }
  store_u32le(header.data() + 0x40, new_fnt);
  store_u32le(header.data() + 0x48, new_fnt + fat_rel);

  out.resize(new_fnt, 0);
  out.insert(out.end(), block.begin(), block.end());

  const int64_t p = int64_t(fat_offset) + fat_size;
  int64_t window = int64_t(old_used) + 0x4000 - p;
  if (window > input_size - p) window = input_size - p;
  int64_t at = p;
  // The chunk buffer is 0xFF past what was read; rounding reaches at most 3
  // bytes past the chunk, so a buffer that much longer behaves as the full
  // 10 MiB one would.
  std::vector<uint8_t> buffer(
      size_t(std::min<int64_t>(std::max<int64_t>(window, 0), 0xA00000)) + 3);
  while (window > 0) {
    int64_t chunk = window >= 0xA00000 ? 0xA00000 : window;
    std::memset(buffer.data(), 0xFF, buffer.size());
    std::memcpy(buffer.data(), input.data() + at, size_t(chunk));
    at += chunk;
    if (window <= 0xA00000) {
      uint8_t pad = buffer[size_t(chunk - 1)] == 0 ? 0x00 : 0xFF;
      int64_t last = chunk - 1;
      while (last >= 0 && buffer[size_t(last)] == pad) --last;
      if (last >= 0) {
        *download_play = true;
        chunk = (last + 1 + 3) / 4 * 4;
        window = chunk;
      }
    }
    out.insert(out.end(), buffer.begin(), buffer.begin() + chunk);
    window -= chunk;
  }

  store_u32le(header.data() + 0x80, uint32_t(old_used + shift));
  CartridgeHeader sealed;
  std::memcpy(sealed.bytes, header.data(), 0x200);
  build_crc16_table();
  seal_header(sealed);
  std::memcpy(out.data(), sealed.bytes, 0x200);
  return out;
}
