// Tests of the rebuild, judged by the bytes it writes and the failures it returns.
#include "rom/rebuild.h"

#include <gtest/gtest.h>

#include <random>

#include "image_meaning.h"
#include "reference_rebuild.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "platform/platform.h"
#include "rom/rebuild_plan.h"
#include "rom/replacement.h"
#include "rom/status.h"
#include "scratch.h"
#include "test_image.h"

namespace {

struct RebuildRun {
  Failure failure;
  std::vector<uint8_t> output;
  std::string heard;                     // what the status heard, in order
  std::vector<std::string> files_after;  // the scratch folder's names
};

// Rebuilds the game at `dir`game.nds with the binary at `arm7`.
RebuildRun rebuild_in(const std::string& dir, const std::string& arm7) {
  RecordingStatus status;
  RebuildRun run;
  run.failure = rebuild_opened_game(open_game(dir + "game.nds"),
                                    replacement_at(arm7, kArm7Name),
                                    dir + "game-arm7fixed.nds", status);
  for (const std::string& text : status.heard) run.heard += text;
  run.output = file_bytes(dir + "game-arm7fixed.nds");
  return run;
}

// Rebuilds `image` with `arm7` in a scratch folder, in this process.
RebuildRun rebuild(const std::vector<uint8_t>& image,
                   const std::vector<uint8_t>& arm7) {
  std::string dir = make_scratch_dir();
  EXPECT_TRUE(write_bytes(dir + "game.nds", image));
  EXPECT_TRUE(write_bytes(dir + "arm7.bin", arm7));
  RebuildRun run = rebuild_in(dir, dir + "arm7.bin");
  run.files_after = list_dir(dir);
  remove_tree(dir);
  return run;
}

uint32_t field(const std::vector<uint8_t>& image, uint32_t offset) {
  return load_u32le(image.data() + offset);
}

bool crc_is_valid(const std::vector<uint8_t>& image) {
  CartridgeHeader header;
  std::copy(image.begin(), image.begin() + CartridgeHeader::kSize,
            header.bytes);
  build_crc16_table();
  uint16_t stored = uint16_t(image[0x15E] | image[0x15F] << 8);
  return stored == compute_header_crc16(header);
}

const std::vector<std::string> kOnlyInputs = {"arm7.bin", "game.nds"};

// The geometry of the worked example: ARM7 binary at 0x400, FNT at 0x600,
// a FAT of three entries at 0x680, a signature block ending at 0xAC7.
const char* const kExample = R"(
  size 0xC00
  arm7 0x400 0x120
  fnt 0x600 0x40
  fat 0x680 0x18
  banner 0x700
  used 0xA40
  words 0x680 0x200 0x300 0x900 0x980 0x980 0xA40
  fill 0xAC7 0xAC8 0x5A
  fill 0xAC8 0xC00 0xFF
)";

std::string example_with(const std::string& extra) {
  return std::string(kExample) + extra;
}

}  // namespace

TEST(Rebuild, WorkedExampleComesOutByteForByte) {
  std::vector<uint8_t> in = image_from(kExample);
  std::vector<uint8_t> arm7 = replacement_binary(0x2F8);
  RebuildRun run = rebuild(in, arm7);
  ASSERT_EQ(Failure::none, run.failure);
  EXPECT_EQ(std::string(message_rebuilding) + message_download_play,
            run.heard);
  ASSERT_EQ(0xBC8u, run.output.size());
  const std::vector<uint8_t>& out = run.output;

  namespace f = header_field;
  EXPECT_EQ(0x2F8u, field(out, f::arm7_size));
  EXPECT_EQ(0x700u, field(out, f::fnt_offset));
  EXPECT_EQ(0x780u, field(out, f::fat_offset));
  EXPECT_EQ(0x800u, field(out, f::banner_offset));
  EXPECT_EQ(0xB40u, field(out, f::used_rom_size));
  EXPECT_TRUE(crc_is_valid(out));
  for (uint32_t i = 0; i < 0x400; ++i) {
    bool changed_field = (i >= 0x3C && i < 0x44) || (i >= 0x48 && i < 0x4C) ||
                         (i >= 0x68 && i < 0x6C) || (i >= 0x80 && i < 0x84) ||
                         i == 0x15E || i == 0x15F;
    if (!changed_field) {
      ASSERT_EQ(in[i], out[i]) << "head byte " << i;
    }
  }
  EXPECT_TRUE(std::equal(arm7.begin(), arm7.end(), out.begin() + 0x400));
  for (uint32_t i = 0x6F8; i < 0x700; ++i) EXPECT_EQ(0, out[i]) << i;
  EXPECT_TRUE(
      std::equal(in.begin() + 0x600, in.begin() + 0x680, out.begin() + 0x700));
  const uint32_t relocated[] = {0x200, 0x300, 0xA00, 0xA80, 0xA80, 0xB40};
  for (int w = 0; w < 6; ++w)
    EXPECT_EQ(relocated[w], field(out, 0x780 + 4 * w));
  EXPECT_TRUE(
      std::equal(in.begin() + 0x698, in.begin() + 0xAC8, out.begin() + 0x798));
  EXPECT_EQ(kOnlyInputs.size() + 1, run.files_after.size());
}

TEST(Rebuild, LengthIsRoundedUpToFourWithFillFromTheInputOrBeyondIt) {
  // The signature ends at 0xAC4: 0x430 bytes, 0xAC4 among them.
  RebuildRun early = rebuild(image_from(example_with("fill 0xAC4 0xAC5 0x5A\n"
                                                     "fill 0xAC5 0xC00 0xFF")),
                             replacement_binary(0x2F8));
  ASSERT_EQ(0xBC8u, early.output.size());
  EXPECT_EQ(0x5A, early.output[0xBC4]);
  // No fill at all and an input of 0xBFE bytes: the last byte is the last
  // one to keep, and two 0xFF bytes round the length up.
  std::vector<uint8_t> in = image_from(R"(
    size 0xBFE
    arm7 0x400 0x120
    fnt 0x600 0x40
    fat 0x680 0x18
    used 0xA40
    words 0x680 0x200 0x300 0x900 0x980 0x980 0xA40
  )");
  RebuildRun run = rebuild(in, replacement_binary(0x2F8));
  ASSERT_EQ(Failure::none, run.failure);
  ASSERT_EQ(0x798u + 0x568u, run.output.size());
  EXPECT_EQ(in.back(), run.output[run.output.size() - 3]);
  EXPECT_EQ(0xFF, run.output[run.output.size() - 2]);
  EXPECT_EQ(0xFF, run.output.back());
  // A final chunk of nothing but fill is written whole, and not rounded,
  // even where the used area reaches its end.
  in = image_from(R"(
    size 0xBFE
    arm7 0x400 0x120
    fnt 0x600 0x40
    fat 0x680 0x18
    used 0xBFE
    fill 0x698 0xBFE 0
  )");
  run = rebuild(in, replacement_binary(0x2F8));
  ASSERT_EQ(Failure::none, run.failure);
  EXPECT_EQ(0x798u + 0x566u, run.output.size());
}

TEST(Rebuild, ShiftZeroKeepsEveryMovedFieldAndWord) {
  std::vector<uint8_t> in = image_from(kExample);
  RebuildRun run = rebuild(in, replacement_binary(0x1F8));
  ASSERT_EQ(Failure::none, run.failure);
  namespace f = header_field;
  for (uint32_t offset :
       {f::fnt_offset, f::fat_offset, f::banner_offset, f::used_rom_size}) {
    EXPECT_EQ(field(in, offset), field(run.output, offset)) << offset;
  }
  EXPECT_TRUE(std::equal(in.begin() + 0x600, in.begin() + 0xAC8,
                         run.output.begin() + 0x600));
}

TEST(Rebuild, NegativeShiftMovesEverythingBehindTheFatDown) {
  // 0x1F0 bytes end at 0x5F0, in front of the old FNT at 0x600, however
  // long the old binary was.
  RebuildRun run = rebuild(image_from(kExample), replacement_binary(0x1F0));
  ASSERT_EQ(Failure::none, run.failure);
  namespace f = header_field;
  EXPECT_EQ(0x5F0u, field(run.output, f::fnt_offset));
  EXPECT_EQ(0x670u, field(run.output, f::fat_offset));
  EXPECT_EQ(0x6F0u, field(run.output, f::banner_offset));
  EXPECT_EQ(0xA30u, field(run.output, f::used_rom_size));
  const uint32_t relocated[] = {0x200, 0x300, 0x8F0, 0x970, 0x970, 0xA30};
  for (int w = 0; w < 6; ++w)
    EXPECT_EQ(relocated[w], field(run.output, 0x670 + 4 * w));
}

TEST(Rebuild, OnlyFatWordsAboveTheOldFatOffsetMove) {
  // Empty entries at the FAT offset itself, at 0 and one past it.
  RebuildRun run = rebuild(
      image_from(example_with("words 0x680 0x680 0x680 0 0 0x681 0x681")),
      replacement_binary(0x2F8));
  ASSERT_EQ(Failure::none, run.failure);
  const uint32_t relocated[] = {0x680, 0x680, 0, 0, 0x781, 0x781};
  for (int w = 0; w < 6; ++w)
    EXPECT_EQ(relocated[w], field(run.output, 0x780 + 4 * w));
}

TEST(Rebuild, BannerOffsetZeroMeansNoBannerAndStaysZero) {
  RebuildRun run =
      rebuild(image_from(example_with("banner 0")), replacement_binary(0x2F8));
  ASSERT_EQ(Failure::none, run.failure);
  EXPECT_EQ(0u, field(run.output, header_field::banner_offset));
}

TEST(Rebuild, EmptyFatPastTheEndOfTheFileReadsAsZeros) {
  std::vector<uint8_t> in = image_from(R"(
    size 0xC00
    arm7 0x400 0x120
    fnt 0x600 0x40
    fat 0xE00 0
    banner 0
    used 0xC00
  )");
  std::vector<uint8_t> arm7 = replacement_binary(0x2F8);
  RebuildRun run = rebuild(in, arm7);
  ASSERT_EQ(Failure::none, run.failure);
  bool trimmed;
  EXPECT_EQ(reference_rebuild(in, arm7, &trimmed), run.output);
  ASSERT_EQ(0x700u + 0x800u, run.output.size());
  EXPECT_TRUE(
      std::equal(in.begin() + 0x600, in.end(), run.output.begin() + 0x700));
  for (size_t i = 0x700 + 0x600; i < run.output.size(); ++i)
    ASSERT_EQ(0, run.output[i]) << i;
}

TEST(FinalChunk, PadByteAndTrimmingRulesWhateverThePieceSize) {
  struct Case {
    const char* what;
    std::vector<uint8_t> chunk;
    uint64_t kept;
    bool trimmed;
  };
  std::vector<uint8_t> zero_pad(64, 0x00);
  zero_pad[9] = 0xFF;  // ends in 0x00: zeros are the pad, this 0xFF is data
  std::vector<uint8_t> odd_end(63, 0xFF);
  odd_end.back() = 0x5A;  // ends in neither: 0xFF pads, the last byte is data
  std::vector<uint8_t> early(64, 0xFF);
  early[1] = 0x00;  // the only data lies far in front of the end
  const Case cases[] = {
      {"all fill", std::vector<uint8_t>(64, 0xFF), 64, false},
      {"all zero", std::vector<uint8_t>(64, 0x00), 64, false},
      {"zero pad", zero_pad, 12, true},
      {"odd end", odd_end, 64, true},
      {"early data", early, 4, true},
  };
  std::string dir = make_scratch_dir();
  for (const Case& c : cases) {
    // Three bytes of something else in front: the chunk starts off a
    // word boundary in the file.
    std::vector<uint8_t> file(3 + c.chunk.size(), 0x11);
    std::copy(c.chunk.begin(), c.chunk.end(), file.begin() + 3);
    ASSERT_TRUE(write_bytes(dir + "chunk", file));
    std::FILE* input = open_for_reading(dir + "chunk");
    for (size_t piece : {size_t(1), size_t(7), size_t(8), size_t(4096)}) {
      SCOPED_TRACE(std::string(c.what) + ", pieces of " +
                   std::to_string(piece));
      std::vector<uint8_t> buffer(piece);
      uint64_t kept = 0;
      bool trimmed = false;
      ASSERT_EQ(io_ok,
                final_chunk_length(input, 3, c.chunk.size(), buffer.data(),
                                   piece, &kept, &trimmed));
      EXPECT_EQ(c.kept, kept);
      EXPECT_EQ(c.trimmed, trimmed);
    }
    std::fclose(input);
  }
  remove_tree(dir);
}

namespace {

// A game whose tail spans `window` bytes behind its FAT end at 0x1000,
// filled with 0xFF but for a signature block at `signature`.
std::vector<uint8_t> long_tail_image(uint64_t window, uint64_t signature) {
  uint64_t used = 0x1000 + window - kSignatureRoom;
  char text[512];
  std::snprintf(text, sizeof text, R"(
    size %#llx
    arm7 0x400 0x100
    fnt 0x800 0x100
    fat 0xF00 0x100
    banner 0x1000
    used %#llx
    files 32 0x1000 0x4000
    fill %#llx %#llx 0xFF
  )",
                (unsigned long long)(0x1000 + window + 0x1234),
                (unsigned long long)used,
                (unsigned long long)(signature + 0x88),
                (unsigned long long)(0x1000 + window + 0x1234));
  std::vector<uint8_t> image = image_from(text);
  for (uint64_t i = used; i < signature; ++i) image[i] = 0xFF;
  return image;
}

}  // namespace

TEST(Rebuild, LongTailsGoInWholeChunksAndOnlyTheFinalOneIsTrimmed) {
  struct Case {
    uint64_t window;
    uint64_t signature_from_end;  // where the signature block starts
    bool download_play;
  } cases[] = {
      // Signature in the final chunk of three.
      {2 * kTailChunk + 0x123457, kSignatureRoom, true},
      // Signature in the second chunk, final chunk of fill only: nothing cut.
      {2 * kTailChunk + 0x1000, 0x2000 + kSignatureRoom, false},
      // A final chunk of exactly one full chunk.
      {2 * kTailChunk, kSignatureRoom, true},
      // A final chunk of one byte, of fill: the signature before it, in a
      // whole chunk, is not looked at.
      {2 * kTailChunk + 1, 0x2000 + kSignatureRoom, false},
  };
  std::vector<uint8_t> arm7 = replacement_binary(0x333);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.window);
    uint64_t used = 0x1000 + c.window - kSignatureRoom;
    std::vector<uint8_t> in =
        long_tail_image(c.window, used + kSignatureRoom - c.signature_from_end);
    bool trimmed = false;
    std::vector<uint8_t> expected = reference_rebuild(in, arm7, &trimmed);
    EXPECT_EQ(c.download_play, trimmed);
    for (bool kernel : {true, false}) {
      kernel_copy_enabled = kernel;
      RebuildRun run = rebuild(in, arm7);
      kernel_copy_enabled = true;
      ASSERT_EQ(Failure::none, run.failure);
      EXPECT_EQ(expected.size(), run.output.size());
      EXPECT_TRUE(expected == run.output) << "kernel copy " << kernel;
      EXPECT_EQ(c.download_play,
                run.heard.find(message_download_play) != std::string::npos);
    }
  }
}

TEST(Rebuild, RandomSoundLayoutsMatchTheLiteralRebuild) {
  std::mt19937 random(20261208);
  auto pick = [&](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };
  for (int round = 0; round < 60; ++round) {
    uint32_t arm7_offset = pick(0x200, 0x900);
    uint32_t old_arm7 = pick(0, 0x500);
    uint32_t fnt = arm7_offset + old_arm7 + pick(0, 0x40);
    uint32_t fnt_size = pick(0, 0x100);
    uint32_t fat = fnt + fnt_size + pick(0, 0x20);
    uint32_t files = pick(0, 12);
    uint32_t fat_end = fat + files * 8;
    uint32_t file_size = pick(0, 0x300);
    uint32_t used = fat_end + files * file_size + pick(0, 0x40);
    uint32_t size = used + pick(0, 0x5000);
    uint32_t tail_fill = pick(0, 2);  // none, 0xFF or 0x00 behind a signature
    // The banner, where there is one, lies inside the used area, as on a
    // cartridge.
    uint32_t banner = pick(0, 1) ? fat_end : 0;
    if (banner != 0) {
      used = std::max(used, banner + 0x840);
      size = std::max(size, used);
    }
    char text[1024];
    std::snprintf(text, sizeof text,
                  "size %#x\narm7 %#x %#x\nfnt %#x %#x\nfat %#x %#x\n"
                  "banner %#x\nused %#x\nfiles %u %#x %#x\n",
                  size, arm7_offset, old_arm7, fnt, fnt_size, fat, files * 8,
                  banner, used, files, fat_end, file_size);
    std::string description = text;
    if (tail_fill != 0 && used + 0x88 < size) {
      std::snprintf(text, sizeof text, "fill %#x %#x %#x\n", used + 0x88, size,
                    tail_fill == 1 ? 0xFF : 0x00);
      description += text;
    }
    SCOPED_TRACE(description);
    std::vector<uint8_t> in = image_from(description);
    std::vector<uint8_t> arm7 =
        replacement_binary(pick(1, 0x800), uint8_t(round));
    bool trimmed = false;
    std::vector<uint8_t> expected = reference_rebuild(in, arm7, &trimmed);
    RebuildRun run = rebuild(in, arm7);
    ASSERT_EQ(Failure::none, run.failure) << run.heard;
    ASSERT_TRUE(expected == run.output);
    ASSERT_EQ("", meaning_lost(in, arm7, run.output));
  }
}

TEST(Rebuild, RefusesImagesItWouldDamageAndWritesNothing) {
  struct Case {
    const char* change;
    Failure failure;
  } cases[] = {
      {"arm7 0x100 0x120", Failure::arm7_outside},
      {"arm7 0xD00 0x0", Failure::arm7_outside},
      {"arm7 0x400 0x900", Failure::arm7_outside},
      {"arm7 0x400 0x201", Failure::arm7_into_fnt},
      {"fnt 0x690 0x8", Failure::fnt_behind_fat},
      {"fnt 0x600 0x700", Failure::fnt_outside},
      {"fat 0x680 0x800", Failure::fat_outside},
      {"fat 0x10C01 0", Failure::fat_far_outside},
      {"fat 0xFFFFFFF0 0", Failure::fat_far_outside},
      {"words 0x688 0x980 0x900", Failure::file_reversed},
      {"words 0x688 0x500 0x510", Failure::file_misplaced},  // dropped stretch
      {"words 0x688 0x3F0 0x410", Failure::file_misplaced},  // across the binary
      {"words 0x688 0x690 0x6A0", Failure::file_misplaced},  // across the FAT
      {"banner 0x100", part_banner.in_replaced_stretch},
      {"fnt 0 0\nfat 0 0", Failure::no_file_system},
      {"used 0xFFFFFF80", Failure::too_large},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    RebuildRun run =
        rebuild(image_from(example_with(c.change)), replacement_binary(0x2F8));
    EXPECT_EQ(c.failure, run.failure);
    EXPECT_EQ(message_rebuilding, run.heard);
    EXPECT_EQ(kOnlyInputs, run.files_after);
  }
}

TEST(Rebuild, RefusesFilesBeyondTheCopiedStretchAndShortHeaders) {
  RebuildRun past_used = rebuild(image_from(R"(
    size 0x5000
    arm7 0x400 0x120
    fnt 0x600 0x40
    fat 0x680 0x8
    used 0x900
    words 0x680 0x4A00 0x4B00
  )"),
                                 replacement_binary(0x100));
  EXPECT_EQ(Failure::file_past_used, past_used.failure);
  EXPECT_EQ(kOnlyInputs, past_used.files_after);

  RebuildRun short_header =
      rebuild(image_from("size 0x1FF"), replacement_binary(4));
  EXPECT_EQ(Failure::header_short, short_header.failure);
  EXPECT_EQ(kOnlyInputs, short_header.files_after);
}

TEST(Rebuild, UnreadableInputOrReplacementLeavesNoOutput) {
  std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "game-arm7fixed.nds", {1, 2, 3}));
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", {}));
  RebuildRun run = rebuild_in(dir, dir + "arm7.bin");  // no game.nds
  EXPECT_EQ(Failure::game_unopenable, run.failure);
  EXPECT_EQ(message_rebuilding, run.heard);
  EXPECT_EQ(std::vector<std::string>{"arm7.bin"}, list_dir(dir));
  ASSERT_TRUE(write_bytes(dir + "game.nds", image_from(kExample)));
  EXPECT_EQ(Failure::arm7_empty, rebuild_in(dir, dir + "arm7.bin").failure);
  EXPECT_EQ(Failure::arm7_unreadable,
            rebuild_in(dir, dir + "no-arm7.bin").failure);
  EXPECT_EQ(kOnlyInputs, list_dir(dir));
  remove_tree(dir);
}

namespace {

// A game with a banner (of the size its version gives) behind the FAT, two
// files and a signature behind the used area at 0x1000.
const char* const kLayout = R"(
  size 0x3000
  arm7 0x400 0x120
  fnt 0x600 0x40
  fat 0x680 0x10
  banner 0x700
  used 0x1000
  words 0x680 0xF40 0xF80 0xF80 0x1000
  fill 0x1000 0x1001 0x61  # "ac"
  fill 0x1001 0x1002 0x63
  fill 0x1088 0x3000 0xFF
)";

// kLayout grown to `size` bytes.
std::string layout_of_size(const std::string& size) {
  std::string text = kLayout;
  return text.replace(text.find("size 0x3000"), 11, "size " + size);
}

// A DSi cartridge: the DS part, 0xFF fill, and from the 512 KiB boundary
// at 0x80000 a DSi area up to its total size 0x88000.
const std::string kDsiCartridge = layout_of_size("0x88000") + R"(
  fill 0x3000 0x80000 0xFF
  fill 0x12 0x13 0x03
  field 0x84 0x4000
  fill 0x92 0x93 0x01
  fill 0x93 0x94 0x00
  field 0x1C0 0x83000
  field 0x1CC 0x1000
  field 0x1D0 0x84000
  field 0x1DC 0x800
  field 0x210 0x88000
)";

}  // namespace

TEST(Rebuild, EveryPartOfTheGameIsFoundWhereTheNewHeaderNamesIt) {
  struct Case {
    const char* what;
    std::string description;
  } cases[] = {
      {"overlay table and debug rom behind the FAT",
       std::string(kLayout) + "field 0x50 0x690\nfield 0x54 0x60\n"
                              "field 0x160 0xF00\nfield 0x164 0x100"},
      {"arm9 and its overlay table in the head",
       std::string(kLayout) + "field 0x20 0x200\nfield 0x2C 0x180\n"
                              "field 0x50 0x380\nfield 0x54 0x80"},
      {"banner in the head, in front of the arm7 binary", R"(
         size 0x4000
         arm7 0x1000 0x120
         fnt 0x1200 0x40
         fat 0x1280 0x8
         banner 0x200
         used 0x1400
         words 0x1280 0x1300 0x1400
       )"},
      {"used size 0", std::string(kLayout) + "used 0"},
      {"last file ends in zeros, no signature",
       std::string(kLayout) + "fill 0xFC0 0x3000 0"},
      {"banner last, zero-padded, no signature", R"(
         size 0x1840
         arm7 0x400 0x120
         fnt 0x600 0x40
         fat 0x680 0x8
         banner 0x1000
         used 0x1840
         words 0x680 0x800 0x1000
         words 0x1000 0x0001
         fill 0x1700 0x1840 0
       )"},
      {"DSi homebrew: DSi binaries behind the banner", R"(
         size 0x2800
         arm7 0x400 0x120
         fnt 0x600 0x40
         fat 0x680 0
         banner 0x680
         used 0xEC0
         fill 0x12 0x13 0x03
         field 0x84 0x4000
         field 0x1C0 0x1000
         field 0x1CC 0x15C
         field 0x1D0 0x1400
         field 0x1DC 0xE94
         field 0x1E8 0x1000
         field 0x1EC 0x1294
         field 0x210 0x2800
         fill 0x2294 0x2800 0
       )"},
      {"DSi cartridge", kDsiCartridge},
      {"a file the input has lost part of",
       std::string(kLayout) + "words 0x688 0xF80 0x3100"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> in = image_from(c.description);
    for (size_t size : {size_t(0x2F8), size_t(0x100)}) {
      SCOPED_TRACE(std::string(c.what) + ", new binary of " +
                   std::to_string(size));
      std::vector<uint8_t> arm7 = replacement_binary(size);
      RebuildRun run = rebuild(in, arm7);
      ASSERT_EQ(Failure::none, run.failure) << run.heard;
      EXPECT_EQ("", meaning_lost(in, arm7, run.output));
    }
  }
}

TEST(Rebuild, BannersOfEveryVersionComeOutWholeWhereverTheyEnd) {
  // The banner is the last part of a game whose used size is 0, so only
  // the size its version gives keeps the trim out of it; with trailing
  // zeros, the fill behind it is zeros too.
  const std::pair<uint32_t, uint32_t> versions[] = {
      {1, 0x840}, {2, 0x940}, {3, 0xA40}, {0x103, 0x23C0}};
  for (const auto& [version, size] : versions) {
    for (bool zeros : {false, true}) {
      SCOPED_TRACE(std::to_string(version) + (zeros ? " with zeros" : ""));
      const uint32_t end = 0x1000 + size;
      std::string description = formatted(
          "size %#x\narm7 0x400 0x120\nfnt 0x600 0x40\n"
          "fat 0x680 0x8\nbanner 0x1000 %#x\nused 0\n"
          "words 0x680 0x800 0x1000\n",
          end + 0x100, version);
      if (zeros)
        description += formatted("fill %#x %#x 0", end - 0x200, end + 0x100);
      const std::vector<uint8_t> in = image_from(description);
      for (size_t arm7_size : {size_t(0x2F8), size_t(0x100)}) {
        const std::vector<uint8_t> arm7 = replacement_binary(arm7_size);
        RebuildRun run = rebuild(in, arm7);
        ASSERT_EQ(Failure::none, run.failure) << run.heard;
        EXPECT_EQ("", meaning_lost(in, arm7, run.output));
      }
    }
  }
}

TEST(Rebuild, EveryLimitHoldsAtItsEdgeAndRefusesOneBytePast) {
  // Pairs of images, each on its limit and one byte past it (or the other
  // way round): accepted, an image must keep its meaning; refused, it must
  // be refused for that reason and leave nothing. A change that starts with
  // "size" is a whole image of its own.
  struct Case {
    std::string change;
    Failure failure;
    size_t arm7_size;
  } cases[] = {
      {"arm7 0x200 0x120", Failure::none, 0x2F8},
      {"arm7 0x1FF 0x120", Failure::arm7_outside, 0x2F8},
      // A header of 0x4000 bytes names no extended header in front of an
      // ARM7 binary at 0x200: its fields would be written over the binary.
      {"arm7 0x200 0x120\nfield 0x84 0x4000", Failure::none, 0x2F8},
      {"arm7 0x400 0x200", Failure::none, 0x2F8},
      {"arm7 0x400 0x201", Failure::arm7_into_fnt, 0x2F8},
      {"arm7 0x400 0x7C00", Failure::arm7_into_fnt, 0x2F8},
      {"arm7 0x400 0x7C01", Failure::arm7_outside, 0x2F8},
      {"fnt 0x680 0", Failure::none, 0x2F8},
      {"fnt 0x681 0", Failure::fnt_behind_fat, 0x2F8},
      {"fnt 0x600 0x7A00", Failure::none, 0x120},
      {"fnt 0x600 0x7A01", Failure::fnt_outside, 0x120},
      {"fat 0x7FF0 0x10\nwords 0x7FF0 0 0 0 0", Failure::none, 0x2F8},
      {"fat 0x7FF1 0x10", Failure::fat_outside, 0x2F8},
      {"fat 0x18000 0", Failure::none, 0x2F8},
      {"fat 0x18001 0", Failure::fat_far_outside, 0x2F8},
      // Files: in the head up to the ARM7 binary, behind the FAT from its
      // end, never reversed, and inside the carried stretch, which ends
      // 0x4000 bytes past the used area (0x5000).
      {"words 0x688 0x300 0x400", Failure::none, 0x2F8},
      {"words 0x688 0x300 0x401", Failure::file_misplaced, 0x2F8},
      {"words 0x688 0x690 0x6A0", Failure::none, 0x2F8},
      {"words 0x688 0x68F 0x6A0", Failure::file_misplaced, 0x2F8},
      {"words 0x688 0xF80 0xF80", Failure::none, 0x2F8},
      {"words 0x688 0xF80 0xF7F", Failure::file_reversed, 0x2F8},
      {"words 0x688 0x4FFF 0x5100", Failure::none, 0x2F8},
      {"words 0x688 0x5000 0x5100", Failure::file_past_used, 0x2F8},
      // A file that runs past the end of the input is its own damage.
      {"words 0x688 0x7F00 0x8000", Failure::file_past_used, 0x2F8},
      {"words 0x688 0x7F00 0x8001", Failure::none, 0x2F8},
      // Parts: in the head, or from the FNT on, and inside the stretch.
      {"field 0x50 0x3E0\nfield 0x54 0x20", Failure::none, 0x2F8},
      {"field 0x50 0x3E1\nfield 0x54 0x20",
       Failure::arm9_overlays_in_replaced_stretch, 0x2F8},
      {"field 0x50 0x600\nfield 0x54 0x20", Failure::none, 0x2F8},
      // An empty table is no part, wherever its offset points.
      {"field 0x50 0x500\nfield 0x54 0", Failure::none, 0x2F8},
      {"field 0x50 0x500\nfield 0x54 1",
       Failure::arm9_overlays_in_replaced_stretch, 0x2F8},
      {"field 0x50 0x5FF\nfield 0x54 0x20",
       Failure::arm9_overlays_in_replaced_stretch, 0x2F8},
      {"banner 0x4FFF", Failure::none, 0x2F8},
      {"banner 0x5000", Failure::banner_outside, 0x2F8},
      // A used size of 0 stands for the end of the furthest part.
      {"used 0\nbanner 0x6000", Failure::none, 0x2F8},
      {"used 0\nwords 0x688 0x7000 0x7100", Failure::none, 0x2F8},
      {"used 0\nfield 0x160 0x7000\nfield 0x164 0x100", Failure::none, 0x2F8},
      // The header's 32-bit fields: the used size moves by 0x100.
      {"used 0xFFFFFEFF", Failure::none, 0x2F8},
      {"used 0xFFFFFF00", Failure::too_large, 0x2F8},
      {"size 0x200", Failure::no_file_system, 0x2F8},
      {"size 0x1FF", Failure::header_short, 0x2F8},
      // A DSi image that names no DSi region behind its FNT keeps its
      // bytes up to its total size.
      {"fill 0x12 0x13 3\nfield 0x84 0x4000\nfield 0x210 0x7000", Failure::none,
       0x2F8},
      // A DSi cartridge's DS part, its data ending at 0x1090, may grow up
      // to the DSi area at 0x80000 and not a byte into it.
      {kDsiCartridge + "fill 0x1088 0x1090 0x5A", Failure::none, 0x7F170},
      {kDsiCartridge + "fill 0x1088 0x1090 0x5A", Failure::dsi_area_overrun,
       0x7F171},
  };
  const std::string larger = layout_of_size("0x8000");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    const bool whole = c.change.find("size") != std::string::npos;
    const std::vector<uint8_t> in =
        image_from(whole ? c.change : larger + c.change);
    const std::vector<uint8_t> arm7 = replacement_binary(c.arm7_size);
    RebuildRun run = rebuild(in, arm7);
    if (c.failure == Failure::none) {
      ASSERT_EQ(Failure::none, run.failure) << run.heard;
      EXPECT_EQ("", meaning_lost(in, arm7, run.output));
    } else {
      EXPECT_EQ(c.failure, run.failure);
      EXPECT_EQ(kOnlyInputs, run.files_after);
    }
  }
}

TEST(Rebuild, ADsiCartridgeKeepsItsDsiAreaWhereItIs) {
  // Also where the used size is 0: the DSi area is no part of the DS game
  // that size stands for.
  for (const char* used : {"", "used 0"}) {
    SCOPED_TRACE(used);
    std::vector<uint8_t> in = image_from(kDsiCartridge + used);
    RebuildRun run = rebuild(in, replacement_binary(0x2F8));
    ASSERT_EQ(Failure::none, run.failure);
    ASSERT_EQ(in.size(), run.output.size());
    EXPECT_TRUE(std::equal(in.begin() + 0x80000, in.end(),
                           run.output.begin() + 0x80000));
    EXPECT_TRUE(std::equal(in.begin() + 0x1C0, in.begin() + 0x200,
                           run.output.begin() + 0x1C0));
    EXPECT_EQ(0x88000u, field(run.output, 0x210));
  }
  std::vector<uint8_t> in = image_from(kDsiCartridge);

  // A binary that would carry the DS part past the 512 KiB boundary.
  RebuildRun overrun = rebuild(in, replacement_binary(0x7F800));
  EXPECT_EQ(Failure::dsi_area_overrun, overrun.failure);
  EXPECT_EQ(kOnlyInputs, overrun.files_after);
}

TEST(Rebuild, RefusesPartsTheNewBinaryWouldReplaceOrThatLieBeyondTheGame) {
  struct Case {
    std::string change;
    Failure failure;
  } cases[] = {
      {"field 0x58 0x520\nfield 0x5C 0x40",
       part_arm7_overlays.in_replaced_stretch},
      {"field 0x50 0x3C0\nfield 0x54 0x80",
       part_arm9_overlays.in_replaced_stretch},
      {"field 0x20 0x200\nfield 0x2C 0x300",
       part_arm9.in_replaced_stretch},
      {"field 0x160 0x7000\nfield 0x164 0x100",
       part_debug_rom.past_used_area},
      {"banner 0x7000", part_banner.past_used_area},
      {"banner 0x500", part_banner.in_replaced_stretch},
      {"fill 0x12 0x13 2\nfield 0x1D0 0x540\nfield 0x1DC 0x10",
       part_dsi_arm7.in_replaced_stretch},
      {"words 0x688 0x7000 0x7100", Failure::file_past_used},
  };
  const std::string larger = layout_of_size("0x8000");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    RebuildRun run =
        rebuild(image_from(larger + c.change), replacement_binary(0x2F8));
    EXPECT_EQ(c.failure, run.failure);
    EXPECT_EQ(message_rebuilding, run.heard);
    EXPECT_EQ(kOnlyInputs, run.files_after);
  }
}
