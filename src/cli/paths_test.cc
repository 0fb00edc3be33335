// Tests of the driver's path functions.
#include "cli/paths.h"

#include <gtest/gtest.h>

TEST(ProgramDirectory, KeepsEverythingUpToTheLastSeparatorOfEitherKind) {
  EXPECT_EQ("D:\\tools\\", program_directory("D:\\tools\\x.exe"));
  EXPECT_EQ("D:/tools/", program_directory("D:/tools/x.exe"));
  EXPECT_EQ("D:\\a/b\\", program_directory("D:\\a/b\\x.exe"));
  EXPECT_EQ("/", program_directory("/brenvik"));
  EXPECT_EQ("", program_directory("brenvik"));
  EXPECT_EQ("", program_directory(""));
}

TEST(StripQuotes, RemovesEveryDoubleQuoteInOrder) {
  std::string path = "\"C:\\My Games\\\"x\"y.nds";
  strip_quotes(path);
  EXPECT_EQ("C:\\My Games\\xy.nds", path);
  std::string plain = "game.nds";
  strip_quotes(plain);
  EXPECT_EQ("game.nds", plain);
}
