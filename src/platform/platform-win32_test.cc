// The Windows platform layer in-process: UTF-8 paths with any characters
// and paths longer than MAX_PATH reach the wide APIs intact.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "reference_rebuild.h"
#include "rom/files.h"
#include "platform/platform.h"
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
  RecordingStatus status;
  EXPECT_EQ(Failure::none,
            rebuild_opened_game(open_game(deep + "game.nds"),
                                replacement_at(deep + "arm7.bin", kArm7Name),
                                deep + "game-arm7fixed.nds", status));
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

namespace {

DWORD attributes_of(const std::string& path) {
  return ::GetFileAttributesW(wide(path).c_str());
}

// Dates the file or folder at `path` `seconds` back.
void age(const std::string& path, int seconds) {
  HANDLE handle = ::CreateFileW(wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle) << path;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time = {{now.dwLowDateTime, now.dwHighDateTime}};
  time.QuadPart -= uint64_t(seconds) * 10000000;
  const FILETIME then = {time.LowPart, time.HighPart};
  EXPECT_TRUE(::SetFileTime(handle, nullptr, nullptr, &then));
  ::CloseHandle(handle);
}

}  // namespace

namespace {

// A process that lives, suspended, until the test ends it: a copy of the
// test program that never runs.
struct LiveProcess {
  PROCESS_INFORMATION info = {};
  LiveProcess() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + wide(executable_path()) + L"\" --gtest_list_tests";
    ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE,
                     CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
  }
  ~LiveProcess() {
    ::TerminateProcess(info.hProcess, 0);
    ::WaitForSingleObject(info.hProcess, INFINITE);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
};

}  // namespace

TEST(Win32Files, ATemporaryIsHiddenUntilNamedAndOnlyALeftoverIsFound) {
  std::string dir = make_scratch_dir();
  NewFile file;
  ASSERT_TRUE(begin_new_file(dir + "game-arm7fixed.nds", &file));
  EXPECT_TRUE(attributes_of(file.temporary_path) & FILE_ATTRIBUTE_HIDDEN);
  // This run's own file is no leftover, however old.
  age(file.temporary_path, 120);
  EXPECT_TRUE(leftovers_beside(dir + "game-arm7fixed.nds").empty());
  ASSERT_EQ(3u, std::fwrite("abc", 1, 3, file.stream));
  ASSERT_TRUE(flush_new_file(&file));
  ASSERT_TRUE(name_new_file(&file, dir + "game-arm7fixed.nds"));
  const DWORD fixed = attributes_of(dir + "game-arm7fixed.nds");
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, fixed);
  EXPECT_FALSE(fixed & FILE_ATTRIBUTE_HIDDEN);

  // No process has an id this large; of its files only the one that has
  // stood unchanged counts. No run has the id 0, or one past a DWORD. A
  // file of this run's id that it did not make, and one of a live process
  // started after the file was written, are earlier runs' (the ids came
  // round again after a reboot).
  const std::string gone = ".brenvik-4000000001-";
  ASSERT_TRUE(write_bytes(dir + gone + "0.tmp", {1, 2}));
  age(dir + gone + "0.tmp", 120);
  LiveProcess live;
  ASSERT_NE(0u, live.info.dwProcessId);
  const std::string own = ".brenvik-" + std::to_string(process_id()) + "-7.tmp";
  const std::string later =
      ".brenvik-" + std::to_string(live.info.dwProcessId) + "-0.tmp";
  for (const std::string& name : {own, later}) {
    ASSERT_TRUE(write_bytes(dir + name, {1, 2, 3}));
    age(dir + name, 120);
  }
  for (const char* never : {".brenvik-0-0.tmp", ".brenvik-4294967296-0.tmp"}) {
    ASSERT_TRUE(write_bytes(dir + never, {1}));
    age(dir + never, 120);
  }
  ASSERT_TRUE(write_bytes(dir + gone + "1.tmp", {1, 2}));
  ASSERT_TRUE(::CreateDirectoryW(wide(dir + gone + "2.tmp").c_str(), nullptr));
  age(dir + gone + "2.tmp", 120);
  std::vector<std::string> found;
  for (const Leftover& leftover : leftovers_beside(dir + "x.nds"))
    found.push_back(leftover.path);
  std::sort(found.begin(), found.end());
  std::vector<std::string> expected = {dir + gone + "0.tmp", dir + own,
                                       dir + later};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, found);
  ::RemoveDirectoryW(wide(dir + gone + "2.tmp").c_str());
  remove_tree(dir);
}

// The read-back: the reader is opened with the file, before its delete
// mark, since real Windows opens nothing marked for deletion; it reads
// whole pieces at piece offsets, the last what remains, and is refused an
// unaligned read, which Wine alone would take. A byte the medium did not
// keep (a hook of the test build) refuses the game, and nothing is left.
TEST(Win32Files, AnOutputIsReadBackInAlignedPiecesBeforeItIsNamed) {
  std::string dir = make_scratch_dir();
  NewFile file;
  ASSERT_TRUE(begin_new_file(dir + "out.nds", &file));
  ASSERT_NE(-1, file.reader.handle);
  const std::vector<uint8_t> bytes = replacement_binary(3 * kMediumPiece + 123);
  ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), file.stream));
  ASSERT_TRUE(flush_new_file(&file));
  ASSERT_EQ(MediumRead::ready, begin_read_back(&file));
  std::vector<uint8_t> read;
  const uint8_t* data = nullptr;
  size_t length = 0;
  for (uint64_t at = 0; at <= bytes.size(); at += kMediumPiece) {
    ASSERT_TRUE(read_medium(&file.reader, at, &data, &length));
    read.insert(read.end(), data, data + length);
  }
  EXPECT_EQ(123u, length);
  EXPECT_TRUE(read == bytes);
  EXPECT_FALSE(read_medium(&file.reader, 512 + 1, &data, &length));
  abandon_new_file(&file);
  EXPECT_TRUE(list_dir(dir).empty());

  const std::vector<uint8_t> game = image_from(kSampleGame);
  ASSERT_TRUE(write_bytes(dir + "game.nds", game));
  ASSERT_TRUE(write_bytes(dir + "arm7.bin", replacement_binary(0x300)));
  RecordingStatus status;
  RunContext run;
  uint64_t difference = 0;
  read_back_flip_at = 0x123;
  EXPECT_EQ(Failure::read_back_differs,
            rebuild_opened_game(open_game(dir + "game.nds"),
                                replacement_at(dir + "arm7.bin", kArm7Name),
                                dir + "game-arm7fixed.nds", status, run,
                                &difference));
  read_back_flip_at = -1;
  EXPECT_EQ(0x123u, difference);
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "game.nds"}), list_dir(dir));
  remove_tree(dir);
}
