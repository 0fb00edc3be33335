// The built tool, run end to end in scratch folders with its standard
// input at the null device, as a script or a file manager starts it.
#include <gtest/gtest.h>

#include "cli/driver.h"
#include "cli/extract_arm7.h"
#include "rom/cartridge_header.h"
#include "rom/messages.h"
#include "scratch.h"
#include "test_image.h"

TEST(Driver, WithoutAnArgumentPrintsUsageAndTouchesNothing) {
  ToolFolder folder = tool_folder();
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {}, folder.dir, &output));
  EXPECT_EQ(says({message_usage}), output);
  EXPECT_EQ(std::vector<std::string>{"brenvik"}, list_dir(folder.dir));
  remove_tree(folder.dir);
}

TEST(Driver, ExtractsTheDonorsBinaryOnceAndRebuildsWithIt) {
  ToolFolder folder = tool_folder();
  std::vector<uint8_t> donor = image_from(kSampleDonor);
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", donor));
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  std::string output;
  EXPECT_EQ(0, run_tool(folder.tool, {folder.dir + "game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_extracting, message_rebuilding, message_download_play,
                  message_success}),
            output);
  std::vector<uint8_t> arm7 = file_bytes(folder.dir + "arm7.bin");
  EXPECT_EQ(std::vector<uint8_t>(donor.begin() + 0x800, donor.begin() + 0xB00), arm7);
  std::vector<uint8_t> fixed = file_bytes(folder.dir + "game-arm7fixed.nds");
  ASSERT_GT(fixed.size(), 0x700u);
  EXPECT_TRUE(std::equal(arm7.begin(), arm7.end(), fixed.begin() + 0x400));

  // The next run takes arm7.bin as it is and never opens the donor, which
  // is now broken beyond extraction.
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", {1, 2, 3}));
  EXPECT_EQ(0, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}), output);
  EXPECT_EQ(fixed, file_bytes(folder.dir + "game-arm7fixed.nds"));
  remove_tree(folder.dir);
}

TEST(Driver, BrokenDonorsLeaveNoBinaryAndStop) {
  struct Case {
    std::string description;
    const char* message;
  } cases[] = {
      {"size 0x100", message_donor_unreadable},
      {"size 0x1000\narm7 0x800 0", message_donor_arm7_empty},
      {"size 0x1000\narm7 0x800 0x801", message_donor_arm7_outside},
      {"size 0x1000\narm7 0xFFFFFFFF 0x10", message_donor_arm7_outside},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    ToolFolder folder = tool_folder();
    ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(c.description)));
    ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
    std::string output;
    EXPECT_EQ(1, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
    EXPECT_EQ(says({message_extracting, c.message}), output);
    EXPECT_EQ((std::vector<std::string>{"brenvik", "donor.nds", "game.nds"}),
              list_dir(folder.dir));
    remove_tree(folder.dir);
  }
}

TEST(Driver, WithNoReplacementAndNoTerminalAsksOnceAndStops) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_place_source}), output);
  EXPECT_EQ((std::vector<std::string>{"brenvik", "game.nds"}), list_dir(folder.dir));
  remove_tree(folder.dir);
}

TEST(Driver, NamesTheOutputAfterTheInputWhateverItsNameLooksLike) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "My Game.NDS", image_from(kSampleGame)));
  ASSERT_TRUE(write_bytes(folder.dir + "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0.nds",
                          image_from(kSampleGame)));
  std::string output;
  // A closing quote after a backslash reaches the tool as a quote.
  EXPECT_EQ(0, run_tool(folder.tool, {"\"My Game.NDS\""}, folder.dir, &output));
  EXPECT_EQ(0, run_tool(folder.tool, {"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0.nds"},
                        folder.dir, &output));
  EXPECT_FALSE(file_bytes(folder.dir + "My Game-arm7fixed.nds").empty());
  EXPECT_FALSE(file_bytes(folder.dir + "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0-arm7fixed.nds").empty());

  ASSERT_TRUE(write_bytes(folder.dir + "a.b", image_from(kSampleGame)));
  EXPECT_EQ(1, run_tool(folder.tool, {"a.b"}, folder.dir, &output));
  EXPECT_EQ(says({message_name_too_short}), output);
  EXPECT_EQ(7u, list_dir(folder.dir).size());
  remove_tree(folder.dir);
}

TEST(Driver, ReplacesAnOldOutputAndRemovesItWhenTheInputIsUnreadable) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  ASSERT_TRUE(write_bytes(folder.dir + "game-arm7fixed.nds", {9, 9, 9}));
  std::string output;
  EXPECT_EQ(0, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  std::vector<uint8_t> fixed = file_bytes(folder.dir + "game-arm7fixed.nds");
  EXPECT_GT(fixed.size(), 0x1000u);

  ASSERT_TRUE(write_bytes(folder.dir + "gone-arm7fixed.nds", {9, 9, 9}));
  EXPECT_EQ(1, run_tool(folder.tool, {"gone.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, message_input_unreadable}), output);
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "brenvik", "game-arm7fixed.nds",
                                      "game.nds"}),
            list_dir(folder.dir));
  remove_tree(folder.dir);
}

TEST(Driver, RefusedImageLeavesNothingBehind) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds",
                          image_from(std::string(kSampleGame) + "banner 0x500")));
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, part_banner.in_replaced_stretch}), output);
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "brenvik", "game.nds"}),
            list_dir(folder.dir));
  remove_tree(folder.dir);
}

TEST(Driver, StartedThroughPathFindsItsFilesBesideTheExecutable) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  std::string games = make_scratch_dir();
  ASSERT_TRUE(write_bytes(games + "game.nds", image_from(kSampleGame)));
  std::string output;
  EXPECT_EQ(0, run_tool("brenvik", {"game.nds"}, games, &output,
                        "PATH=" + shell_quote(folder.dir) + ":\"$PATH\""));
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}), output);
  EXPECT_EQ((std::vector<std::string>{"game-arm7fixed.nds", "game.nds"}), list_dir(games));
  remove_tree(games);
  remove_tree(folder.dir);
}

TEST(ToolDirectory, ComesFromTheToolPathAsWrittenWhenItHasADirectory) {
  EXPECT_EQ("D:\\tools\\", tool_directory("D:\\tools\\x.exe"));
  EXPECT_EQ("./", tool_directory("./brenvik"));
  EXPECT_FALSE(tool_directory("brenvik").empty());  // the test binary's folder
}
