// Brenvik: the few operating-system calls the tool needs, one file per
// platform behind this interface (platform-posix.cc, platform-win32.cc).
// Paths are UTF-8 byte strings everywhere; on POSIX they reach the system
// unchanged, on Windows they are turned into UTF-16 here and nowhere else.
#ifndef BRENVIK_ROM_PLATFORM_H_
#define BRENVIK_ROM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// The command line as UTF-8 strings, `argv[0]` first. On Windows the
/// arguments are taken from the system's UTF-16 command line, since `argv`
/// there is in the ANSI code page and loses characters.
std::vector<std::string> command_line_arguments(int argc, char** argv);

/// Opens an existing file for binary reading; nullptr when it cannot.
std::FILE* open_for_reading(const std::string& path);

/// Creates `path` for binary writing, failing when anything of that name
/// already exists, so a temporary name never clobbers a user's file.
std::FILE* create_new_file(const std::string& path);

/// Moves `from` over `to` in one step: `to` names either its old file or
/// the complete new one, never a part.
bool replace_file(const std::string& from, const std::string& to);

/// Deletes a file; false when it was not there or could not be removed.
bool remove_file(const std::string& path);

/// Positions a stream at an absolute 64-bit offset.
bool seek_file(std::FILE* file, uint64_t offset);

/// The size of an open file, taken without moving its position for good.
bool file_size(std::FILE* file, uint64_t* size);

/// Flushes the stream and asks the system to put the data on the disk, so
/// that a rename after it cannot expose a file whose data was never stored.
bool sync_file(std::FILE* file);

/// Copies up to `length` bytes between two files inside the kernel, at the
/// given offsets, without touching either stream's position or buffer
/// (`out` must have been flushed). Returns how many bytes were copied: less
/// than `length`, down to 0, whenever the system cannot or will not do it,
/// and always 0 where no such call exists. The caller copies the rest.
uint64_t copy_in_kernel(std::FILE* in, uint64_t in_offset, std::FILE* out,
                        uint64_t out_offset, uint64_t length);

/// The path of the running executable as the system reports it; empty when
/// the system cannot tell.
std::string executable_path();

/// True when standard input is a terminal or console a person can press a
/// key on.
bool stdin_is_interactive();

/// Waits for a key press the way the platform's console does. Returns true
/// when it waited for a key, false when it could not (no terminal, or input
/// at its end), so callers never loop on a pause that returns at once.
bool wait_for_key_press();

/// A number that tells this process from others running at the same time.
unsigned long process_id();

#endif  // BRENVIK_ROM_PLATFORM_H_
