#include "test_image.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "rom/cartridge_header.h"
#include "rom/platform.h"

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

// Applies one description line; false when it makes no sense.
bool apply_line(const std::string& keyword, const std::vector<uint64_t>& n,
                std::vector<uint8_t>& image, bool* seal) {
  namespace f = header_field;
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
    // The fields the tool reads start at 0, so a description names only the
    // ones it needs; the header's other bytes keep the pattern.
    for (uint32_t field : {f::arm7_rom_offset, f::arm7_size, f::fnt_offset,
                           f::fnt_size, f::fat_offset, f::fat_size,
                           f::banner_offset, f::used_rom_size})
      store_word(image, field, 0);
    return true;
  }
  if (keyword == "arm7") return pair(f::arm7_rom_offset, f::arm7_size);
  if (keyword == "fnt") return pair(f::fnt_offset, f::fnt_size);
  if (keyword == "fat") return pair(f::fat_offset, f::fat_size);
  if (keyword == "banner") return one(f::banner_offset);
  if (keyword == "used") return one(f::used_rom_size);
  if (keyword == "field") return n.size() == 2 && store_word(image, n[0], n[1]);
  if (keyword == "words") {
    for (size_t i = 1; i < n.size(); ++i)
      if (!store_word(image, n[0] + 4 * (i - 1), n[i])) return false;
    return n.size() >= 2;
  }
  if (keyword == "files") {
    if (n.size() != 3 || image.size() < CartridgeHeader::kSize) return false;
    uint64_t fat = load_u32le(image.data() + f::fat_offset);
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
