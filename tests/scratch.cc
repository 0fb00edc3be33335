// Brenvik tests: scratch folders, files and runs of the built tool.
#include "scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>

#include "rom/messages.h"
#include "rom/status.h"
#include "platform/platform.h"
#include "test_image.h"

namespace fs = std::filesystem;

std::string make_scratch_dir(const std::string& parent) {
  static std::atomic<int> counter{0};
  const testing::TestInfo* info =
      testing::UnitTest::GetInstance()->current_test_info();
  std::string name =
      std::string("brenvik-") + (info ? info->test_suite_name() : "test") +
      "-" + (info ? info->name() : "x") + "-" + std::to_string(process_id()) +
      "-" + std::to_string(counter++);
  std::replace(name.begin(), name.end(), '/', '_');
  fs::path dir = fs::path(parent.empty() ? testing::TempDir() : parent) / name;
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

ToolFolder tool_folder(const std::string& binary_path,
                       const std::string& parent) {
  ToolFolder folder;
  folder.dir = make_scratch_dir(parent);
  folder.tool = folder.dir + "brenvik";
  std::vector<uint8_t> binary = file_bytes(binary_path);
  EXPECT_FALSE(binary.empty());
  EXPECT_TRUE(write_bytes(folder.tool, binary));
  fs::permissions(folder.tool, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec |
                                   fs::perms::others_read |
                                   fs::perms::others_exec);
  return folder;
}

std::string says(std::initializer_list<const char*> messages) {
  std::string text = message_banner;
  for (const char* message : messages) text += message;
  return text;
}

const char* naming(const char* message, const std::string& name) {
  static std::set<std::string> texts;
  return texts.insert(named(message, name)).first->c_str();
}
