#include "rom/output_name.h"

#include <gtest/gtest.h>

TEST(FixedOutputPath, ReplacesTheLastFourCharactersWhateverTheyAre) {
  EXPECT_EQ("D:\\roms\\game-arm7fixed.nds",
            fixed_output_path("D:\\roms\\game.nds"));
  EXPECT_EQ("game-arm7fixed.nds", fixed_output_path("game.NDS"));
  EXPECT_EQ("my -arm7fixed.nds", fixed_output_path("my game"));
  EXPECT_EQ("-arm7fixed.nds", fixed_output_path("a.nd"));
}

TEST(FixedOutputPath, CountsCharactersNotBytesInNonAsciiNames) {
  // "ゲーム Spiel.nds" and a name whose last four characters are Japanese.
  EXPECT_EQ(
      "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Spiel-arm7fixed.nds",
      fixed_output_path("\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Spiel.nds"));
  EXPECT_EQ("x-arm7fixed.nds",
            fixed_output_path("x\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0\xC3\xA9"));
  EXPECT_EQ(3u, file_name_length("dir/\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0"));
}

TEST(FileNameLength, CountsOnlyAfterTheLastSeparator) {
  EXPECT_EQ(8u, file_name_length("C:\\roms/game.nds"));
  EXPECT_EQ(3u, file_name_length("/long/directory/a.b"));
  EXPECT_EQ(0u, file_name_length("dir\\"));
  EXPECT_EQ(4u, file_name_length(".nds"));
}
