// Tests of the SDK version read from module parameters.
#include "rom/sdk_version.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "scratch.h"
#include "test_image.h"

namespace {

// The version read from the image the description builds.
SdkVersion version_of(const std::vector<uint8_t>& image,
                      const std::string& dir) {
  const std::string path = dir + "image.nds";
  EXPECT_TRUE(write_bytes(path, image));
  FilePtr file(open_for_reading(path), std::fclose);
  EXPECT_TRUE(file);
  return read_sdk_version(file.get(), image.size(),
                          load_u32le(image.data() + 0x20),
                          load_u32le(image.data() + 0x2C));
}

}  // namespace

TEST(SdkVersion, OnlyRealModuleParametersGiveAVersion) {
  const std::string dir = make_scratch_dir();
  // The ARM9 binary at 0x200, 0x400 bytes; its parameters at 0x240.
  const std::string game = "size 0x1000\narm9 0x200 0x400\n";
  struct Case {
    const char* name;
    std::string description;
    uint32_t version;  // 0: none
  } cases[] = {
      {"footer", game + "sdk 0x40 0x04027531\nfooter 0x40", 0x04027531},
      {"scan only", game + "sdk 0x100 0x05003001", 0x05003001},
      {"compressed", game + "sdk 0x40 0x03017531 0x02120000", 0x03017531},
      {"footer at nothing, scan finds",
       game + "sdk 0x80 0x02007531\nfooter 0x10", 0x02007531},
      {"footer past the binary, scan finds",
       game + "sdk 0x80 0x04010000\nfooter 0x3F0", 0x04010000},
      {"footer at nothing, nothing else", game + "footer 0x40", 0},
      {"no parameters", game, 0},
      {"the first real one of two",
       game + "sdk 0x40 0x04000000\nsdk 0x200 0x05000000", 0x04000000},
      {"a decoy in front",
       game + "sdk 0x40 0x04000000\nwords 0x240 0x02100001\n"
              "sdk 0x200 0x05000000",
       0x05000000},
      {"reaching past the binary", game + "sdk 0x3E0 0x04000000", 0},
      {"just inside the binary", game + "sdk 0x3DC 0x04000000", 0x04000000},
      {"an address not word-aligned",
       game + "sdk 0x40 0x04000000\nwords 0x250 0x02110002", 0},
      {"an address below main memory",
       game + "sdk 0x40 0x04000000\nwords 0x248 0x01FF7FFC", 0},
      {"an address at the top",
       game + "sdk 0x40 0x04000000\nwords 0x250 0x03000000", 0},
      {"the lowest addresses",
       game + "sdk 0x40 0x04000000\nwords 0x240 0x01FF8000 0x01FF8000 "
              "0x01FF8000 0x01FF8000 0x01FF8000",
       0x04000000},
      {"autoload data behind its list",
       game + "sdk 0x40 0x04000000\nwords 0x248 0x02100004", 0},
      {"a list that ends before it starts",
       game + "sdk 0x40 0x04000000\nwords 0x244 0x020FFFF0", 0},
      {"a reversed BSS", game + "sdk 0x40 0x04000000\nwords 0x250 0x020000FC",
       0},
      {"major 0", game + "sdk 0x40 0x00FF7531", 0},
      {"major 6", game + "sdk 0x40 0x06000000", 0},
      {"major 1", game + "sdk 0x40 0x01000000", 0x01000000},
      {"second signature word wrong",
       game + "sdk 0x40 0x04000000\nwords 0x260 0x2106C0DF", 0},
      {"no ARM9 binary", "size 0x1000\nsdk 0x240 0x04000000", 0},
      {"an ARM9 binary past the file",
       "size 0x1000\narm9 0x200 0x100000\nsdk 0x40 0x04000000", 0x04000000},
      // Pieces of the scan overlap: parameters across their border.
      {"across a piece of the scan",
       "size 0x30000\narm9 0x200 0x2FE00\nsdk 0xFFF0 0x04000000", 0x04000000},
      {"in the last piece",
       "size 0x30000\narm9 0x200 0x2FE00\nsdk 0x2FDDC 0x05000000", 0x05000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SdkVersion version = version_of(image_from(c.description), dir);
    EXPECT_EQ(c.version != 0, version.known);
    if (c.version) {
      EXPECT_EQ(c.version, version.value);
    }
  }
  // Homebrew built with other toolchains has no parameters.
  const std::string data = real_data_dir();
  for (const char* name : {"nitrofs.nds", "slot1launch.nds"}) {
    if (data.empty()) break;
    SCOPED_TRACE(name);
    EXPECT_FALSE(version_of(file_bytes(data + name), dir).known);
  }
  remove_tree(dir);
}

// The side of SDK 5 of an ARM7 binary of 0x1000 bytes at 0x1000: its
// first 0x800 bytes and its last 0x80, at 4-byte steps from its start.
TEST(SdkVersion, AnArm7BinaryTellsItsSideByWordsInItsWindowsOnly) {
  const std::string dir = make_scratch_dir();
  const std::string game = "size 0x4000\narm7 0x1000 0x1000\n";
  const Sdk5Side before = Sdk5Side::before, from5 = Sdk5Side::from_sdk5,
                 none = Sdk5Side::unknown;
  struct Case {
    const char* name;
    std::string description;
    Sdk5Side side;
    uint32_t arm7_size = 0x1000;
  } cases[] = {
      {"no words", game, none},
      {"relocation word before 5", game + "words 0x1100 0x027FFFFA", before},
      {"relocation word from 5 on, last in its window",
       game + "words 0x17FC 0x02FFFFFA", from5},
      {"the marker", game + "words 0x1010 0x3381C0DE", from5},
      {"past the start window", game + "words 0x1800 0x02FFFFFA", none},
      {"not at a 4-byte step", game + "words 0x1102 0x027FFFFA", none},
      {"autoload of SDK 2.0", game + "words 0x1F80 0x027C0000", before},
      {"autoload before 5", game + "words 0x1FFC 0x027E0000", before},
      {"autoload of the DSi era", game + "words 0x1FC0 0x02FE0000", from5},
      {"in front of the end window", game + "words 0x1F7C 0x02FE0000", none},
      {"both sides at once",
       game + "words 0x1100 0x027FFFFA\nwords 0x1FC0 0x02FE0000", none},
      {"module parameters only",
       game + "words 0x1200 0xDEC00621 0x2106C0DE", none},
      {"module parameters beside the word",
       game + "words 0x1200 0xDEC00621 0x2106C0DE 0x027FFFFA", before},
      {"a short binary read as far as it goes",
       "size 0x4000\narm7 0x1000 0x42\nwords 0x1020 0x02FE0000", from5, 0x42},
      {"a binary past the end of the file",
       "size 0x1400\narm7 0x1000 0x1000\nwords 0x1100 0x027FFFFA", none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> image = image_from(c.description);
    ASSERT_TRUE(write_bytes(dir + "image.nds", image));
    FilePtr file(open_for_reading(dir + "image.nds"), std::fclose);
    EXPECT_EQ(c.side, read_arm7_side(file.get(), image.size(), 0x1000,
                                     c.arm7_size));
  }
  const std::string data = real_data_dir();
  for (const char* name : {"nitrofs.nds", "slot1launch.nds"}) {
    if (data.empty()) break;
    SCOPED_TRACE(name);
    const std::vector<uint8_t> image = file_bytes(data + name);
    FilePtr file(open_for_reading(data + name), std::fclose);
    EXPECT_EQ(none, read_arm7_side(file.get(), image.size(),
                                   load_u32le(image.data() + 0x30),
                                   load_u32le(image.data() + 0x3C)));
  }
  remove_tree(dir);
}

TEST(SdkVersion, IsShownAsMajorDotMinorAndComparedAcrossSdk5) {
  const SdkVersion v41 = {true, 0x04010000}, v50 = {true, 0x05003001},
                   v42 = {true, 0x04027531}, unknown;
  EXPECT_EQ("SDK 4.2 (0x04027531)", sdk_long_text(v42));
  EXPECT_EQ("SDK 5.0", sdk_short_text(v50));
  EXPECT_TRUE(across_sdk5(v41, v50));
  EXPECT_TRUE(across_sdk5(v50, v42));
  EXPECT_FALSE(across_sdk5(v41, v42));
  EXPECT_FALSE(across_sdk5(unknown, v50));
  EXPECT_FALSE(across_sdk5(v50, unknown));
  // A side stands in for a version only where none is known.
  const SdkVersion side5 = {false, 0, Sdk5Side::from_sdk5},
                   side4 = {false, 0, Sdk5Side::before},
                   v42_side5 = {true, 0x04027531, Sdk5Side::from_sdk5};
  EXPECT_TRUE(across_sdk5(side5, v42));
  EXPECT_TRUE(across_sdk5(side4, side5));
  EXPECT_FALSE(across_sdk5(v42_side5, v41));
  EXPECT_EQ("before SDK 5", sdk_short_text(side4));
  EXPECT_EQ("built with an SDK before 5", sdk_built_with_text(side4));
  EXPECT_EQ("built with SDK 5 or later", sdk_built_with_text(side5));
  EXPECT_EQ("built with SDK 4.2 (0x04027531)", sdk_built_with_text(v42_side5));
}
