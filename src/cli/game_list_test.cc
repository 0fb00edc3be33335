#include "cli/game_list.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(GameList, GamesAreNdsFilesThatAreNoEarlierOutput) {
  for (const char* name :
       {"a.nds", "B.NDS", "c.Nds", ".nds", "-arm7fixed.nds.nds"})
    EXPECT_TRUE(is_game_name(name)) << name;
  for (const char* name :
       {"a.nd", "a.ndsx", "a-arm7fixed.nds", "A-ARM7FIXED.NDS", "nds", ""})
    EXPECT_FALSE(is_game_name(name)) << name;
}

TEST(GameList, NamesAreOrderedWithAsciiCaseIgnored) {
  std::vector<std::string> names = {"b.nds", "\xC3\xA9.nds", "a.nds",
                                    "A.nds", "_.nds",        "Z.nds"};
  std::sort(names.begin(), names.end(), game_name_less);
  EXPECT_EQ((std::vector<std::string>{"_.nds", "A.nds", "a.nds", "b.nds",
                                      "Z.nds", "\xC3\xA9.nds"}),
            names);
}
