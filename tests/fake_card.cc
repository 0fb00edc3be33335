// Brenvik tests: a fake SD card, as a FUSE file system of one card image
// (`card.img`) held in memory, and a control file (`control`). Both are
// read and written with direct_io, so no page cache of the kernel's
// answers for the card.
//
// Writing "trigger" to the control file makes the card play a fake one
// past its true capacity (or one that died read-only): from then on,
// writes to blocks never written before are dropped while reporting
// success, and those blocks read as zeros. Reading the control file gives
// the count of bytes read from the card image so far.
//
//   fake_card MOUNT_POINT CARD_MIB
#define FUSE_USE_VERSION 31
#include <fuse3/fuse.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 4096;

struct Card {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  std::vector<bool> written;  // per block
  bool triggered = false;
  unsigned long long bytes_read = 0;
};
Card card;

bool is_card(const char* path) { return std::strcmp(path, "/card.img") == 0; }
bool is_control(const char* path) { return std::strcmp(path, "/control") == 0; }

int card_getattr(const char* path, struct stat* st, fuse_file_info*) {
  std::memset(st, 0, sizeof *st);
  if (std::strcmp(path, "/") == 0) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
  } else if (is_card(path) || is_control(path)) {
    st->st_mode = S_IFREG | 0644;
    st->st_nlink = 1;
    st->st_size = is_card(path) ? off_t(card.size) : 0;
  } else {
    return -ENOENT;
  }
  return 0;
}

int card_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t,
                 fuse_file_info*, fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) return -ENOENT;
  for (const char* name : {".", "..", "card.img", "control"})
    fill(buffer, name, nullptr, 0, fuse_fill_dir_flags(0));
  return 0;
}

int card_open(const char* path, fuse_file_info* fi) {
  if (!is_card(path) && !is_control(path)) return -ENOENT;
  fi->direct_io = 1;
  return 0;
}

int card_read(const char* path, char* buffer, size_t size, off_t offset,
              fuse_file_info*) {
  if (is_control(path)) {
    const std::string count = std::to_string(card.bytes_read) + "\n";
    if (size_t(offset) >= count.size()) return 0;
    const size_t n = std::min(size, count.size() - size_t(offset));
    std::memcpy(buffer, count.data() + offset, n);
    return int(n);
  }
  if (size_t(offset) >= card.size) return 0;
  const size_t n = std::min(size, card.size - size_t(offset));
  std::memcpy(buffer, card.bytes + offset, n);
  card.bytes_read += n;
  return int(n);
}

int card_write(const char* path, const char* buffer, size_t size,
               off_t offset, fuse_file_info*) {
  if (is_control(path)) {
    if (size >= 7 && std::strncmp(buffer, "trigger", 7) == 0)
      card.triggered = true;
    return int(size);
  }
  if (size_t(offset) >= card.size) return -ENOSPC;
  const size_t n = std::min(size, card.size - size_t(offset));
  for (size_t at = 0; at < n;) {
    const size_t block = (size_t(offset) + at) / kBlock;
    const size_t in_block =
        std::min(n - at, (block + 1) * kBlock - (size_t(offset) + at));
    if (!card.triggered || card.written[block]) {
      std::memcpy(card.bytes + offset + at, buffer + at, in_block);
      card.written[block] = true;
    }
    at += in_block;
  }
  return int(n);
}

int card_truncate(const char*, off_t, fuse_file_info*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fake_card MOUNT_POINT CARD_MIB\n");
    return 2;
  }
  card.size = size_t(std::strtoul(argv[2], nullptr, 10)) << 20;
  void* memory = ::mmap(nullptr, card.size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (memory == MAP_FAILED) return 1;
  card.bytes = static_cast<uint8_t*>(memory);
  card.written.assign(card.size / kBlock + 1, false);

  fuse_operations operations = {};
  operations.getattr = card_getattr;
  operations.readdir = card_readdir;
  operations.open = card_open;
  operations.read = card_read;
  operations.write = card_write;
  operations.truncate = card_truncate;
  char* fuse_argv[] = {argv[0], const_cast<char*>("-f"),
                       const_cast<char*>("-s"), argv[1], nullptr};
  return fuse_main(4, fuse_argv, &operations, nullptr);
}
