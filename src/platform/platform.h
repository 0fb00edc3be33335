// Brenvik: the few operating-system calls the tool needs, one file per
// platform behind this interface (platform-posix.cc, platform-win32.cc),
// and what they share (platform-common.cc). Nothing here calls up into the
// library.
// Paths are UTF-8 byte strings everywhere; on POSIX they reach the system
// unchanged, on Windows they are turned into UTF-16 here and nowhere else.
#ifndef BRENVIK_PLATFORM_PLATFORM_H_
#define BRENVIK_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "test_hooks.h"

/// The command line as UTF-8 strings, `argv[0]` first. On Windows the
/// arguments are taken from the system's UTF-16 command line, since `argv`
/// there is in the ANSI code page and loses characters.
std::vector<std::string> command_line_arguments(int argc, char** argv);

/// Opens an existing regular file for binary reading; nullptr when it
/// cannot. Anything else (a FIFO, a device, a folder; on Windows a pipe or
/// a console) is refused without waiting, so a name that does not lead to
/// a file never blocks the tool.
std::FILE* open_for_reading(const std::string& path);

/// True when `path` names something that is there but is no file that can
/// be read: on POSIX systems neither a regular file nor a folder (a FIFO,
/// a device); on Windows a device, or a file the system will not open for
/// reading (held by another program, refused).
bool is_special_file(const std::string& path);

/// True when `path` names a folder.
bool is_folder(const std::string& path);

/// True when `a` and `b` name the same file, through whatever path or
/// link; false when either is not there.
bool same_file(const std::string& a, const std::string& b);

/// The names of the regular files directly in `folder`, in no particular
/// order; false when the folder cannot be read.
bool list_folder_files(const std::string& folder,
                       std::vector<std::string>* names);

/// `name` in `folder`: joined with the system's separator unless the folder
/// already ends in one.
std::string join_path(const std::string& folder, const std::string& name);

/// Whether a file may be replaced by a new one of its name now.
enum class Replaceable {
  yes,        // there is none, or nothing the tool can tell stands in its way
  held,       // another program holds it open (Windows)
  read_only,  // it is marked read-only (Windows)
};

/// Whether the file at `path` can be replaced, waiting about two seconds in
/// short sleeps while another program holds it (an emulator that still
/// runs the game, a virus scanner reading it). On POSIX systems a file in
/// use or marked read-only is replaced all the same: always `yes`.
Replaceable wait_until_replaceable(const std::string& path);

/// Reads a file as the medium holds it, past the system's cache where the
/// system lets it: the check that a card kept what it was given. Reads go
/// in pieces of `kMediumPiece` bytes at offsets that are multiples of it,
/// which meets the alignment any cache-bypassing read asks for.
struct MediumReader {
  intptr_t handle = -1;       // the descriptor or HANDLE; -1 while closed
  uint8_t* buffer = nullptr;  // one piece, aligned for such reads
};
constexpr size_t kMediumPiece = 1 << 20;

/// Whether a file can be read back from its medium.
enum class MediumRead {
  ready,    // the reader is open
  nothing,  // there is no medium but memory (tmpfs, ramfs, the page), or
            // the system gives no way past its cache: nothing to compare
  failed,   // the file could not be opened for reading
};

/// Opens the existing regular file at `path` for reading past the cache;
/// on a file system in memory, or where the system gives no way past its
/// cache, it is read plainly. `failed` where it cannot be opened.
MediumRead open_medium_reader(const std::string& path, MediumReader* reader);

/// Reads the piece at `offset`, a multiple of `kMediumPiece`: `*data`
/// points at its bytes, `*length` of them, fewer than a piece only where
/// the file ends (0 past its end). False on a read error.
bool read_medium(MediumReader* reader, uint64_t offset, const uint8_t** data,
                 size_t* length);

/// Closes the reader; nothing for a closed one.
void close_medium_reader(MediumReader* reader);

/// A file being written that takes its name only once it is complete.
struct NewFile {
  std::FILE* stream;
  std::string temporary_path;  // empty while the file has no name at all
  /// Why `name_new_file` could not give it its name, where the old file of
  /// that name stood in the way.
  Replaceable blocked = Replaceable::yes;
  /// Its bytes as the medium holds them (`begin_read_back`); on Windows
  /// opened with the file, since nothing may open it later.
  MediumReader reader;
};

/// Starts the file that is to become `path`, in the same folder. On Linux
/// it has no name until `name_new_file`, so however the process ends,
/// even killed, nothing is left; where the system cannot do that (FAT and
/// exFAT cards, older kernels, other systems) it has a short hidden
/// temporary name, which an interrupted run removes (see
/// `install_interrupt_cleanup`) and which on Windows goes when the process
/// ends, however it ends, and is marked hidden until it is renamed. What
/// a power cut leaves is a leftover (`leftovers_beside`) for a later run.
bool begin_new_file(const std::string& path, NewFile* file);

/// Puts the whole file on the disk. False when the system says it could
/// not; the file is then to be abandoned.
bool flush_new_file(NewFile* file);

/// After `flush_new_file`: drops what the system caches of the file and
/// opens `file->reader` on it, so that reading it asks the medium. Says
/// `nothing` where there is nothing to read back or no way past the
/// cache; never a reason to refuse the file.
MediumRead begin_read_back(NewFile* file);

/// After `flush_new_file`: gives the file the name `path`, replacing any
/// file of that name, and puts the name on the disk too (on POSIX systems
/// by flushing the folder, on Windows the renamed file, whose flush writes
/// its folder entry on FAT), so that the name is there when it returns,
/// however soon a card is pulled; closes it and its reader. On Windows,
/// while another program holds the old file, it waits as
/// `wait_until_replaceable` does, the new file still hidden and to be
/// deleted. False when any step failed, with `blocked` saying where the
/// old file was in the way; then nothing of it is left.
bool name_new_file(NewFile* file, const std::string& path);

/// The bytes a new file at `path` may still take on its file system;
/// false when the system cannot tell, and then nothing is refused on its
/// account.
bool free_space_for(const std::string& path, uint64_t* bytes);

/// Sets `size` bytes aside for the new file, in one piece where the file
/// system can, without changing its size: FAT and exFAT then give it
/// fewer, longer runs of clusters, which loaders that map a game's
/// clusters need. False only when the system says there is no room (the
/// disk is full, or the size is over the process's file-size limit);
/// where it cannot set space aside at all, true.
bool reserve_space(NewFile* file, uint64_t size);

/// Closes the file and its reader and removes what there is of it.
void abandon_new_file(NewFile* file);

/// A short name in `folder` (empty, or ending in its separator) for a
/// temporary file of this process: `.brenvik-<pid>-<attempt>.tmp`, so that
/// any output name the file system accepts leaves room for it.
std::string temporary_name(const std::string& folder, int attempt);

/// Notes a temporary file this process made at `path`, and asks whether
/// the file at `path` is one. A file named for this process's own id that
/// it did not make was left by an earlier run that had the same id (before
/// a reboot, or in another process namespace).
void note_own_temporary(const std::string& path);
bool is_own_temporary(const std::string& path);

/// True when `name` is exactly `.brenvik-<digits>-<digits>.tmp`, the name
/// `temporary_name` gives, its first number one a process can have: not 0,
/// and held by an unsigned long. `*pid` is then that number.
bool is_temporary_name(const std::string& name, unsigned long* pid);

/// A temporary file a run of the tool left behind when it could not end
/// it: the power failed, or the process was killed outright.
struct Leftover {
  std::string path;  // the folder as given, joined with its name
  uint64_t size;
};

/// How long a leftover must have stood unchanged: a run on another
/// machine that shares the folder keeps changing its file.
constexpr int kLeftoverQuietSeconds = 60;

/// The leftovers in the folder a file at `path` is written into: the
/// regular files directly in it whose name `is_temporary_name` takes,
/// whose number names no process running on this machine, and which have
/// not changed for `kLeftoverQuietSeconds`. Nothing else is one: not a
/// live run's file, not a folder or a link of that name. A file of this
/// process's own id is one unless this process made it; on Windows, so is
/// one whose process was started after the file was last written.
std::vector<Leftover> leftovers_beside(const std::string& path);

/// The folder part of `path` up to and including its last backslash or
/// slash, both counting as separators; empty when it has neither. (Where
/// a backslash is a character of a name, the POSIX file keeps its own
/// split.)
std::string folder_part(const std::string& path);

/// Sets up how the process meets signals: a closed standard output
/// (SIGPIPE) is ignored, since a lost message is no reason to drop a
/// finished rebuild, and so is the file-size limit (SIGXFSZ), so that a
/// write past it fails and is reported like a full disk; on SIGINT, SIGTERM and
/// SIGHUP the named temporary file, if there is one, is removed and the
/// terminal restored before the signal ends the process as it would have.
void install_interrupt_cleanup();

/// Creates `path` for binary writing, failing when anything of that name
/// already exists, so a name of the tool's never clobbers a user's file.
std::FILE* create_new_file(const std::string& path);

/// A new empty file for reading and writing in `scratch_folder()` that
/// has no name anyone could find and is gone once closed or when the
/// process ends, however it ends; nullptr when the system gives none. For
/// data of one run only.
std::FILE* open_scratch_file();

/// The folder scratch files are made in: on POSIX systems TMPDIR, or /tmp
/// where it is not set; on Windows the user's temporary folder.
std::string scratch_folder();

/// Moves `from` over `to` in one step: `to` names either its old file or
/// the complete new one, never a part.
bool replace_file(const std::string& from, const std::string& to);

/// Deletes a file; false when it was not there or could not be removed.
bool remove_file(const std::string& path);

/// `std::fread`, `std::fwrite` and `std::fflush`, each of which a test build
/// can make fail once (as a short count, or false).
size_t read_from(std::FILE* file, void* data, size_t length);
size_t write_to(std::FILE* file, const void* data, size_t length);
bool flush_stream(std::FILE* file);

/// Positions a stream at an absolute 64-bit offset.
bool seek_file(std::FILE* file, uint64_t offset);

/// The size of an open file, taken without moving its position for good.
bool file_size(std::FILE* file, uint64_t* size);

/// Copies up to `length` bytes between two files inside the kernel, at the
/// given offsets, without touching either stream's position or buffer
/// (`out` must have been flushed); in the page, by making the output refer
/// to the picked game's own bytes. Returns how many bytes were copied: less
/// than `length`, down to 0, whenever the system cannot or will not do it,
/// and always 0 where no such call exists. The caller copies the rest.
uint64_t copy_in_kernel(std::FILE* in, uint64_t in_offset, std::FILE* out,
                        uint64_t out_offset, uint64_t length);

/// The path of the running executable as the system reports it; empty when
/// the system cannot tell.
std::string executable_path();

/// True when standard output is a terminal or console a person reads, where
/// a line can be redrawn in place.
bool stdout_is_terminal();

/// Writes `text` (UTF-8) to standard output and flushes it: at a Windows
/// console as the characters it holds, in UTF-16; anywhere else (a POSIX
/// terminal, a file, a pipe) as its bytes.
void write_output(const std::string& text);

/// Waits for one key pressed after `prompt`, which is written first, only
/// when it will wait; keys typed before it are dropped, and a line end
/// follows the key. Returns true when it waited for a key, false when it
/// could not (no terminal or console, input at its end, a call that
/// failed), so callers never loop on a pause that returns at once.
bool wait_for_key_press(const char* prompt);

/// A number that tells this process from others running at the same time.
unsigned long process_id();

#endif  // BRENVIK_PLATFORM_PLATFORM_H_
