// Brenvik fuzzer seeds: images from the test-image builder and the real
// images, each with replacement binaries that shrink, keep and grow the
// old one, in the fuzzer's input layout (length, binary, image).
//
//   make_seeds OUT_DIR [REAL_IMAGE...]
#include <cstdio>
#include <string>
#include <vector>

#include "rom/cartridge_header.h"
#include "test_image.h"

namespace {

// Layouts the rebuild accepts and a few it refuses, small enough that the
// fuzzer mutates them quickly.
const char* const kDescriptions[] = {
    // FNT, FAT with files behind it, banner, signature and 0xFF fill.
    "size 0xC00\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0x18\n"
    "banner 0x700\nused 0xA40\nwords 0x680 0x200 0x300 0x900 0x980 0x980 0xA40\n"
    "fill 0xAC8 0xC00 0xFF\n",
    // Files in the head (overlays) and behind the FAT, 0x00 fill.
    "size 0x3000\narm7 0x1000 0x400\nfnt 0x1400 0x80\nfat 0x1480 0x20\n"
    "banner 0x1600\nused 0x2800\nwords 0x1480 0x300 0x400 0x400 0x600 0x1A00\n"
    "words 0x1494 0x1B00 0x1B00 0x1C00\nfill 0x2800 0x3000 0\n",
    // A program without files: an empty FAT past the end of the file.
    "size 0x900\narm7 0x400 0x200\nfnt 0x600 0x9\nfat 0xA00 0\nbanner 0\n"
    "used 0xA00\n",
    // The tail reaches past the end of the file.
    "size 0x1000\narm7 0x200 0x100\nfnt 0x300 0x20\nfat 0x320 0x8\n"
    "used 0xF00\nwords 0x320 0x400 0x500\n",
    // DSi homebrew: the DSi binaries behind the banner, moving with it.
    "size 0x2800\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0\n"
    "banner 0x680\nused 0xEC0\nfill 0x12 0x13 3\nfield 0x84 0x4000\n"
    "field 0x1C0 0x1000\nfield 0x1CC 0x15C\nfield 0x1D0 0x1400\n"
    "field 0x1DC 0xE94\nfield 0x210 0x2800\nfill 0x2294 0x2800 0\n",
    // A DSi area far behind the used area, as on a cartridge, stays put.
    "size 0x12000\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0x8\n"
    "banner 0x700\nused 0x1000\nwords 0x680 0xF40 0x1000\n"
    "fill 0x1088 0x10000 0xFF\nfill 0x12 0x13 3\nfield 0x84 0x4000\n"
    "field 0x1C0 0x10000\nfield 0x1CC 0x1000\nfield 0x1D0 0x11000\n"
    "field 0x1DC 0x800\nfield 0x210 0x12000\n",
    // Overlay tables behind the FAT and in the head, used size 0.
    "size 0x3000\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0x10\n"
    "banner 0x700\nused 0\nwords 0x680 0xF40 0xF80 0xF80 0x1000\n"
    "field 0x50 0x690\nfield 0x54 0x60\nfield 0x58 0x300\n"
    "field 0x5C 0x40\nfill 0xFC0 0x3000 0\n",
    // Refused: a file across the FAT.
    "size 0xC00\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0x10\n"
    "used 0xA40\nwords 0x680 0x690 0x6A0\n",
};

bool write_seed(const std::string& path, const std::vector<uint8_t>& image,
                size_t arm7_length) {
  std::vector<uint8_t> seed(4);
  store_u32le(seed.data(), uint32_t(arm7_length));
  for (size_t i = 0; i < arm7_length; ++i)
    seed.push_back(uint8_t(0xA7 + 3 * i));
  seed.insert(seed.end(), image.begin(), image.end());
  return write_bytes(path, seed);
}

// Seeds for one image: replacements of 1 byte, 16 bytes fewer than the
// old binary, the same size, and 0x123 bytes more.
bool write_seeds(const std::string& out_dir, const std::string& name,
                 const std::vector<uint8_t>& image) {
  size_t old_size = 0x100;
  if (image.size() >= CartridgeHeader::kSize)
    old_size = load_u32le(image.data() + header_field::arm7_size) % 0x10000;
  const size_t sizes[] = {1, old_size > 16 ? old_size - 16 : 1, old_size,
                          old_size + 0x123};
  for (size_t i = 0; i < 4; ++i)
    if (!write_seed(out_dir + "/" + name + "-" + std::to_string(i), image,
                    sizes[i]))
      return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_seeds OUT_DIR [REAL_IMAGE...]\n");
    return 2;
  }
  const std::string out_dir = argv[1];
  int number = 0;
  for (const char* description : kDescriptions) {
    std::vector<uint8_t> image;
    std::string error;
    if (!build_test_image(description, &image, &error)) {
      std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
      return 1;
    }
    if (!write_seeds(out_dir, "built" + std::to_string(number++), image))
      return 1;
  }
  for (int i = 2; i < argc; ++i) {
    std::vector<uint8_t> image;
    if (!read_bytes(argv[i], &image)) continue;  // the real images are optional
    if (!write_seeds(out_dir, "real" + std::to_string(i - 2), image)) return 1;
  }
  return 0;
}
