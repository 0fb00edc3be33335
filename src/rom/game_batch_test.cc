// Tests of a batch of games, the replacement as offered, and a long rebuild's progress.
#include "rom/game_batch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "rom/extract_arm7.h"
#include "rom/messages.h"
#include "scratch.h"
#include "test_image.h"

namespace {

const std::string kFixed =
    "Download play data found... Using real end of ROM...\n\n";

}  // namespace

TEST(GameBatch, ReturnsEachOutcomeAndSaysItInOrder) {
  const std::string dir = make_scratch_dir();
  // The game built with SDK 5, the donor with SDK 4.1.
  ASSERT_TRUE(write_bytes(
      dir + "a.nds", image_from(std::string(kSampleGame) +
                                "arm9 0x200 0x100\nsdk 0x40 0x05003001")));
  ASSERT_TRUE(
      write_bytes(dir + "broken.nds",
                  image_from(std::string(kSampleGame) + "banner 0x500")));
  ASSERT_TRUE(write_bytes(
      dir + "donor.nds",
      image_from(std::string(kSampleDonor) +
                 "field 0x38 0x2380000\narm9 0x200 0x200\nsdk 0x80 0x04010000")));
  Replacement donor;
  ASSERT_EQ(Failure::none, look_at_replacement(dir + "donor.nds", "donor.nds",
                                               Offered::as_donor, &donor));
  ASSERT_EQ(Failure::none, extract_arm7(dir + "arm7.bin", &donor));
  ReplacementSet replacement = single_replacement(std::move(donor));
  const uint32_t game_ram = load_u32le(image_from(kSampleGame).data() + 0x38);

  for (bool checking : {false, true}) {
    SCOPED_TRACE(checking);
    RecordingStatus status;
    GameBatch batch = begin_batch(4, true, checking);
    const GameOutcome a =
        fix_next_game(batch, dir + "a.nds", "a", replacement, status);
    const GameOutcome broken =
        fix_next_game(batch, dir + "broken.nds", "broken", replacement, status);
    const GameOutcome gone =
        fix_next_game(batch, dir + "gone.nds", "gone", replacement, status);
    count_not_fixed(batch, "unreadable", status);
    finish_batch(batch, status);

    EXPECT_EQ(Failure::none, a.failure);
    EXPECT_EQ(dir + "a-arm7fixed.nds", a.output_path);
    EXPECT_TRUE(a.warning.given);
    EXPECT_EQ(0x2380000u, a.warning.donor);
    EXPECT_EQ(game_ram, a.warning.game);
    EXPECT_TRUE(a.sdk_warning);
    EXPECT_FALSE(broken.sdk_warning);
    EXPECT_EQ(Failure::banner_in_front_of_fnt, broken.failure);
    EXPECT_EQ(Failure::game_unopenable, gone.failure);
    EXPECT_EQ(1u, fixed_count(batch));
    EXPECT_EQ((std::vector<std::string>{"broken", "gone", "unreadable"}),
              batch.not_fixed);
    EXPECT_EQ(std::vector<std::string>{"a"}, batch.warned);

    const std::string warning =
        formatted(message_address_warning, 0x2380000, game_ram);
    const std::string sdk_warning =
        "Warning: the donor's arm7 binary was built with SDK 4.1, the game "
        "with SDK 5.0; from SDK 5 on the system's shared data lies elsewhere "
        "in memory, so the fixed game may not start!\n\n";
    const std::string no_version = "Game: no SDK version.\n\n";
    std::vector<std::string> expected;
    if (checking) {
      EXPECT_TRUE(file_bytes(dir + "a-arm7fixed.nds").empty());
      EXPECT_TRUE(a.planned.fill_cut);
      expected = {"[1/4] a\n\n",
                  "Game: built with SDK 5.0 (0x05003001).\n\n",
                  warning,
                  sdk_warning,
                  formatted(message_check_output_cut, a.output_path.c_str(),
                            (unsigned long long)a.planned.size) +
                      "file name table: 0x00000600 -> 0x00000700\n"
                      "file table: 0x00000680 -> 0x00000780\n"
                      "banner: 0x00000700 -> 0x00000800\n\n",
                  "[2/4] broken\n\n",
                  no_version,
                  warning,
                  failure_text(Failure::banner_in_front_of_fnt),
                  "[3/4] gone\n\n",
                  no_version,
                  message_game_unopenable,
                  "[4/4] unreadable\n\n",
                  "1 of 4 games would be fixed.\n\n"};
    } else {
      EXPECT_FALSE(file_bytes(dir + "a-arm7fixed.nds").empty());
      expected = {"[1/4] a\n\n",
                  warning,
                  sdk_warning,
                  message_rebuilding,
                  kFixed,
                  message_success,
                  "[2/4] broken\n\n",
                  warning,
                  message_rebuilding,
                  failure_text(Failure::banner_in_front_of_fnt),
                  "[3/4] gone\n\n",
                  message_rebuilding,
                  message_game_unopenable,
                  "[4/4] unreadable\n\n",
                  "1 of 4 games fixed.\n\n"};
    }
    expected.push_back("Not fixed:\nbroken\ngone\nunreadable\n\n");
    expected.push_back("With warnings:\na\n\n");
    EXPECT_EQ(expected, status.heard);
    remove_file(dir + "a-arm7fixed.nds");
  }
  remove_tree(dir);
}

// A rebuild of more than 64 MiB tells a status that shows progress how far
// it is, about every 4 MiB and never past the whole, and that it ended,
// before its outcome is said; on either way of copying.
TEST(GameBatch, ALongRebuildIsHeardAsItGoesAndEndedBeforeItsOutcome) {
  const std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", replacement_binary(0x1000)));
  ReplacementSet replacement =
      single_replacement(replacement_at(dir + "arm7.bin", kArm7Name));
  struct Case {
    uint64_t used;
    bool shows_progress;
    bool heard;
  } cases[] = {
      {kProgressThreshold, true, false},
      {kProgressThreshold + 4, true, true},
      {kProgressThreshold + 4, false, false},
  };
  for (const Case& c : cases) {
    const unsigned long long used = c.used;
    ASSERT_TRUE(write_bytes(
        dir + "big.nds",
        image_from(formatted("size %llu\narm7 0x4000 0x1000\nfnt 0x5000 0x40\n"
                             "fat 0x5040 0x8\nwords 0x5040 0x6000 %llu\n"
                             "used %llu\n",
                             used, used, used))));
    for (bool kernel : {true, false}) {
      SCOPED_TRACE(std::to_string(c.used) + (kernel ? " kernel" : " plain"));
      kernel_copy_enabled = kernel;
      RecordingStatus status(c.shows_progress);
      GameBatch batch = begin_batch(1, false, false);
      ASSERT_EQ(Failure::none, fix_next_game(batch, dir + "big.nds", "big",
                                             replacement, status)
                                   .failure);
      struct stat st;
      ASSERT_EQ(0, ::stat((dir + "big-arm7fixed.nds").c_str(), &st));
      const uint64_t written = uint64_t(st.st_size);
      ASSERT_EQ(c.used, written);
      if (!c.heard) {
        EXPECT_EQ((std::vector<std::string>{message_rebuilding, kFixed,
                                            message_success}),
                  status.heard);
        EXPECT_TRUE(status.progress_heard.empty());
        continue;
      }
      EXPECT_EQ((std::vector<std::string>{message_rebuilding, kFixed,
                                          "(progress ended)", message_success}),
                status.heard);
      EXPECT_EQ(written, status.progress_total);
      const size_t steps = written / kProgressStep;
      // On a disk the line goes on while the game is read back.
      for (const auto* heard :
           {&status.progress_heard, &status.read_back_heard}) {
        EXPECT_LE(steps - 1, heard->size());
        EXPECT_GE(steps, heard->size());
        uint64_t before = 0;
        for (uint64_t done : *heard) {
          EXPECT_LT(before, done);
          EXPECT_GE(written, done);
          before = done;
        }
      }
    }
  }
  kernel_copy_enabled = true;
  remove_tree(dir);
}

TEST(Replacement, EachFileOfferedIsSortedOnceWithItsSizeKnownOrNot) {
  const std::string dir = make_scratch_dir();
  ASSERT_TRUE(write_bytes(dir + "bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(dir + "donor", image_from(kSampleDonor)));
  ASSERT_TRUE(write_bytes(dir + "short", std::vector<uint8_t>(100, 0x11)));
  ASSERT_TRUE(write_bytes(dir + "outside",
                          image_from("size 0x1000\narm7 0x800 0x801")));
  ASSERT_TRUE(
      write_bytes(dir + "empty", image_from("size 0x1000\narm7 0x800 0")));
  ASSERT_TRUE(
      write_bytes(dir + "exact", image_from("size 0x1000\narm7 0x800 0x800")));
  // The donor with a header whose CRC-16 no longer holds.
  ASSERT_TRUE(write_bytes(dir + "stale", image_from(std::string(kSampleDonor) +
                                                     "nocrc\nfield 0x0 1")));
  ASSERT_EQ(0, ::mkfifo((dir + "fifo").c_str(), 0644));
  struct Case {
    const char* file;
    Offered offered;
    Failure failure;
    bool donor;
    bool size_known;
    uint64_t size;
  } cases[] = {
      {"bin", Offered::as_binary, Failure::none, false, true, 0x2F0},
      {"bin", Offered::as_either, Failure::none, false, true, 0x2F0},
      {"fifo", Offered::as_binary, Failure::arm7_unreadable, false, false, 0},
      {"none", Offered::as_either, Failure::arm7_unreadable, false, false, 0},
      {"donor", Offered::as_binary, Failure::whole_image_as_binary, false,
       false, 0},
      {"donor", Offered::as_either, Failure::none, true, true, 0x300},
      {"donor", Offered::as_donor, Failure::none, true, true, 0x300},
      {"stale", Offered::as_donor, Failure::none, true, true, 0x300},
      {"stale", Offered::as_either, Failure::none, false, true, 0x2000},
      {"short", Offered::as_donor, Failure::donor_unreadable, true, false, 0},
      {"fifo", Offered::as_donor, Failure::donor_unreadable, true, false, 0},
      {"outside", Offered::as_donor, Failure::donor_arm7_outside, true, false,
       0x801},
      {"empty", Offered::as_donor, Failure::donor_arm7_empty, true, false, 0},
      {"exact", Offered::as_donor, Failure::none, true, true, 0x800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " as " + std::to_string(int(c.offered)));
    Replacement replacement;
    EXPECT_EQ(c.failure, look_at_replacement(dir + c.file, c.file, c.offered,
                                             &replacement));
    EXPECT_EQ(c.donor, replacement.donor_image);
    EXPECT_EQ(c.donor, replacement.from_donor);
    EXPECT_EQ(c.size_known, replacement.size_known);
    if (c.size_known || c.size) {
      EXPECT_EQ(c.size, replacement.size);
    }
    EXPECT_EQ(c.file, replacement.name);
    // A bare binary is taken as it is; a donor's is taken from it later.
    EXPECT_EQ(!c.donor && c.failure != Failure::whole_image_as_binary,
              replacement_taken(replacement));
  }
  // Messages name the file as it was offered.
  EXPECT_EQ("The donor's arm7 binary lies outside my donor.nds!\n\n",
            failure_message(Failure::donor_arm7_outside, "my donor.nds"));
  remove_tree(dir);
}
