// Brenvik fuzzer: arbitrary bytes as a game image and a replacement binary,
// through the real checks and the real rebuild, in a scratch folder.
//
// An input is a 4-byte little-endian length n, then n bytes (at most what
// follows) of replacement binary, then the image. Putting the image last
// means a seed cut short by -max_len still starts with a header.
//
// What every run must hold: the input files are unchanged and nothing but
// the output appears beside them; a refusal leaves no output; in an
// accepted image every part the input header names is found, byte for
// byte, where the output header names it, under a header whose CRC-16 is
// valid. The image also serves as a donor: its ARM7 binary is extracted
// whole, or no file is left.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rom/extract_arm7.h"
#include "image_meaning.h"
#include "rom/cartridge_header.h"
#include "rom/files.h"
#include "cli/rebuild_game.h"
#include "rom/rebuild.h"
#include "test_image.h"

namespace {

// Hears nothing: the fuzzer judges by the values returned.
struct NullStatus : Status {
  void message(const std::string&) override {}
};

std::string scratch;

void fail(const char* what) {
  std::fprintf(stderr, "fuzz_rebuild: %s\n", what);
  std::abort();
}

std::vector<std::string> names_in_scratch() {
  std::vector<std::string> names;
  DIR* dir = opendir(scratch.c_str());
  if (!dir) fail("scratch folder vanished");
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The scratch folder goes when the fuzzer ends; after a finding it stays,
// with the inputs that caused it.
void remove_scratch() {
  for (const std::string& name : names_in_scratch())
    std::remove((scratch + name).c_str());
  ::rmdir(scratch.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The rebuild's messages would drown libFuzzer's own report.
  if (!std::freopen("/dev/null", "w", stdout)) fail("no /dev/null");
  char pattern[] = "/dev/shm/brenvik-fuzz-XXXXXX";
  char fallback[] = "/tmp/brenvik-fuzz-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (!dir) dir = mkdtemp(fallback);
  if (!dir) fail("no scratch folder");
  scratch = std::string(dir) + "/";
  arm7_path = scratch + "arm7.bin";
  std::atexit(remove_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const size_t arm7_length = std::min<size_t>(load_u32le(data), size - 4);
  const std::vector<uint8_t> arm7(data + 4, data + 4 + arm7_length);
  const std::vector<uint8_t> image(data + 4 + arm7_length, data + size);

  const std::string game = scratch + "game.nds";
  const std::string output = scratch + "game-arm7fixed.nds";
  if (!write_bytes(game, image) || !write_bytes(arm7_path, arm7))
    fail("cannot write the inputs");

  const std::string extracted = scratch + "extracted.bin";
  Replacement donor;
  if (look_at_replacement(game, "game.nds", Offered::as_donor, &donor) ==
          Failure::none &&
      extract_arm7(extracted, &donor) == Failure::none) {
    std::vector<uint8_t> binary;
    const uint64_t at =
        load_u32le(image.data() + header_field::arm7_rom_offset);
    const uint64_t size = load_u32le(image.data() + header_field::arm7_size);
    if (!read_bytes(extracted, &binary) || size == 0 ||
        at + size > image.size() ||
        binary !=
            std::vector<uint8_t>(image.begin() + at, image.begin() + at + size))
      fail("extracted binary differs from the donor's");
    std::remove(extracted.c_str());
  }

  const int result = rebuild_game(output, game);

  std::vector<uint8_t> bytes;
  if (!read_bytes(game, &bytes) || bytes != image) fail("game changed");
  if (!read_bytes(arm7_path, &bytes) || bytes != arm7) fail("arm7.bin changed");
  const std::vector<std::string> expected_names =
      result == 1 ? std::vector<std::string>{"arm7.bin", "game-arm7fixed.nds",
                                             "game.nds"}
                  : std::vector<std::string>{"arm7.bin", "game.nds"};
  if (names_in_scratch() != expected_names)
    fail(result == 1 ? "accepted, but the folder holds other files"
                     : "refused, but a file was left behind");
  if (result != 1) return 0;

  // What --verify and the read-back expect is what was written.
  NullStatus quiet;
  Verdict verdict = Verdict::missing;
  uint64_t difference = 0;
  if (verify_rebuild(open_game(game), replacement_at(arm7_path, kArm7Name),
                     output, quiet, &verdict, &difference) != Failure::none ||
      verdict != Verdict::same)
    fail("the output is not what its layout says");
  if (!read_bytes(output, &bytes)) fail("output unreadable");
  const std::string lost = meaning_lost(image, arm7, bytes);
  if (!lost.empty())
    fail(("the output lost part of the game:\n" + lost).c_str());
  std::remove(output.c_str());
  return 0;
}
