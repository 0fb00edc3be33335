// Brenvik tests: the test-image builder.
#include "test_image.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "rom/cartridge_header.h"
#include "platform/platform.h"

namespace {

bool parse_number(const std::string& word, uint64_t* value) {
  if (word.empty() || word[0] == '-') return false;
  char* end = nullptr;
  *value = std::strtoull(word.c_str(), &end, 0);
  return *end == '\0';
}

bool store_word(std::vector<uint8_t>& image, uint64_t offset, uint64_t value) {
  if (offset + 4 > image.size() || value > 0xFFFFFFFFull) return false;
  store_u32le(image.data() + offset, uint32_t(value));
  return true;
}

// Header offsets as the format has them, written out here rather than
// taken from the tool, so a wrong offset in the tool cannot hide behind
// the same wrong offset in its test images.
constexpr uint32_t kArm9Offset = 0x20, kArm9Size = 0x2C, kArm7Offset = 0x30, kArm7Size = 0x3C, kFntOffset = 0x40,
                   kFntSize = 0x44, kFatOffset = 0x48, kFatSize = 0x4C,
                   kBannerOffset = 0x68, kUsedSize = 0x80;

// Every header field that locates data, zeroed by `size`: the ARM9 binary,
// ARM7 binary, FNT, FAT, overlay tables, banner, used size, header size,
// debug ROM, DSi binaries and digest fields, total size, modcrypt areas.
constexpr uint32_t kLocatingFields[] = {
    0x20,  0x2C,  0x30,  0x3C,  0x40,  0x44,  0x48,  0x4C,  0x50,
    0x54,  0x58,  0x5C,  0x68,  0x80,  0x84,  0x160, 0x164, 0x1C0,
    0x1CC, 0x1D0, 0x1DC, 0x1E0, 0x1E4, 0x1E8, 0x1EC, 0x1F0, 0x1F4,
    0x1F8, 0x1FC, 0x210, 0x220, 0x224, 0x228, 0x22C};

// Applies one description line; false when it makes no sense.
bool apply_line(const std::string& keyword, const std::vector<uint64_t>& n,
                std::vector<uint8_t>& image, bool* seal) {
  auto pair = [&](uint32_t first, uint32_t second) {
    return n.size() == 2 && store_word(image, first, n[0]) &&
           store_word(image, second, n[1]);
  };
  auto one = [&](uint32_t field) {
    return n.size() == 1 && store_word(image, field, n[0]);
  };
  if (keyword == "size") {
    if (n.size() != 1 || !image.empty()) return false;
    image.resize(size_t(n[0]));
    for (uint64_t i = 0; i < n[0]; ++i) image[size_t(i)] = pattern_byte(i);
    // The fields that locate data start at 0, and the unit code says DS,
    // so a description names only the ones it needs; the header's other
    // bytes keep the pattern.
    for (uint32_t field : kLocatingFields) store_word(image, field, 0);
    if (image.size() > 0x12) image[0x12] = 0;
    return true;
  }
  if (keyword == "arm9") return pair(kArm9Offset, kArm9Size);
  if (keyword == "arm7") return pair(kArm7Offset, kArm7Size);
  if (keyword == "sdk" || keyword == "footer") {
    if (image.size() < 0x200 || n.empty()) return false;
    const uint64_t arm9 = load_u32le(image.data() + kArm9Offset);
    if (keyword == "footer") {
      const uint64_t end = arm9 + load_u32le(image.data() + kArm9Size);
      return n.size() == 1 && store_word(image, end, 0xDEC00621) &&
             store_word(image, end + 4, n[0]) &&
             store_word(image, end + 8, 0);
    }
    // Module parameters as an official build lays them out: autoload list,
    // autoload start, BSS, the compressed end, the version, the signature.
    if (n.size() != 2 && n.size() != 3) return false;
    const uint64_t words[9] = {0x02100000, 0x02100020, 0x020FF000,
                               0x02100100, 0x02110000, n.size() == 3 ? n[2] : 0,
                               n[1],       0xDEC00621, 0x2106C0DE};
    for (int i = 0; i < 9; ++i)
      if (!store_word(image, arm9 + n[0] + 4 * i, words[i])) return false;
    return true;
  }
  if (keyword == "fnt") return pair(kFntOffset, kFntSize);
  if (keyword == "fat") return pair(kFatOffset, kFatSize);
  if (keyword == "banner") {
    // The version, where given, is the banner's first 16 bits.
    if (n.size() == 2 && n[0] + 2 <= image.size() && n[1] <= 0xFFFF) {
      image[size_t(n[0])] = uint8_t(n[1]);
      image[size_t(n[0]) + 1] = uint8_t(n[1] >> 8);
    } else if (n.size() != 1) {
      return false;
    }
    return store_word(image, kBannerOffset, n[0]);
  }
  if (keyword == "used") return one(kUsedSize);
  if (keyword == "field") return n.size() == 2 && store_word(image, n[0], n[1]);
  if (keyword == "words") {
    for (size_t i = 1; i < n.size(); ++i)
      if (!store_word(image, n[0] + 4 * (i - 1), n[i])) return false;
    return n.size() >= 2;
  }
  if (keyword == "files") {
    if (n.size() != 3 || image.size() < CartridgeHeader::kSize) return false;
    uint64_t fat = load_u32le(image.data() + kFatOffset);
    for (uint64_t i = 0; i < n[0]; ++i) {
      uint64_t start = n[1] + i * n[2];
      if (!store_word(image, fat + 8 * i, start) ||
          !store_word(image, fat + 8 * i + 4, start + n[2]))
        return false;
    }
    return true;
  }
  if (keyword == "fill") {
    if (n.size() != 3 || n[0] > n[1] || n[1] > image.size() || n[2] > 0xFF)
      return false;
    for (uint64_t i = n[0]; i < n[1]; ++i) image[size_t(i)] = uint8_t(n[2]);
    return true;
  }
  if (keyword == "nocrc") {
    *seal = false;
    return n.empty();
  }
  return false;
}

}  // namespace

uint8_t pattern_byte(uint64_t offset) {
  uint32_t mixed = uint32_t(offset * 2654435761u) ^ uint32_t(offset >> 13);
  return uint8_t(1 + (mixed >> 24) % 254);
}

bool build_test_image(const std::string& description,
                      std::vector<uint8_t>* image, std::string* error) {
  image->clear();
  bool seal = true;
  std::istringstream lines(description);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string keyword, word;
    if (!(words >> keyword)) continue;
    std::vector<uint64_t> numbers;
    bool ok = true;
    while (words >> word) {
      uint64_t value = 0;
      ok = ok && parse_number(word, &value);
      numbers.push_back(value);
    }
    if (!ok || !apply_line(keyword, numbers, *image, &seal)) {
      *error = "line " + std::to_string(number) + ": " + line;
      return false;
    }
  }
  if (seal && image->size() >= CartridgeHeader::kSize) {
    CartridgeHeader header;
    std::copy(image->begin(), image->begin() + CartridgeHeader::kSize,
              header.bytes);
    build_crc16_table();
    seal_header(header);
    std::copy(header.bytes, header.bytes + CartridgeHeader::kSize,
              image->begin());
  }
  return true;
}

const char* const kSampleGame = R"(
  size 0x3000
  arm7 0x400 0x180
  fnt 0x600 0x40
  fat 0x680 0x10
  banner 0x700
  used 0x1000
  words 0x680 0x900 0x980 0x980 0xF00
  fill 0x1088 0x3000 0xFF
)";

const char* const kSampleDonor = R"(
  size 0x2000
  arm7 0x800 0x300
  fill 0x800 0xB00 0x42
  fnt 0xB00 0
  fat 0xB00 0
)";

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  remove_file(path);
  std::FILE* file = create_new_file(path);
  if (!file) return false;
  // fwrite must not see the null data of an empty vector.
  bool ok = bytes.empty() ||
            std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool read_bytes(const std::string& path, std::vector<uint8_t>* bytes) {
  bytes->clear();
  std::FILE* file = open_for_reading(path);
  if (!file) return false;
  uint8_t piece[1 << 16];
  size_t n;
  while ((n = std::fread(piece, 1, sizeof piece, file)) > 0)
    bytes->insert(bytes->end(), piece, piece + n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}
