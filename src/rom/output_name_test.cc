// Tests of the output's name and of which names are games.
#include "rom/output_name.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(GameNames, GamesAreNdsFilesThatAreNoEarlierOutput) {
  for (const char* name :
       {"a.nds", "B.NDS", "c.Nds", ".nds", "-arm7fixed.nds.nds"})
    EXPECT_TRUE(is_game_name(name)) << name;
  for (const char* name :
       {"a.nd", "a.ndsx", "a-arm7fixed.nds", "A-ARM7FIXED.NDS", "nds", ""})
    EXPECT_FALSE(is_game_name(name)) << name;
}

TEST(GameNames, NamesAreOrderedWithAsciiCaseIgnored) {
  std::vector<std::string> names = {"b.nds", "\xC3\xA9.nds", "a.nds",
                                    "A.nds", "_.nds",        "Z.nds"};
  std::sort(names.begin(), names.end(), game_name_less);
  EXPECT_EQ((std::vector<std::string>{"_.nds", "A.nds", "a.nds", "b.nds",
                                      "Z.nds", "\xC3\xA9.nds"}),
            names);
}
