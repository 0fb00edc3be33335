// The built tool, run end to end in scratch folders with its standard
// input at the null device, as a script or a file manager starts it.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <filesystem>

#include "cli/console_messages.h"
#include "cli/driver.h"
#include "rom/extract_arm7.h"
#include "rom/cartridge_header.h"
#include "platform/platform.h"
#include "rom/messages.h"
#include "image_meaning.h"
#include "scratch.h"
#include "test_image.h"

TEST(Driver, ExtractsTheDonorsBinaryOnceAndRebuildsWithIt) {
  ToolFolder folder = tool_folder();
  std::vector<uint8_t> donor = image_from(kSampleDonor);
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", donor));
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  std::string output;
  // Started with its standard input closed, as some scripts start it: the
  // donor and the game are then opened as descriptor 0.
  EXPECT_EQ(0, run_tool(folder.tool, {folder.dir + "game.nds"}, folder.dir,
                        &output, "sh -c 'exec \"$0\" \"$@\" <&-'"));
  EXPECT_EQ(says({naming(message_extracting, "donor.nds"), message_rebuilding,
                  message_download_play, message_success}),
            output);
  std::vector<uint8_t> arm7 = file_bytes(folder.dir + "arm7.bin");
  EXPECT_EQ(std::vector<uint8_t>(donor.begin() + 0x800, donor.begin() + 0xB00),
            arm7);
  std::vector<uint8_t> fixed = file_bytes(folder.dir + "game-arm7fixed.nds");
  ASSERT_GT(fixed.size(), 0x700u);
  EXPECT_TRUE(std::equal(arm7.begin(), arm7.end(), fixed.begin() + 0x400));

  // The next run takes arm7.bin as it is and never opens the donor, which
  // is now broken beyond extraction.
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", {1, 2, 3}));
  EXPECT_EQ(0, run_tool(folder.tool, {"game.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}),
            output);
  EXPECT_EQ(fixed, file_bytes(folder.dir + "game-arm7fixed.nds"));
  remove_tree(folder.dir);
}

// A run that fixes nothing says why, exits 1 and leaves the folder as it
// was: no binary from a broken donor, no output of a refused game.
TEST(Driver, ARunThatFixesNothingSaysWhyAndLeavesTheFolderAsItWas) {
  struct Case {
    const char* donor;  // donor.nds, where not null; likewise the others
    const char* game;
    bool arm7;
    std::vector<std::string> args;
    std::vector<const char*> said;
  } cases[] = {
      {nullptr, nullptr, false, {}, {message_usage}},
      {nullptr, kSampleGame, false, {"game.nds"}, {message_place_source}},
      {"size 0x100",
       kSampleGame,
       false,
       {"game.nds"},
       {naming(message_extracting, "donor.nds"),
        naming(message_unreadable, "donor.nds")}},
      {"size 0x1000\narm7 0x800 0",
       kSampleGame,
       false,
       {"game.nds"},
       {naming(message_extracting, "donor.nds"), message_donor_arm7_empty}},
      {"size 0x1000\narm7 0x800 0x801",
       kSampleGame,
       false,
       {"game.nds"},
       {naming(message_extracting, "donor.nds"),
        naming(message_donor_arm7_outside, "donor.nds")}},
      {"size 0x1000\narm7 0xFFFFFFFF 0x10",
       kSampleGame,
       false,
       {"game.nds"},
       {naming(message_extracting, "donor.nds"),
        naming(message_donor_arm7_outside, "donor.nds")}},
      {nullptr,
       "size 0x1000\narm7 0x400 0x120\nfnt 0x600 0x40\nfat 0x680 0\n"
       "banner 0x500",
       true,
       {"game.nds"},
       {message_rebuilding, failure_text(part_banner.in_replaced_stretch)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said.back());
    ToolFolder folder = tool_folder();
    if (c.donor) {
      ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(c.donor)));
    }
    if (c.game) {
      ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(c.game)));
    }
    if (c.arm7) {
      ASSERT_TRUE(
          write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
    }
    const std::vector<std::string> before = list_dir(folder.dir);
    std::string output, expected = says({});
    for (const char* message : c.said) expected += message;
    EXPECT_EQ(1, run_tool(folder.tool, c.args, folder.dir, &output));
    EXPECT_EQ(expected, output);
    EXPECT_EQ(before, list_dir(folder.dir));
    remove_tree(folder.dir);
  }
}

TEST(Driver, NamesTheOutputAfterTheInputWhateverItsNameLooksLike) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "My Game.NDS", image_from(kSampleGame)));
  ASSERT_TRUE(
      write_bytes(folder.dir + "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0.nds",
                  image_from(kSampleGame)));
  std::string output;
  // A closing quote after a backslash reaches the tool as a quote.
  EXPECT_EQ(0, run_tool(folder.tool, {"\"My Game.NDS\""}, folder.dir, &output));
  EXPECT_EQ(0,
            run_tool(folder.tool, {"\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0.nds"},
                     folder.dir, &output));
  EXPECT_FALSE(file_bytes(folder.dir + "My Game-arm7fixed.nds").empty());
  EXPECT_FALSE(file_bytes(folder.dir +
                          "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0-arm7fixed.nds")
                   .empty());

  // Four characters are all the suffix takes; with three it would reach
  // into the folder.
  ASSERT_TRUE(write_bytes(folder.dir + ".nds", image_from(kSampleGame)));
  EXPECT_EQ(0, run_tool(folder.tool, {".nds"}, folder.dir, &output));
  EXPECT_FALSE(file_bytes(folder.dir + "-arm7fixed.nds").empty());
  ASSERT_TRUE(write_bytes(folder.dir + "a.b", image_from(kSampleGame)));
  EXPECT_EQ(1, run_tool(folder.tool, {"a.b"}, folder.dir, &output));
  EXPECT_EQ(says({message_name_too_short}), output);
  EXPECT_EQ(9u, list_dir(folder.dir).size());
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
  EXPECT_EQ(says({message_rebuilding, message_game_unopenable}), output);
  EXPECT_EQ((std::vector<std::string>{"arm7.bin", "brenvik",
                                      "game-arm7fixed.nds", "game.nds"}),
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
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}),
            output);
  EXPECT_EQ((std::vector<std::string>{"game-arm7fixed.nds", "game.nds"}),
            list_dir(games));
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
  ASSERT_TRUE(
      write_bytes(folder.dir + "broken.nds",
                  image_from(std::string(kSampleGame) + "banner 0x500")));
  ASSERT_TRUE(write_bytes(folder.dir + "c.nds", game));
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"a.nds", "broken.nds", "c.nds"},
                        folder.dir, &output));
  // The donor is extracted once, before the first game.
  const std::string fixed =
      std::string(message_rebuilding) + message_download_play + message_success;
  EXPECT_EQ(says({naming(message_extracting, "donor.nds"), "[1/3] a.nds\n\n",
                  fixed.c_str(), "[2/3] broken.nds\n\n", message_rebuilding,
                  failure_text(part_banner.in_replaced_stretch),
                  "[3/3] c.nds\n\n", fixed.c_str(), "2 of 3 games fixed.\n\n",
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
  for (const char* name :
       {"b.NDS", "A.nds", "c-ARM7FIXED.nds", "notes.txt", "deeper/d.nds"}) {
    std::filesystem::create_directories(games + "/deeper");
    ASSERT_TRUE(write_bytes(games + "/" + name, game));
  }
  // Not games: a folder, a link to nothing and a FIFO named like one.
  std::filesystem::create_directories(games + "/x.nds");
  ASSERT_EQ(0, ::symlink("nowhere.nds", (games + "/gone.nds").c_str()));
  ASSERT_EQ(0, ::mkfifo((games + "/pipe.nds").c_str(), 0644));
  std::filesystem::create_directories(folder.dir + "empty");
  std::string output;
  EXPECT_EQ(1, run_tool(folder.tool, {"games", "empty"}, folder.dir, &output));
  const std::string fixed =
      std::string(message_rebuilding) + message_download_play + message_success;
  EXPECT_EQ(says({"No game found in empty!\n\n", "[1/2] games/A.nds\n\n",
                  fixed.c_str(), "[2/2] games/b.NDS\n\n", fixed.c_str(),
                  "2 of 2 games fixed.\n\n"}),
            output);
  EXPECT_EQ(
      (std::vector<std::string>{"A-arm7fixed.nds", "A.nds", "b-arm7fixed.nds",
                                "b.NDS", "c-ARM7FIXED.nds", "deeper",
                                "gone.nds", "notes.txt", "pipe.nds", "x.nds"}),
      list_dir(games));
  // A folder with every game in it fixed and no empty one: exit 0.
  EXPECT_EQ(0, run_tool(folder.tool, {"games/"}, folder.dir, &output));
  EXPECT_NE(std::string::npos, output.find("[1/2] games/A.nds\n\n")) << output;

  // A folder of more games than the process may have files open: each
  // game's files are closed before the next.
  std::filesystem::create_directories(folder.dir + "many");
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(
        write_bytes(folder.dir + "many/" + std::to_string(i) + ".nds", game));
  EXPECT_EQ(
      0, run_tool(folder.tool, {"many"}, folder.dir, &output, "ulimit -n 20;"));
  EXPECT_NE(std::string::npos, output.find("30 of 30 games fixed.")) << output;
  remove_tree(folder.dir);
}

namespace {

// Runs the tool with standard output (and, unless `input_from_null`,
// standard input) on a pseudo-terminal, typing `keys` each time it has
// printed `prompt` again, after `before_keys` where given, and
// `typed_ahead` before it starts; returns all it printed there. A tool that
// prints nothing more for half a minute is ended, so a wait that never ends
// fails instead of hanging; `*ended_by_itself` tells which it was.
std::string run_on_terminal(
    const std::string& tool, const std::vector<std::string>& args,
    const std::string& dir, bool input_from_null,
    const std::string& prompt = "", const std::string& keys = "",
    struct termios* after = nullptr, bool* ended_by_itself = nullptr,
    void (*before_keys)() = nullptr, const std::string& typed_ahead = "") {
  int terminal = -1, tool_side = -1;
  if (::openpty(&terminal, &tool_side, nullptr, nullptr, nullptr) != 0)
    return std::string();
  if (::write(terminal, typed_ahead.data(), typed_ahead.size()) !=
      ssize_t(typed_ahead.size()))
    return std::string();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(terminal);
    if (::login_tty(tool_side) != 0) ::_exit(127);
    if (input_from_null) ::freopen("/dev/null", "r", stdin);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::vector<char*> argv = {const_cast<char*>(tool.c_str())};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(tool.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(tool_side);
  std::string printed;
  bool typed = keys.empty();
  size_t prompts_answered = 0;
  char piece[4096];
  for (ssize_t n;;) {
    struct pollfd ready = {terminal, POLLIN, 0};
    if (::poll(&ready, 1, 30000) != 1) {
      ::kill(pid, SIGKILL);
      break;
    }
    if ((n = ::read(terminal, piece, sizeof piece)) <= 0) break;
    printed.append(piece, size_t(n));
    size_t prompts = 0;
    for (size_t at = 0;
         !keys.empty() && (at = printed.find(prompt, at)) != std::string::npos;
         at += prompt.size())
      ++prompts;
    if (prompts > prompts_answered) {
      prompts_answered = prompts;
      // The pause prints its prompt, then takes the terminal to single
      // keys; a key typed in between would be echoed.
      struct termios now = {};
      for (int wait = 0;
           prompt == message_pause && wait < 500 &&
           ::tcgetattr(terminal, &now) == 0 && (now.c_lflag & ICANON);
           ++wait)
        ::usleep(10000);
      if (after) ::tcgetattr(terminal, after);  // as the prompt left it
      if (before_keys) before_keys();
      typed =
          ::write(terminal, keys.data(), keys.size()) == ssize_t(keys.size());
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (ended_by_itself) *ended_by_itself = WIFEXITED(status);
  if (after && typed) ::tcgetattr(terminal, after);
  ::close(terminal);
  return printed;
}

// What a terminal shows of `printed`: a carriage return takes the cursor
// back to the start of the line, and what follows overwrites what is there;
// spaces at the end of a line show as nothing.
std::string as_shown(std::string printed) {
  for (size_t at; (at = printed.find("\r\n")) != std::string::npos;)
    printed.replace(at, 2, "\n");
  std::string shown, line;
  size_t column = 0;
  auto end_line = [&] {
    line.erase(line.find_last_not_of(' ') + 1);
    shown += line;
    line.clear();
    column = 0;
  };
  for (char c : printed) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      end_line();
      shown += '\n';
    } else {
      if (column < line.size())
        line[column] = c;
      else
        line += c;
      ++column;
    }
  }
  end_line();
  return shown;
}

// 72 MiB, past the 64 MiB from which the progress line is shown, and long
// enough to be interrupted in the middle. The 32 MiB in front of the ARM7
// binary are copied first, so the tail's message comes while the line is
// drawn.
const char* const kBigGame = R"(
  size 0x4800000
  arm7 0x2000000 0x1000
  fnt 0x2001000 0x40
  fat 0x2001040 0x8
  used 0x4700000
  words 0x2001040 0x2002000 0x4700000
  fill 0x4700088 0x4800000 0xFF
)";

}  // namespace

TEST(Driver, ALongRebuildShowsItsProgressOnATerminalOnly) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "big.nds", image_from(kBigGame)));
  const std::string printed =
      run_on_terminal(folder.tool, {"big.nds"}, folder.dir, true);
  EXPECT_NE(std::string::npos, printed.find("%  36 of 70 MiB")) << printed;
  EXPECT_EQ(as_shown(says(
                {message_rebuilding, message_download_play, message_success})),
            as_shown(printed));

  std::string output;
  EXPECT_EQ(0, run_tool(folder.tool, {"big.nds"}, folder.dir, &output));
  EXPECT_EQ(says({message_rebuilding, message_download_play, message_success}),
            output);
  remove_tree(folder.dir);
}

// At a terminal the tool waits for the replacement, as often as it takes;
// each pause takes one key, though an arrow key sends three bytes.
TEST(Driver, WaitsAtATerminalUntilAReplacementIsThere) {
  static ToolFolder folder;
  folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "game.nds", image_from(kSampleGame)));
  bool ended = false;
  const std::string printed = run_on_terminal(
      folder.tool, {"game.nds"}, folder.dir, false, message_pause, "\x1b[A",
      nullptr, &ended, [] {
        static int pauses = 0;
        // Asked twice; the second time there is a binary to take.
        if (++pauses == 2)
          write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0));
      });
  EXPECT_TRUE(ended) << printed;
  const std::string asked =
      std::string(message_place_source) + message_pause + "\n";
  EXPECT_EQ(
      as_shown(says({asked.c_str(), asked.c_str(), message_rebuilding,
                     message_download_play, message_success, message_pause}) +
               "\n"),
      as_shown(printed));
  remove_tree(folder.dir);
}

TEST(Driver, ThePauseTakesOneKeyAndCtrlCThereLeavesTheTerminalAsItWas) {
  ToolFolder folder = tool_folder();
  bool ended = false;
  struct termios after = {};
  std::string printed = run_on_terminal(folder.tool, {}, folder.dir, false,
                                        message_pause, "x", &after, &ended);
  EXPECT_TRUE(ended) << printed;
  EXPECT_EQ(as_shown(says({message_usage, message_pause}) + "\n"),
            as_shown(printed));
  EXPECT_TRUE(after.c_lflag & ECHO);
  EXPECT_TRUE(after.c_lflag & ICANON);

  // A key typed while the tool worked does not answer the pause, and all
  // that an arrow key sends is taken: nothing is left for the shell.
  const std::string then_left =
      shell_quote(folder.tool) +
      "; stty -icanon min 0 time 0; printf '[left:%s]' \"$(dd bs=64 count=1 "
      "2>/dev/null)\"";
  printed =
      run_on_terminal("/bin/sh", {"-c", then_left}, folder.dir, false,
                      message_pause, "\x1b[A", nullptr, nullptr, nullptr, "y");
  EXPECT_EQ(as_shown("y" + says({message_usage, message_pause}) + "\n[left:]"),
            as_shown(printed));

  after = {};
  printed = run_on_terminal(folder.tool, {}, folder.dir, false, "Press any key",
                            "\x03", &after);
  EXPECT_NE(std::string::npos, printed.find("Press any key")) << printed;
  EXPECT_TRUE(after.c_lflag & ECHO);
  EXPECT_TRUE(after.c_lflag & ICANON);

  // Ctrl+C in the middle of a rebuild, before any pause, leaves it as well.
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  ASSERT_TRUE(write_bytes(folder.dir + "big.nds", image_from(kBigGame)));
  after = {};
  printed = run_on_terminal(folder.tool, {"big.nds"}, folder.dir, false,
                            "Rebuilding game...", "\x03", &after);
  EXPECT_TRUE(after.c_lflag & ECHO) << printed;
  EXPECT_TRUE(after.c_lflag & ICANON);
  remove_tree(folder.dir);
}

namespace {

std::string formatted(const char* format, unsigned a, unsigned b) {
  char text[256];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

uint32_t field_of(const std::vector<uint8_t>& image, uint32_t offset) {
  return image[offset] | image[offset + 1] << 8 | image[offset + 2] << 16 |
         uint32_t(image[offset + 3]) << 24;
}

}  // namespace

TEST(Driver, WarnsWhenTheDonorsBinaryRunsAtOtherAddressesAndStillWrites) {
  ToolFolder folder = tool_folder();
  const std::string donor = std::string(kSampleDonor) +
                            "field 0x34 0x2380000\nfield 0x38 0x2380000\n";
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", image_from(donor)));
  const std::string game = kSampleGame;
  ASSERT_TRUE(write_bytes(
      folder.dir + "same.nds",
      image_from(game + "field 0x34 0x2380000\nfield 0x38 0x2380000")));
  const std::vector<uint8_t> other =
      image_from(game + "field 0x34 0x37F8000\nfield 0x38 0x37F8000");
  ASSERT_TRUE(write_bytes(folder.dir + "other.nds", other));
  ASSERT_TRUE(write_bytes(
      folder.dir + "entry.nds",
      image_from(game + "field 0x34 0x2380100\nfield 0x38 0x2380000")));
  const std::string ram_warning =
      formatted(message_address_warning, 0x2380000, 0x37F8000);
  const std::string fixed =
      std::string(message_rebuilding) + message_download_play + message_success;
  std::string output;
  EXPECT_EQ(
      0, run_tool(folder.tool, {"same.nds", "other.nds"}, folder.dir, &output));
  EXPECT_EQ(says({naming(message_extracting, "donor.nds"), "[1/2] same.nds\n\n",
                  fixed.c_str(), "[2/2] other.nds\n\n", ram_warning.c_str(),
                  fixed.c_str(), "2 of 2 games fixed.\n\n",
                  "With warnings:\nother.nds\n\n"}),
            output);
  // The game keeps its own addresses.
  const std::vector<uint8_t> out =
      file_bytes(folder.dir + "other-arm7fixed.nds");
  ASSERT_GT(out.size(), 0x40u);
  EXPECT_EQ(0x37F8000u, field_of(out, 0x34));
  EXPECT_EQ(0x37F8000u, field_of(out, 0x38));

  // arm7.bin, now extracted, is still the donor's binary; where only the
  // entry addresses differ, those are named.
  EXPECT_EQ(0, run_tool(folder.tool, {"entry.nds"}, folder.dir, &output));
  EXPECT_EQ(
      says({formatted(message_address_warning, 0x2380000, 0x2380100).c_str(),
            fixed.c_str()}),
      output);

  // Another binary as arm7.bin, of the donor's size or the donor's with a
  // byte more: said once, and no address is compared.
  std::vector<uint8_t> longer = file_bytes(folder.dir + "arm7.bin");
  longer.push_back(0);
  for (const std::vector<uint8_t>& binary :
       {replacement_binary(0x300), longer}) {
    ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", binary));
    EXPECT_EQ(0, run_tool(folder.tool, {"other.nds", "entry.nds"}, folder.dir,
                          &output));
    EXPECT_EQ(
        says({message_stale_arm7, "[1/2] other.nds\n\n", fixed.c_str(),
              "[2/2] entry.nds\n\n", fixed.c_str(), "2 of 2 games fixed.\n\n"}),
        output);
  }

  // A whole image as arm7.bin would give a game that cannot start.
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", image_from(donor)));
  EXPECT_EQ(1, run_tool(folder.tool, {"same.nds"}, folder.dir, &output));
  EXPECT_EQ(
      says({"The arm7.bin is a whole game image; use it as donor.nds or with "
            "--donor!\n\n"}),
      output);
  remove_tree(folder.dir);
}

TEST(Driver, OptionsNameTheReplacementForOneRunAndCheckWithoutWriting) {
  ToolFolder folder = tool_folder();
  const std::string games = make_scratch_dir();
  const std::string donor = games + "my donor.nds";
  ASSERT_TRUE(write_bytes(
      donor, image_from(std::string(kSampleDonor) + "field 0x38 0x2380000\n")));
  ASSERT_TRUE(write_bytes(games + "bin", replacement_binary(0x300)));
  ASSERT_TRUE(write_bytes(games + "game.nds", image_from(kSampleGame)));
  ASSERT_TRUE(write_bytes(games + "-x.nds", image_from(kSampleGame)));
  ASSERT_TRUE(
      write_bytes(games + "short.nds", std::vector<uint8_t>(100, 0x11)));
  ASSERT_TRUE(write_bytes(games + "outside.nds",
                          image_from("size 0x1000\narm7 0x800 0x801")));
  ASSERT_TRUE(
      write_bytes(games + "broken.nds",
                  image_from(std::string(kSampleGame) + "banner 0x500")));
  const std::vector<std::string> tool_files = list_dir(folder.dir);
  std::string output;

  // --arm7 and --donor write nothing beside the tool, and each gives the
  // output the same binary beside the tool gives.
  EXPECT_EQ(0,
            run_tool(folder.tool, {"--arm7", games + "bin", games + "game.nds"},
                     folder.dir, &output));
  const std::vector<uint8_t> with_bin =
      file_bytes(games + "game-arm7fixed.nds");
  EXPECT_EQ(0,
            run_tool(folder.tool, {"--donor=" + donor, "--", games + "-x.nds"},
                     folder.dir, &output));
  const std::string warning =
      formatted(message_address_warning, 0x2380000,
                field_of(image_from(kSampleGame), 0x38));
  EXPECT_EQ(says({warning.c_str(), message_rebuilding, message_download_play,
                  message_success}),
            output);
  EXPECT_EQ(tool_files, list_dir(folder.dir));
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", file_bytes(games + "bin")));
  EXPECT_EQ(0,
            run_tool(folder.tool, {games + "game.nds"}, folder.dir, &output));
  EXPECT_EQ(with_bin, file_bytes(games + "game-arm7fixed.nds"));
  remove_file(folder.dir + "arm7.bin");

  // --check says what would move and what is refused, and writes nothing.
  const std::vector<std::string> before = list_dir(games);
  EXPECT_EQ(1, run_tool(folder.tool,
                        {"--check", "--donor", donor, games + "game.nds",
                         games + "broken.nds"},
                        folder.dir, &output));
  EXPECT_NE(std::string::npos, output.find(warning));
  EXPECT_NE(std::string::npos,
            output.find("file name table: 0x00000600 -> 0x00000700\n"));
  EXPECT_NE(std::string::npos,
            output.find("banner: 0x00000700 -> 0x00000800\n"));
  EXPECT_NE(std::string::npos, output.find(", with the trailing fill cut.\n"));
  EXPECT_NE(std::string::npos,
            output.find(failure_text(part_banner.in_replaced_stretch)));
  EXPECT_NE(std::string::npos, output.find("1 of 2 games would be fixed.\n\n"));
  EXPECT_EQ(std::string::npos, output.find("Press any key"));
  EXPECT_EQ(before, list_dir(games));
  // With nothing to take the binary from it says so once and stops.
  EXPECT_EQ(1, run_tool(folder.tool, {"--check", games + "game.nds"},
                        folder.dir, &output));
  EXPECT_EQ(says({message_place_source}), output);
  EXPECT_EQ(tool_files, list_dir(folder.dir));

  // --verify compares what a run wrote, one line a game, and writes
  // nothing: a donor's binary is read where it lies, with no scratch file.
  ASSERT_TRUE(write_bytes(games + "fresh.nds", image_from(kSampleGame)));
  EXPECT_EQ(1, run_tool(folder.tool,
                        {"--verify", "--arm7", games + "bin", games + "game.nds",
                         games + "-x.nds", games + "fresh.nds",
                         games + "broken.nds"},
                        folder.dir, &output));
  const size_t differs = output.find(
      games + "-x-arm7fixed.nds differs from the fixed game at byte 0x");
  EXPECT_NE(std::string::npos, differs) << output;
  EXPECT_EQ(
      says({("[1/4] " + games + "game.nds\n\n").c_str(),
            naming(message_verify_same, games + "game-arm7fixed.nds"),
            ("[2/4] " + games + "-x.nds\n\n").c_str(),
            output.substr(differs, output.find("\n\n", differs) + 2 - differs)
                .c_str(),
            ("[3/4] " + games + "fresh.nds\n\n").c_str(),
            naming(message_verify_missing, games + "fresh-arm7fixed.nds"),
            ("[4/4] " + games + "broken.nds\n\n").c_str(),
            failure_text(part_banner.in_replaced_stretch),
            "1 of 4 outputs hold exactly the fixed game.\n\n"}),
      output);
  EXPECT_EQ(0, run_tool(folder.tool, {"--verify", "--donor", donor,
                                      games + "-x.nds"},
                        folder.dir, &output, "TMPDIR=" + games + "none"));
  EXPECT_EQ(says({naming(message_verify_same, games + "-x-arm7fixed.nds"),
                  "1 of 1 outputs hold exactly the fixed game.\n\n"}),
            output);
  ASSERT_TRUE(remove_file(games + "fresh.nds"));
  EXPECT_EQ(before, list_dir(games));
  EXPECT_EQ(tool_files, list_dir(folder.dir));

  // What is not an option, or not a usable one.
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string says;
  } cases[] = {
      {{"--version"}, 0, ""},
      {{"-h"}, 0, std::string(message_usage) + message_help},
      {{"-x.nds"},
       2,
       std::string("Unknown option: -x.nds\n\n") + message_usage},
      {{"--arm7"},
       2,
       std::string("Option --arm7 needs a file!\n\n") + message_usage},
      {{"--arm7", games + "bin"}, 1, message_usage},
      {{"--arm7=a", "--donor=b", "g.nds"},
       2,
       formatted(message_options_conflict, "--arm7", "--donor") +
           message_usage},
      {{"--donor=a", "--donors", "b", "g.nds"},
       2,
       formatted(message_options_conflict, "--donor", "--donors") +
           message_usage},
      {{"--verify", "--no-verify", "g.nds"},
       2,
       formatted(message_options_conflict, "--verify", "--no-verify") +
           message_usage},
      {{"--check", "--verify", "g.nds"},
       2,
       formatted(message_options_conflict, "--verify", "--check") +
           message_usage},
      {{"--arm7", games + "none", "g.nds"},
       1,
       "The " + games + "none could not be read!\n\n"},
      {{"--arm7", donor, games + "game.nds"},
       1,
       "The " + donor +
           " is a whole game image; use it as donor.nds or with --donor!\n\n"},
      // Named as given, whichever way the build merged its texts.
      {{"--donor", "\"" + games + "short.nds\"", games + "game.nds"},
       1,
       "The " + games + "short.nds could not be read!\n\n"},
      {{"--donor", games + "outside.nds", games + "game.nds"},
       1,
       "The donor's arm7 binary lies outside " + games + "outside.nds!\n\n"},
      {{"--check", "--donor", games + "outside.nds", games + "game.nds"},
       1,
       "The donor's arm7 binary lies outside " + games + "outside.nds!\n\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, run_tool(folder.tool, c.args, folder.dir, &output))
        << c.args[0];
    EXPECT_EQ(says({c.says.c_str()}), output);
  }
  EXPECT_EQ(tool_files, list_dir(folder.dir));

  // Where no scratch file can be made for the donor's binary, the run says
  // where it looked, and that no memory is short.
  EXPECT_EQ(1, run_tool(folder.tool, {"--donor", donor, games + "game.nds"},
                        folder.dir, &output, "TMPDIR=" + games + "none"));
  EXPECT_EQ(says({naming(message_scratch_unavailable, games + "none")}),
            output);
  remove_tree(games);
  remove_tree(folder.dir);
}

namespace {

// What --check states of the output: its size, and whether it says the
// trailing fill is cut; false when it states neither.
bool stated_output(const std::string& said, uint64_t* size, bool* cut) {
  const size_t at = said.find(" bytes");
  const size_t from = said.rfind(", ", at);
  if (at == std::string::npos || from == std::string::npos) return false;
  *size = std::stoull(said.substr(from + 2, at - from - 2));
  const std::string cut_said = " bytes, with the trailing fill cut";
  *cut = said.compare(at, cut_said.size(), cut_said) == 0;
  return true;
}

}  // namespace

TEST(Driver, CheckStatesTheSizeTheRunWritesAndACutOnlyWhereFillIsLeftBehind) {
  ToolFolder folder = tool_folder();
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", replacement_binary(0x2F0)));
  const std::string ends_in_data = R"(
    arm7 0x400 0x120
    fnt 0x600 0x40
    fat 0x680 0x8
    banner 0x700
    used 0xF00
    words 0x680 0x900 0xF00
  )";
  std::vector<std::pair<std::string, std::vector<uint8_t>>> games = {
      {"sample.nds", image_from(kSampleGame)},
      {"data.nds", image_from("size 0x1000" + ends_in_data)},
      {"zeros.nds",
       image_from("size 0x1000" + ends_in_data + "fill 0xF80 0x1000 0x00")},
      {"odd.nds", image_from("size 0x1003" + ends_in_data)},
      // A tail of more than one 10 MiB chunk, of odd length, all of it data.
      {"long.nds", image_from("size 0xB00001" + ends_in_data +
                              "used 0xB00001\n"
                              "words 0x680 0x900 0xB00001")},
  };
  const std::string data = real_data_dir();
  for (const char* name : {"nitrofs.nds", "slot1launch.nds"})
    if (!data.empty()) games.push_back({name, file_bytes(data + name)});
  for (const auto& [name, game] : games) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(write_bytes(folder.dir + name, game));
    std::string said;
    EXPECT_EQ(0, run_tool(folder.tool, {"--check", name}, folder.dir, &said));
    uint64_t size = 0;
    bool cut = false;
    ASSERT_TRUE(stated_output(said, &size, &cut)) << said;
    std::string output;
    EXPECT_EQ(0, run_tool(folder.tool, {name}, folder.dir, &output));
    const std::vector<uint8_t> fixed = file_bytes(
        folder.dir + name.substr(0, name.size() - 4) + "-arm7fixed.nds");
    ASSERT_EQ(size, fixed.size());
    EXPECT_EQ("", meaning_lost(game, replacement_binary(0x2F0), fixed));
    // The input's bytes behind the end of the output, moved back by the
    // distance the FNT moved: fill (one byte over and over) that the run
    // left behind, or nothing.
    const int64_t shift = int64_t(field_of(fixed, 0x40)) - field_of(game, 0x40);
    const int64_t end = int64_t(fixed.size()) - shift;
    const bool fill_left =
        end < int64_t(game.size()) &&
        (game[end] == 0x00 || game[end] == 0xFF) &&
        std::all_of(game.begin() + end, game.end(),
                    [&](uint8_t b) { return b == game[end]; });
    EXPECT_EQ(fill_left, cut) << said;
  }
  remove_tree(folder.dir);
}

// Each game and donor says its SDK version; with several donors each game
// takes the one of its side of SDK 5, and one across it is warned of.
TEST(Driver, SeveralDonorsEachGameTakesTheOneThatFitsAndSdk5IsWarnedOf) {
  ToolFolder folder = tool_folder();
  const std::string donors = folder.dir + "donors/";
  std::filesystem::create_directories(donors);
  const std::string donor = std::string(kSampleDonor) + "arm9 0x200 0x200\n";
  const std::vector<uint8_t> d41 =
      image_from(donor + "sdk 0x40 0x04010000\nfooter 0x40");
  const std::vector<uint8_t> d50 =
      image_from(donor + "sdk 0x80 0x05000000\nfill 0x800 0xB00 0x43");
  ASSERT_TRUE(write_bytes(donors + "d41.nds", d41));
  ASSERT_TRUE(write_bytes(donors + "D50.nds", d50));
  ASSERT_TRUE(write_bytes(donors + "broken.nds", {1, 2, 3}));
  ASSERT_TRUE(write_bytes(donors + "old-arm7fixed.nds", {1, 2, 3}));
  const std::string game = std::string(kSampleGame) + "arm9 0x200 0x100\n";
  const std::vector<uint8_t> g42 = image_from(game + "sdk 0x40 0x04027531");
  const std::vector<uint8_t> g50 = image_from(game + "sdk 0x40 0x05003001");
  ASSERT_TRUE(write_bytes(folder.dir + "g42.nds", g42));
  ASSERT_TRUE(write_bytes(folder.dir + "g50.nds", g50));
  const std::vector<std::string> tool_files = list_dir(folder.dir);
  const std::string fixed =
      std::string(message_rebuilding) + message_download_play + message_success;
  const std::string unreadable = "The " + donors + "broken.nds could not be read!\n\n";
  std::string output;

  // The donors folder beside the tool, and the same folder named.
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"--donors", donors}}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"g42.nds", "g50.nds"});
    EXPECT_EQ(0, run_tool(folder.tool, args, folder.dir, &output));
    EXPECT_EQ(says({unreadable.c_str(), "[1/2] g42.nds\n\n",
                    "Using the arm7 binary of d41.nds (SDK 4.1).\n\n",
                    fixed.c_str(), "[2/2] g50.nds\n\n",
                    "Using the arm7 binary of D50.nds (SDK 5.0).\n\n",
                    fixed.c_str(), "2 of 2 games fixed.\n\n"}),
              output);
    EXPECT_EQ("", meaning_lost(g42, {d41.begin() + 0x800, d41.begin() + 0xB00},
                               file_bytes(folder.dir + "g42-arm7fixed.nds")));
    EXPECT_EQ("", meaning_lost(g50, {d50.begin() + 0x800, d50.begin() + 0xB00},
                               file_bytes(folder.dir + "g50-arm7fixed.nds")));
    // Nothing written beside the tool but the games.
    remove_file(folder.dir + "g42-arm7fixed.nds");
    remove_file(folder.dir + "g50-arm7fixed.nds");
    EXPECT_EQ(tool_files, list_dir(folder.dir));
  }

  // One donor across SDK 5: said in --check with both versions, and
  // warned of in the run, which still writes the game.
  const std::string warning =
      "Warning: the donor's arm7 binary was built with SDK 4.1, the game "
      "with SDK 5.0; from SDK 5 on the system's shared data lies elsewhere "
      "in memory, so the fixed game may not start!\n\n";
  EXPECT_EQ(0, run_tool(folder.tool,
                        {"--check", "--donor", donors + "d41.nds", "g50.nds"},
                        folder.dir, &output));
  const std::string replacement = "Replacement: the arm7 binary of " + donors +
                                  "d41.nds, built with SDK 4.1 (0x04010000).\n\n";
  EXPECT_EQ(0u, output.find(says({replacement.c_str(),
                                  "Game: built with SDK 5.0 (0x05003001).\n\n",
                                  warning.c_str()})))
      << output;
  EXPECT_EQ(0, run_tool(folder.tool,
                        {"--donor", donors + "d41.nds", "g50.nds", "g42.nds"},
                        folder.dir, &output));
  EXPECT_EQ(says({"[1/2] g50.nds\n\n", warning.c_str(), fixed.c_str(),
                  "[2/2] g42.nds\n\n", fixed.c_str(), "2 of 2 games fixed.\n\n",
                  "With warnings:\ng50.nds\n\n"}),
            output);

  // arm7.bin has the version of donor.nds beside it only while it is that
  // donor's binary.
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", d41));
  for (const char* replacement :
       {"Replacement: the arm7 binary of donor.nds, built with SDK 4.1 "
        "(0x04010000).\n\n",
        "Replacement: arm7.bin, built with SDK 4.1 (0x04010000).\n\n"}) {
    EXPECT_EQ(0, run_tool(folder.tool, {"--check", "g42.nds"}, folder.dir,
                          &output));
    EXPECT_EQ(0u, output.find(says({replacement}))) << output;
    EXPECT_EQ(0, run_tool(folder.tool, {"g42.nds"}, folder.dir, &output));
  }
  ASSERT_TRUE(write_bytes(folder.dir + "donor.nds", d50));
  EXPECT_EQ(0, run_tool(folder.tool, {"--check", "g42.nds"}, folder.dir,
                        &output));
  EXPECT_EQ(0u, output.find(says({message_stale_arm7,
                                  "Replacement: arm7.bin, no SDK version.\n\n"})))
      << output;
  remove_file(folder.dir + "donor.nds");

  // A bare arm7.bin tells its side of SDK 5 by its start code, and is
  // warned of across it, in --check and in the run.
  std::vector<uint8_t> side5 = replacement_binary(0x300);
  store_u32le(side5.data() + 0x20, 0x02FFFFFA);
  ASSERT_TRUE(write_bytes(folder.dir + "arm7.bin", side5));
  const std::string bare_warning =
      "Warning: arm7.bin was built with SDK 5 or later, the game with SDK "
      "4.2; from SDK 5 on the system's shared data lies elsewhere in memory, "
      "so the fixed game may not start!\n\n";
  EXPECT_EQ(0, run_tool(folder.tool, {"--check", "g42.nds"}, folder.dir,
                        &output));
  EXPECT_EQ(0u, output.find(says(
                    {"Replacement: arm7.bin, built with SDK 5 or later.\n\n",
                     "Game: built with SDK 4.2 (0x04027531).\n\n",
                     bare_warning.c_str()})))
      << output;
  EXPECT_EQ(0, run_tool(folder.tool, {"g50.nds", "g42.nds"}, folder.dir,
                        &output));
  EXPECT_EQ(says({"[1/2] g50.nds\n\n", fixed.c_str(), "[2/2] g42.nds\n\n",
                  bare_warning.c_str(), fixed.c_str(),
                  "2 of 2 games fixed.\n\n", "With warnings:\ng42.nds\n\n"}),
            output);
  remove_file(folder.dir + "g42-arm7fixed.nds");
  remove_file(folder.dir + "g50-arm7fixed.nds");
  remove_file(folder.dir + "arm7.bin");

  // A folder with no donor that can serve ends the run; an empty donors
  // folder is no source at all.
  ASSERT_TRUE(remove_file(donors + "d41.nds"));
  ASSERT_TRUE(remove_file(donors + "D50.nds"));
  EXPECT_EQ(1, run_tool(folder.tool, {"g42.nds"}, folder.dir, &output));
  EXPECT_EQ(says({unreadable.c_str(),
                  naming(message_no_usable_donor, folder.dir + "donors")}),
            output);
  ASSERT_TRUE(remove_file(donors + "broken.nds"));
  EXPECT_EQ(1, run_tool(folder.tool, {"--check", "g42.nds"}, folder.dir,
                        &output));
  EXPECT_EQ(says({message_place_source}), output);
  remove_tree(folder.dir);
}
