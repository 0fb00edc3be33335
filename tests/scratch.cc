#include "scratch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "cli/driver.h"
#include "test_image.h"

namespace fs = std::filesystem;

const char* const kSampleGame = R"(
  size 0x3000
  arm7 0x400 0x180
  fnt 0x600 0x40
  fat 0x680 0x10
  banner 0x700
  used 0x1000
  words 0x680 0x900 0x980 0x980 0xF00
  fill 0x1088 0x3000 0xFF
)";

const char* const kSampleDonor = R"(
  size 0x2000
  arm7 0x800 0x300
  fill 0x800 0xB00 0x42
  fnt 0xB00 0
  fat 0xB00 0
)";

std::string make_scratch_dir() {
  static std::atomic<int> counter{0};
  const testing::TestInfo* info =
      testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("brenvik-") +
                     (info ? info->test_suite_name() : "test") + "-" +
                     (info ? info->name() : "x") + "-" +
                     std::to_string(::getpid()) + "-" +
                     std::to_string(counter++);
  std::replace(name.begin(), name.end(), '/', '_');
  fs::path dir = fs::path(testing::TempDir()) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string() + "/";
}

void remove_tree(const std::string& dir) {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

std::vector<std::string> list_dir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> image_from(const std::string& description) {
  std::vector<uint8_t> image;
  std::string error;
  EXPECT_TRUE(build_test_image(description, &image, &error)) << error;
  return image;
}

std::vector<uint8_t> replacement_binary(size_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(seed + i * 3);
  return bytes;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  read_bytes(path, &bytes);
  return bytes;
}

std::string real_data_dir() {
  std::string dir = BRENVIK_DATA_DIR;
  if (!fs::exists(fs::path(dir) / "nitrofs.nds")) return std::string();
  return dir + "/";
}

std::string shell_quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

int run_tool(const std::string& tool, const std::vector<std::string>& args,
             const std::string& dir, std::string* output,
             const std::string& prefix) {
  std::string out_file = dir + ".tool-output";
  std::string command = "cd " + shell_quote(dir) + " && " + prefix + " " +
                        shell_quote(tool);
  for (const std::string& arg : args) command += " " + shell_quote(arg);
  command += " </dev/null >" + shell_quote(out_file) + " 2>&1";
  int status = std::system(command.c_str());
  std::vector<uint8_t> text = file_bytes(out_file);
  std::remove(out_file.c_str());
  *output = std::string(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ToolFolder tool_folder() {
  ToolFolder folder;
  folder.dir = make_scratch_dir();
  folder.tool = folder.dir + "brenvik";
  std::vector<uint8_t> binary = file_bytes(BRENVIK_BINARY);
  EXPECT_FALSE(binary.empty());
  EXPECT_TRUE(write_bytes(folder.tool, binary));
  ::chmod(folder.tool.c_str(), 0755);
  return folder;
}

std::string says(std::initializer_list<const char*> messages) {
  std::string text = message_banner;
  for (const char* message : messages) text += message;
  return text;
}
