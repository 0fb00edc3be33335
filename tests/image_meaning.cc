// Brenvik tests: the oracle that judges a rebuilt image by what it means.
#include "image_meaning.h"

#include <algorithm>
#include <cstdio>

namespace {

using Bytes = std::vector<uint8_t>;

uint64_t u32(const Bytes& b, uint64_t at) {
  if (at + 4 > b.size()) return 0;
  return uint64_t(b[at]) | uint64_t(b[at + 1]) << 8 |
         uint64_t(b[at + 2]) << 16 | uint64_t(b[at + 3]) << 24;
}

uint16_t u16(const Bytes& b, uint64_t at) {
  return at + 2 > b.size() ? 0 : uint16_t(b[at] | b[at + 1] << 8);
}

// CRC-16/MODBUS, bit by bit.
uint16_t crc16_modbus(const uint8_t* data, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%#llx", (unsigned long long)value);
  return text;
}

// Input bytes the rebuild rewrites by design: the header, and the FAT.
struct Rewritten {
  uint64_t header_end;
  uint64_t fat_start, fat_end;
  bool overlaps(uint64_t start, uint64_t end) const {
    return start < header_end || (start < fat_end && fat_start < end);
  }
};

// The `size` bytes at `from` of `source`, where the source has them whole,
// must stand at `to` in `out`. A region that takes in bytes the rebuild
// rewrites is past judging.
std::string find(const std::string& what, const Bytes& source, uint64_t from,
                 const Bytes& out, uint64_t to, uint64_t size,
                 const Rewritten& rewritten = {0, 0, 0}) {
  if (size == 0 || from + size > source.size() ||
      rewritten.overlaps(from, from + size))
    return "";
  if (to + size <= out.size() &&
      std::equal(source.begin() + from, source.begin() + from + size,
                 out.begin() + to))
    return "";
  return what + " (" + hex(size) + " bytes at " + hex(from) + ") is not at " +
         hex(to) + "\n";
}

struct NamedRegion {
  const char* name;
  uint32_t offset_field;
  uint32_t size_field;
  int needs;  // 0: any image; 1: a DSi image; 2: and an extended header
};

constexpr NamedRegion kRegions[] = {
    {"arm9 binary", 0x20, 0x2C, 0},
    {"file name table", 0x40, 0x44, 0},
    {"arm9 overlay table", 0x50, 0x54, 0},
    {"arm7 overlay table", 0x58, 0x5C, 0},
    {"debug rom", 0x160, 0x164, 0},
    {"DSi arm9 binary", 0x1C0, 0x1CC, 1},
    {"DSi arm7 binary", 0x1D0, 0x1DC, 1},
    {"digest sector table", 0x1F0, 0x1F4, 1},
    {"digest block table", 0x1F8, 0x1FC, 1},
    {"modcrypt area 1", 0x220, 0x224, 2},
    {"modcrypt area 2", 0x228, 0x22C, 2},
};

uint64_t banner_size(uint16_t version) {
  if (version == 2) return 0x940;
  if (version == 3) return 0xA40;
  if (version == 0x103) return 0x23C0;
  return 0x840;
}

}  // namespace

std::string meaning_lost(const Bytes& in, const Bytes& arm7, const Bytes& out) {
  if (in.size() < 0x200 || out.size() < 0x200) return "no header\n";
  std::string lost;
  if (u16(out, 0x15E) != crc16_modbus(out.data(), 0x15E))
    lost += "the header CRC-16 does not hold\n";
  if (u32(out, 0x30) != u32(in, 0x30) || u32(out, 0x3C) != arm7.size())
    lost += "the arm7 binary's fields are wrong\n";
  lost +=
      find("the new arm7 binary", arm7, 0, out, u32(out, 0x30), arm7.size());

  const bool dsi = (in[0x12] & 2) != 0;
  const bool extended = u32(in, 0x84) >= 0x1000 && u32(in, 0x30) >= 0x230;
  const int level = dsi ? (extended ? 2 : 1) : 0;
  const uint64_t fat_in = u32(in, 0x48), fat_out = u32(out, 0x48);
  const uint64_t fat_size = u32(in, 0x4C);
  const Rewritten rewritten = {extended ? 0x230u : 0x200u, fat_in,
                               fat_in + fat_size};
  for (const NamedRegion& r : kRegions)
    if (r.needs <= level)
      lost += find(r.name, in, u32(in, r.offset_field), out,
                   u32(out, r.offset_field), u32(in, r.size_field), rewritten);
  // The stretch of the DSi part its digests cover is no region of its own,
  // but where it lies among the DSi binaries it describes them, and must
  // still describe the same bytes. DSi binaries lie behind the DS part's
  // file tables, in the file; elsewhere they describe no DSi part.
  const uint64_t covered = u32(in, 0x1E8), covered_size = u32(in, 0x1EC);
  const uint64_t arm9i = u32(in, 0x1C0), arm9i_size = u32(in, 0x1CC);
  const uint64_t arm7i = u32(in, 0x1D0), arm7i_size = u32(in, 0x1DC);
  const uint64_t fnt = u32(in, 0x40);
  if (dsi && arm9i_size != 0 && arm7i_size != 0 && arm9i >= fnt &&
      arm7i >= fnt && arm9i + arm9i_size <= in.size() &&
      arm7i + arm7i_size <= in.size() &&
      covered >= std::min(arm9i, arm7i) &&
      covered + covered_size <=
          std::max(arm9i + arm9i_size, arm7i + arm7i_size))
    lost += find("the DSi part the digests cover", in, covered, out,
                 u32(out, 0x1E8), covered_size, rewritten);
  const uint64_t banner = u32(in, 0x68);
  if (banner != 0)
    lost += find("the banner", in, banner, out, u32(out, 0x68),
                 banner_size(u16(in, banner)), rewritten);

  if (u32(out, 0x4C) != fat_size) lost += "the FAT's size changed\n";
  for (uint64_t at = 0; at + 8 <= fat_size && fat_in + at + 8 <= in.size();
       at += 8) {
    const uint64_t start = u32(in, fat_in + at), end = u32(in, fat_in + at + 4);
    if (end <= start || end > in.size()) continue;
    const uint64_t new_start = u32(out, fat_out + at);
    const std::string file = "file " + std::to_string(at / 8);
    if (u32(out, fat_out + at + 4) - new_start != end - start)
      lost += file + " changed its length\n";
    else
      lost += find(file, in, start, out, new_start, end - start, rewritten);
  }

  const uint64_t used = u32(in, 0x80);
  if (used != 0 && used + 0x88 <= in.size() && in[used] == 'a' &&
      in[used + 1] == 'c')
    lost += find("the Download Play signature", in, used, out, u32(out, 0x80),
                 0x88);
  if (used <= in.size() && u32(out, 0x80) > out.size())
    lost += "the output ends before its used size\n";
  // A DSi total size that takes in the DS part (its used area and its
  // FNT), as it does on every DSi image, is where trimmers cut.
  const uint64_t total = u32(in, 0x210);
  if (level == 2 && total >= used && total >= u32(in, 0x40) + u32(in, 0x44) &&
      total <= in.size() && u32(out, 0x210) > out.size())
    lost += "the output ends before its DSi total size\n";
  return lost;
}
