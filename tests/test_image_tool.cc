// Brenvik's test-image builder on the command line, for the demo, the
// benchmark and the fuzzer's seeds:
//   test_image_tool make DESCRIPTION_FILE IMAGE
//   test_image_tool samples GAME DONOR    (the end-to-end tests' images)
//   test_image_tool fields BEFORE AFTER   (the header fields side by side)
//   test_image_tool rebuild GAME ARM7 OUT (the literal rebuild, as an oracle
//                                          for end-to-end runs)
//   test_image_tool failures              (each failure's text, one a line,
//                                          for the check of the manual)
#include <cstdio>
#include <string>
#include <vector>

#include "reference_rebuild.h"
#include "rom/cartridge_header.h"
#include "rom/messages.h"
#include "test_image.h"

namespace {

struct NamedField {
  const char* name;
  uint32_t offset;
};

constexpr NamedField kFields[] = {
    {"arm7_rom_offset", header_field::arm7_rom_offset},
    {"arm7_entry_address", header_field::arm7_entry_address},
    {"arm7_ram_address", header_field::arm7_ram_address},
    {"arm7_size", header_field::arm7_size},
    {"fnt_offset", header_field::fnt_offset},
    {"fnt_size", header_field::fnt_size},
    {"fat_offset", header_field::fat_offset},
    {"fat_size", header_field::fat_size},
    {"banner_offset", header_field::banner_offset},
    {"used_rom_size", header_field::used_rom_size},
};

int make(const std::string& description_file, const std::string& out) {
  std::vector<uint8_t> text, image;
  std::string error;
  if (!read_bytes(description_file, &text)) {
    std::fprintf(stderr, "cannot read %s\n", description_file.c_str());
    return 1;
  }
  if (!build_test_image(std::string(text.begin(), text.end()), &image,
                        &error)) {
    std::fprintf(stderr, "%s: %s\n", description_file.c_str(), error.c_str());
    return 1;
  }
  if (!write_bytes(out, image)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int samples(const std::string& game_path, const std::string& donor_path) {
  std::vector<uint8_t> game, donor;
  std::string error;
  if (!build_test_image(kSampleGame, &game, &error) ||
      !build_test_image(kSampleDonor, &donor, &error) ||
      !write_bytes(game_path, game) || !write_bytes(donor_path, donor)) {
    std::fprintf(stderr, "cannot write the sample images\n");
    return 1;
  }
  return 0;
}

int fields(const std::string& before_path, const std::string& after_path) {
  std::vector<uint8_t> before, after;
  if (!read_bytes(before_path, &before) || !read_bytes(after_path, &after) ||
      before.size() < CartridgeHeader::kSize ||
      after.size() < CartridgeHeader::kSize) {
    std::fprintf(stderr, "cannot read both headers\n");
    return 1;
  }
  std::printf("%-20s %12s %12s\n", "field", "before", "after");
  for (const NamedField& field : kFields) {
    uint32_t a = load_u32le(before.data() + field.offset);
    uint32_t b = load_u32le(after.data() + field.offset);
    std::printf("%-20s %#12x %#12x%s\n", field.name, a, b,
                a != b ? "   changed" : "");
  }
  auto crc = [](const std::vector<uint8_t>& image) {
    return unsigned(image[header_field::header_crc16]) |
           unsigned(image[header_field::header_crc16 + 1]) << 8;
  };
  std::printf("%-20s %#12x %#12x%s\n", "header_crc16", crc(before), crc(after),
              crc(before) != crc(after) ? "   changed" : "");
  std::printf("%-20s %#12zx %#12zx\n", "file size", before.size(),
              after.size());
  return 0;
}

int rebuild(const std::string& game_path, const std::string& arm7_path,
            const std::string& out) {
  std::vector<uint8_t> game, arm7;
  if (!read_bytes(game_path, &game) || !read_bytes(arm7_path, &arm7) ||
      game.size() < CartridgeHeader::kSize) {
    std::fprintf(stderr, "cannot read the game and the binary\n");
    return 1;
  }
  bool download_play = false;
  return write_bytes(out, reference_rebuild(game, arm7, &download_play)) ? 0
                                                                         : 1;
}

int failures() {
  for (size_t i = 1; i < size_t(Failure::count); ++i) {
    std::string text = failure_text(Failure(i));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::printf("%s\n", text.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (args.size() == 4 && args[1] == "make") return make(args[2], args[3]);
  if (args.size() == 4 && args[1] == "samples")
    return samples(args[2], args[3]);
  if (args.size() == 4 && args[1] == "fields") return fields(args[2], args[3]);
  if (args.size() == 5 && args[1] == "rebuild")
    return rebuild(args[2], args[3], args[4]);
  if (args.size() == 2 && args[1] == "failures") return failures();
  std::fprintf(stderr,
               "usage: test_image_tool make DESCRIPTION IMAGE\n"
               "       test_image_tool samples GAME DONOR\n"
               "       test_image_tool fields BEFORE AFTER\n"
               "       test_image_tool rebuild GAME ARM7 OUT\n"
               "       test_image_tool failures\n");
  return 2;
}
