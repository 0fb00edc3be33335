// The built tool, run end to end in scratch folders with its standard
// input at the null device, as a script or a file manager starts it.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "cli/driver.h"
#include "rom/extract_arm7.h"
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

TEST(Driver, SeveralGamesAreEachFixedAsIfAloneAndCountedAtTheEnd) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(kSampleDonor)));
  const std::vector<uint8_t> game = image_from(kSampleGame);
  ASSERT_TRUE(write_bytes(folder.dir + "a.nds", game));
  ASSERT_TRUE(write_bytes(folder.dir + "broken.nds",
                          image_from(std::string(kSampleGame) + "banner 0x500")));
  ASSERT_TRUE(write_bytes(folder.dir + "c.nds", game));
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"a.nds", "broken.nds", "c.nds"}, folder.dir,
                        &output));
  // The donor is extracted once, before the first game.
  const std::string fixed = std::string(message_rebuilding) +
                            message_download_play + message_success;
  EXPECT_EQ(says({message_extracting, "[1/3] a.nds\n\n", fixed.c_str(),
                  "[2/3] broken.nds\n\n", message_rebuilding,
                  part_banner.in_replaced_stretch, "[3/3] c.nds\n\n",
                  fixed.c_str(), "2 of 3 games fixed.\n\n",
                  "Not fixed:\nbroken.nds\n\n"}),
            output);
  const std::vector<uint8_t> a = file_bytes(folder.dir + "a-arm7fixed.nds");
  EXPECT_EQ(a, file_bytes(folder.dir + "c-arm7fixed.nds"));
  // Byte for byte what a run on the game alone writes.
  ASSERT_TRUE(write_bytes(folder.dir + "alone.nds", game));
  EXPECT_EQ(0, run_tool(folder.tool, {"alone.nds"}, folder.dir, &output));
  EXPECT_EQ(a, file_bytes(folder.dir + "alone-arm7fixed.nds"));
  remove_tree(folder.dir);
}

TEST(Driver, AFolderStandsForTheGamesDirectlyInIt) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  const std::string games = folder.dir + "games";
  const std::vector<uint8_t> game = image_from(kSampleGame);
  for (const char* name : {"b.NDS", "A.nds", "c-ARM7FIXED.nds", "notes.txt",
                           "deeper/d.nds"}) {
    std::filesystem::create_directories(games + "/deeper");
    ASSERT_TRUE(write_bytes(games + "/" + name, game));
  }
  std::filesystem::create_directories(games + "/x.nds");
  std::filesystem::create_directories(folder.dir + "empty");
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"games", "empty"}, folder.dir, &output));
  const std::string fixed = std::string(message_rebuilding) +
                            message_download_play + message_success;
  EXPECT_EQ(says({"No game found in empty!\n\n", "[1/2] games/A.nds\n\n",
                  fixed.c_str(), "[2/2] games/b.NDS\n\n", fixed.c_str(),
                  "2 of 2 games fixed.\n\n"}),
            output);
  EXPECT_EQ((std::vector<std::string>{"A-arm7fixed.nds", "A.nds", "b-arm7fixed.nds",
                                      "b.NDS", "c-ARM7FIXED.nds", "deeper",
                                      "notes.txt", "x.nds"}),
            list_dir(games));
  // A folder with every game in it fixed and no empty one: exit 0.
  EXPECT_EQ(0, run_tool(folder.tool, {"games/"}, folder.dir, &output));
  remove_tree(folder.dir);
}

namespace {

// Runs the tool with standard output (and, unless `input_from_null`,
// standard input) on a pseudo-terminal, typing `keys` once it has printed
// `prompt`; returns all it printed there.
std::string run_on_terminal(const std::string& tool,
                            const std::vector<std::string>& args,
                            const std::string& dir, bool input_from_null,
                            const std::string& prompt = "",
                            const std::string& keys = "",
                            struct termios* after = nullptr) {
  int terminal = -1;
  pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (input_from_null) ::freopen("/dev/null", "r", stdin);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::vector<char*> argv = {const_cast<char*>(tool.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  std::string printed;
  bool typed = keys.empty();
  char piece[4096];
  for (ssize_t n; (n = ::read(terminal, piece, sizeof piece)) > 0;) {
    printed.append(piece, size_t(n));
    if (!typed && printed.find(prompt) != std::string::npos) {
      if (after) ::tcgetattr(terminal, after);  // as the prompt left it
      typed = ::write(terminal, keys.data(), keys.size()) == ssize_t(keys.size());
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (after && typed) ::tcgetattr(terminal, after);
  ::close(terminal);
  return printed;
}

// What a terminal shows of `printed`: of each line, what the last carriage
// return left.
std::string as_shown(std::string printed) {
  for (size_t at; (at = printed.find("\r\n")) != std::string::npos;)
    printed.replace(at, 2, "\n");
  std::string shown, line;
  for (char c : printed) {
    if (c == '\r') line.clear();
    else if (c == '\n') shown += line + "\n", line.clear();
    else line += c;
  }
  return shown + line;
}

}  // namespace

TEST(Driver, ALongRebuildShowsItsProgressOnATerminalOnly) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  // 72 MiB, past the 64 MiB from which the line is shown.
  ASSERT_TRUE(write_bytes(folder.dir + "big.nds", image_from(R"(
    size 0x4800000
    arm7 0x4000 0x1000
    fnt 0x5000 0x40
    fat 0x5040 0x8
    used 0x4700000
    words 0x5040 0x6000 0x4700000
    fill 0x4700088 0x4800000 0xFF
  )")));
  const std::string printed =
      run_on_terminal(folder.tool, {"big.nds"}, folder.dir, true);
  EXPECT_NE(std::string::npos, printed.find("%  36 of 70 MiB")) << printed;
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}),
            as_shown(printed));

  std::string output;
  EXPECT_EQ(0, run_tool(folder.tool, {"big.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}),
            output);
  remove_tree(folder.dir);
}

TEST(Driver, CtrlCAtThePauseLeavesTheTerminalAsItWas) {
  ToolFolder folder = tool_folder();
  struct termios after = {};
  const std::string printed = run_on_terminal(
      folder.tool, {}, folder.dir, false, "Press any key", "\x03", &after);
  EXPECT_NE(std::string::npos, printed.find("Press any key")) << printed;
  EXPECT_TRUE(after.c_lflag & ECHO);
  EXPECT_TRUE(after.c_lflag & ICANON);
  remove_tree(folder.dir);
}
