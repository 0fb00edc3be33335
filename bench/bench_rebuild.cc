// Times the tool against `cp --reflink=never` of the same input, run by run
// alternately, on a full 512 MiB dump and on the same game trimmed at its
// used area, with the kernel copy and with the plain path.
//   bench_rebuild TOOL PLAIN_TOOL WORK_DIR [PAIRS]
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_image.h"

namespace {

constexpr uint64_t kImageSize = 0x20000000;  // 512 MiB
constexpr uint64_t kUsed = 0x19999800;       // about 80 % of it

struct Timing {
  double seconds;
  long peak_kib;
  int status;
};

Timing run(const std::vector<std::string>& argv) {
  std::fflush(stdout);  // or the child would write our buffer out again
  auto start = std::chrono::steady_clock::now();
  pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "r", stdin);
    std::freopen("/dev/null", "w", stdout);
    std::vector<char*> args;
    for (const std::string& arg : argv)
      args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::_Exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  ::wait4(child, &status, 0, &usage);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return {took.count(), usage.ru_maxrss,
          WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string game_description(uint64_t size) {
  char text[1024];
  std::snprintf(text, sizeof text,
                "size %#llx\n"
                "arm7 0x40000 0x30000\n"
                "fnt 0x70000 0x4000\n"
                "fat 0x74000 0x8000\n"
                "banner 0x7C000\n"
                "used %#llx\n"
                "files 4096 0x80000 0x19900\n",
                (unsigned long long)size, (unsigned long long)kUsed);
  std::string description = text;
  if (size > kUsed + 0x88) {
    std::snprintf(text, sizeof text, "fill %#llx %#llx 0xFF\n",
                  (unsigned long long)(kUsed + 0x88), (unsigned long long)size);
    description += text;
  }
  return description;
}

bool make_file(const std::string& path, const std::string& description) {
  std::vector<uint8_t> image;
  std::string error;
  if (!build_test_image(description, &image, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  return write_bytes(path, image);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One row: the tool at `tool` on `image` against cp, `pairs` times.
bool measure(const std::string& label, const std::string& tool,
             const std::string& image, const std::string& work, int pairs) {
  const std::string output =
      image.substr(0, image.size() - 4) + "-arm7fixed.nds";
  const std::string copy = work + "/cp-copy.nds";
  std::vector<double> ratios, tool_seconds, cp_seconds;
  long peak = 0;
  for (int i = -1; i < pairs; ++i) {  // round -1 is the warm-up
    std::remove(output.c_str());
    Timing mine = run({tool, image});
    std::remove(copy.c_str());
    Timing theirs = run({"cp", "--reflink=never", image, copy});
    if (mine.status != 0 || theirs.status != 0) {
      std::fprintf(stderr, "%s: a run failed (%d, %d)\n", label.c_str(),
                   mine.status, theirs.status);
      return false;
    }
    if (i < 0) continue;
    ratios.push_back(mine.seconds / theirs.seconds);
    tool_seconds.push_back(mine.seconds);
    cp_seconds.push_back(theirs.seconds);
    peak = std::max(peak, mine.peak_kib);
  }
  std::remove(copy.c_str());
  std::printf(
      "| %-32s | %6.3f s | %6.3f s | %5.2fx (%4.2f-%4.2f) | %5.1f MiB |\n",
      label.c_str(), median(tool_seconds), median(cp_seconds), median(ratios),
      *std::min_element(ratios.begin(), ratios.end()),
      *std::max_element(ratios.begin(), ratios.end()), peak / 1024.0);
  std::fflush(stdout);
  return true;
}

bool same_file(const std::string& a, const std::string& b) {
  std::vector<uint8_t> x, y;
  return read_bytes(a, &x) && read_bytes(b, &y) && x == y;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: bench_rebuild TOOL PLAIN_TOOL WORK_DIR [PAIRS]\n");
    return 2;
  }
  const std::string work = argv[3];
  const int pairs = argc > 4 ? std::atoi(argv[4]) : 7;
  const std::string tools[2] = {work + "/kernel/brenvik",
                                work + "/plain/brenvik"};
  std::vector<uint8_t> arm7(0x31234);
  for (size_t i = 0; i < arm7.size(); ++i) arm7[i] = uint8_t(i * 7 + 1);
  for (int t = 0; t < 2; ++t) {
    std::string dir = work + (t ? "/plain" : "/kernel");
    std::vector<uint8_t> binary;
    if (::system(("mkdir -p '" + dir + "'").c_str()) != 0 ||
        !read_bytes(argv[1 + t], &binary) || !write_bytes(tools[t], binary) ||
        ::chmod(tools[t].c_str(), 0755) != 0 ||
        !write_bytes(dir + "/arm7.bin", arm7)) {
      std::fprintf(stderr, "cannot set up %s\n", dir.c_str());
      return 1;
    }
  }
  struct Image {
    const char* label;
    std::string path;
    uint64_t size;
  } images[] = {{"full 512 MiB dump", work + "/full.nds", kImageSize},
                {"trimmed at its used area", work + "/trimmed.nds", kUsed}};
  std::printf("| %-32s | %-8s | %-8s | %-20s | %-9s |\n", "image, copy path",
              "tool", "cp", "tool/cp (range)", "peak RSS");
  std::printf("|---|---|---|---|---|\n");
  bool ok = true;
  for (const Image& image : images) {
    if (!make_file(image.path, game_description(image.size))) return 1;
    const std::string output =
        image.path.substr(0, image.path.size() - 4) + "-arm7fixed.nds";
    const std::string plain_output = work + "/plain-output.nds";
    ok = ok && measure(std::string(image.label) + ", kernel", tools[0],
                       image.path, work, pairs);
    std::rename(output.c_str(), plain_output.c_str());
    ok = ok && measure(std::string(image.label) + ", plain", tools[1],
                       image.path, work, pairs);
    if (ok && !same_file(output, plain_output)) {
      std::fprintf(stderr, "%s: the two copy paths wrote different images\n",
                   image.label);
      ok = false;
    }
    std::remove(output.c_str());
    std::remove(plain_output.c_str());
    std::remove(image.path.c_str());
  }
  return ok ? 0 : 1;
}
