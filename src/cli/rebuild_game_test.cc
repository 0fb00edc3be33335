// Tests of the console's own rebuild of one game.
#include "cli/rebuild_game.h"

#include <gtest/gtest.h>

#include "reference_rebuild.h"
#include "rom/files.h"
#include "rom/messages.h"
#include "scratch.h"
#include "test_image.h"

// The rebuild as the console has always run it: with the binary at
// `arm7_path`, its messages on standard output, 1 or -1.
TEST(RebuildGame, WritesWithArm7PathAndSaysAFailureOnTheConsole) {
  const std::string dir = make_scratch_dir();
  const std::vector<uint8_t> game = image_from(kSampleGame);
  const std::vector<uint8_t> arm7 = replacement_binary(0x2F0);
  ASSERT_TRUE(write_bytes(dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", arm7));
  arm7_path = dir + "arm7.bin";
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, rebuild_game(dir + "game-arm7fixed.nds", dir + "game.nds"));
  EXPECT_EQ(std::string(message_rebuilding) + message_download_play,
            testing::internal::GetCapturedStdout());
  bool trimmed = false;
  EXPECT_TRUE(reference_rebuild(game, arm7, &trimmed) ==
              file_bytes(dir + "game-arm7fixed.nds"));
  testing::internal::CaptureStdout();
  EXPECT_EQ(-1, rebuild_game(dir + "game-arm7fixed.nds", dir + "none.nds"));
  EXPECT_EQ(std::string(message_rebuilding) + message_game_unopenable,
            testing::internal::GetCapturedStdout());
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "game.nds"}), list_dir(dir));
  remove_tree(dir);
}
