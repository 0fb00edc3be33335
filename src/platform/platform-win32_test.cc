// The Windows platform layer in-process: UTF-8 paths with any characters
// and paths longer than MAX_PATH reach the wide APIs intact.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "reference_rebuild.h"
#include "rom/files.h"
#include "platform/platform.h"
#include "cli/rebuild_game.h"
#include "rom/rebuild.h"
#include "scratch.h"
#include "test_image.h"

namespace {

std::wstring wide(const std::string& utf8) {
  std::wstring text(utf8.size(), L'\0');
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()),
                                &text[0], int(text.size()));
  text.resize(size_t(n));
  return text;
}

bool exists_as(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(Win32Paths, NonAsciiNamesAreCreatedRenamedAndRemovedAsThemselves) {
  std::string dir = make_scratch_dir();
  const std::string name = "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0 Spiel.nds";
  const std::string renamed = "\xC3\x9C\x62\x65r \xE2\x82\xAC.nds";
  ASSERT_TRUE(write_bytes(dir + name, {1, 2, 3}));
  EXPECT_TRUE(exists_as(wide(dir + name)));
  EXPECT_TRUE(file_exists(dir + name));
  EXPECT_EQ(nullptr, create_new_file(dir + name));  // never clobbers

  EXPECT_TRUE(replace_file(dir + name, dir + renamed));
  EXPECT_FALSE(exists_as(wide(dir + name)));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), file_bytes(dir + renamed));
  EXPECT_TRUE(remove_file(dir + renamed));
  EXPECT_FALSE(file_exists(dir + renamed));
  EXPECT_FALSE(file_exists(dir));  // a folder is no file
  remove_tree(dir);
}

TEST(Win32Paths, AGameDeeperThanMaxPathRebuilds) {
  std::string dir = make_scratch_dir();
  // \\?\ paths take backslashes only.
  std::string deep = dir;
  std::replace(deep.begin(), deep.end(), '/', '\\');
  const std::string segment(60, 'd');
  for (int level = 0; level < 5; ++level) {
    deep += segment + "\\";
    ASSERT_TRUE(
        ::CreateDirectoryW((L"\\\\?\\" + wide(deep)).c_str(), nullptr) ||
        ::GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ASSERT_GT(deep.size(), 300u);
  std::vector<uint8_t> game = image_from(kSampleGame);
  std::vector<uint8_t> arm7 = replacement_binary(0x2F0);
  ASSERT_TRUE(write_bytes(deep + "game.nds", game));
  ASSERT_TRUE(write_bytes(deep + "arm7.bin", arm7));
  arm7_path = deep + "arm7.bin";
  testing::internal::CaptureStdout();
  EXPECT_EQ(1, rebuild_game(deep + "game-arm7fixed.nds", deep + "game.nds"));
  testing::internal::GetCapturedStdout();
  bool trimmed = false;
  EXPECT_TRUE(reference_rebuild(game, arm7, &trimmed) ==
              file_bytes(deep + "game-arm7fixed.nds"));
  for (const char* name : {"game.nds", "arm7.bin", "game-arm7fixed.nds"})
    EXPECT_TRUE(remove_file(deep + name)) << name;
  for (int level = 0; level < 5; ++level) {
    ::RemoveDirectoryW((L"\\\\?\\" + wide(deep)).c_str());
    deep.resize(deep.size() - segment.size() - 1);
  }
  remove_tree(dir);
}

TEST(Win32Paths, TheExecutablesOwnPathNamesThisProgram) {
  std::string path = executable_path();
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(".exe", path.substr(path.size() - 4));
  EXPECT_TRUE(file_exists(path));
}
