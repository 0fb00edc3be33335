// Brenvik tests, Windows: holds a file open as another program would (an
// emulator running a fixed game), so that it cannot be deleted or replaced:
//   hold_file PATH MILLISECONDS   (0: until the process is ended)
// It shares the file with no one, and makes PATH.held once it is open.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: hold_file PATH MILLISECONDS\n");
    return 2;
  }
  HANDLE handle = ::CreateFileA(argv[1], GENERIC_READ, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  const std::string held = std::string(argv[1]) + ".held";
  if (std::FILE* marker = std::fopen(held.c_str(), "w")) std::fclose(marker);
  const long milliseconds = std::atol(argv[2]);
  ::Sleep(milliseconds > 0 ? DWORD(milliseconds) : INFINITE);
  ::CloseHandle(handle);
  return 0;
}
