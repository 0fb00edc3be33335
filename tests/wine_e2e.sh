#!/usr/bin/env bash
# brenvik.exe end to end under Wine, on images from the test-image builder:
#   wine_e2e.sh BRENVIK_EXE TEST_IMAGE_TOOL_EXE HOLD_FILE_EXE WORK_DIR WINE_COMMAND...
# Each run has standard input at the null device, as when a script starts
# the tool. Output bytes are compared with the builder's literal rebuild.
set -u
tool_exe=$1
image_tool_exe=$2
hold_file_exe=$3
work=$4
shift 4
wine=("$@")
# Wine turns the command line into UTF-16 by the locale's character set.
export LC_ALL=C.UTF-8

source "$(dirname "$0")/checks.sh"
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# Runs the tool (its path as given, relative to DIR) in DIR; sets `status`
# and `printed` (line ends as on POSIX).
run_in() {
  local dir=$1
  shift
  (cd "$dir" && "${wine[@]}" "$@" </dev/null >"$work/printed.raw" 2>/dev/null)
  status=$?
  printed=$(tr -d '\r' <"$work/printed.raw")
}
says() { grep -qF -- "$1" <<<"$printed"; }
times_said() { grep -cF -- "$1" <<<"$printed"; }
image_tool() { "${wine[@]}" "$image_tool_exe" "$@" >/dev/null 2>&1; }

mkdir -p tools games
cp "$tool_exe" tools/brenvik.exe
image_tool samples game.nds tools/donor.nds || { echo "FAIL cannot build images"; exit 1; }
dd if=tools/donor.nds of=donor-arm7.bin bs=1 skip=$((0x800)) count=$((0x300)) 2>/dev/null
image_tool rebuild game.nds donor-arm7.bin expected.nds

expect "the long-path manifest is embedded" grep -qa longPathAware tools/brenvik.exe

# No argument: usage, exit 1.
run_in . tools/brenvik.exe
expect "usage without a game, exit 1" test "$status" = 1
expect "usage message" says "Usage: brenvik [options] <game.nds | folder>..."

# --help: every option, exit 0 at once.
run_in . tools/brenvik.exe --help
expect "--help: exit 0" test "$status" = 0
expect "--help names --donor" says "--donor FILE"

# --arm7 with a backslash path: that binary for this run, nothing beside
# the exe.
mkdir -p bins bare && cp donor-arm7.bin bins/mine.bin && cp "$tool_exe" bare/brenvik.exe
mkdir -p opt && cp game.nds opt/opt.nds
run_in . bare/brenvik.exe --arm7 'bins\mine.bin' 'opt\opt.nds'
expect "--arm7 with backslashes: exit 0" test "$status" = 0
expect "--arm7: output bytes" cmp -s opt/opt-arm7fixed.nds expected.nds
expect "--arm7: nothing beside the exe" test "$(ls bare)" = brenvik.exe

# No replacement and no console: asked once, exit 1, nothing written.
mkdir -p bare && cp "$tool_exe" bare/brenvik.exe
run_in . bare/brenvik.exe game.nds
expect "no replacement: exit 1" test "$status" = 1
expect "no replacement: asked once" test "$(times_said "Place your arm7.bin")" = 1
expect "no replacement: nothing written" test ! -e game-arm7fixed.nds

# A non-ASCII name with a space, in a non-ASCII folder: the donor is
# extracted beside the exe and the output named after the input.
name="ゲーム Spiel"
mkdir -p "games/フォルダ"
cp game.nds "games/フォルダ/$name.nds"
run_in games ../tools/brenvik.exe "フォルダ/$name.nds"
expect "non-ASCII game: exit 0" test "$status" = 0
expect "donor extracted" says "Extracting arm7.bin from donor.nds..."
expect "arm7.bin beside the exe" cmp -s tools/arm7.bin donor-arm7.bin
expect "non-ASCII output name and bytes" cmp -s "games/フォルダ/$name-arm7fixed.nds" expected.nds
expect "success message" says "Game successfully arm7 fixed!"

# Backslashes in the tool's path and the game's, quotes around the game.
cp game.nds games/back.nds
run_in . 'tools\brenvik.exe' '"games\back.nds"'
expect "backslash paths: exit 0" test "$status" = 0
expect "backslash paths: output beside the input" cmp -s games/back-arm7fixed.nds expected.nds

# A path far longer than MAX_PATH (260).
segment=$(printf 'l%.0s' {1..60})
deep="games/$segment/$segment/$segment/$segment/$segment"
mkdir -p "$deep"
cp game.nds "$deep/long.nds"
run_in . tools/brenvik.exe "$(pwd)/$deep/long.nds"
expect "long path (${#deep}+ characters): exit 0" test "$status" = 0
expect "long path: output bytes" cmp -s "$deep/long-arm7fixed.nds" expected.nds

# An unreadable input: message, exit 1, the old output gone.
echo old >games/gone-arm7fixed.nds
run_in . tools/brenvik.exe games/gone.nds
expect "unreadable input: exit 1" test "$status" = 1
expect "unreadable input: message" says "The game could not be written!"
expect "unreadable input: old output removed" test ! -e games/gone-arm7fixed.nds

# A refused image: message, exit 1, nothing beside it but the input.
# The sample game with its banner moved into the stretch the rebuild drops.
mkdir -p games/refused
cp game.nds games/refused/bad.nds
printf '\x00\x05\x00\x00' | dd of=games/refused/bad.nds bs=1 seek=$((0x68)) conv=notrunc 2>/dev/null
run_in . tools/brenvik.exe games/refused/bad.nds
expect "refused image: exit 1" test "$status" = 1
expect "refused image: message" says "The game's banner lies in front of its file name table!"
expect "refused image: nothing written" test "$(ls games/refused)" = bad.nds

# A file name too short to take the suffix.
cp game.nds games/a.b
run_in . tools/brenvik.exe games/a.b
expect "short name: exit 1" test "$status" = 1
expect "short name: message" says "The game's file name is too short!"

# Two games dropped at once, then a folder of games given with a backslash.
mkdir -p games/two games/folder/deeper
cp game.nds games/two/one.nds
cp game.nds games/two/other.nds
run_in . tools/brenvik.exe 'games\two\one.nds' 'games\two\other.nds'
expect "two games: exit 0" test "$status" = 0
expect "two games: numbered" says "[2/2] games\two\other.nds"
expect "two games: counted" says "2 of 2 games fixed."
expect "two games: both outputs" cmp -s games/two/other-arm7fixed.nds expected.nds
cp game.nds games/folder/B.nds
cp game.nds games/folder/a.NDS
cp game.nds games/folder/deeper/c.nds
cp game.nds games/folder/old-arm7fixed.nds
run_in . tools/brenvik.exe 'games\folder'
expect "folder: exit 0" test "$status" = 0
expect "folder: games in name order" says "[1/2] games\folder\a.NDS"
expect "folder: counted" says "2 of 2 games fixed."
expect "folder: outputs" cmp -s games/folder/B-arm7fixed.nds expected.nds
expect "folder: nothing deeper" test ! -e games/folder/deeper/c-arm7fixed.nds

# Standard input from a pipe that never closes, as a script that keeps
# its own input open starts the tool: the final pause must not wait for
# it. `timeout` only turns a hang into a failure.
mkfifo never-closes
exec 3<>never-closes
(cd games && timeout 120 "${wine[@]}" ../tools/brenvik.exe back.nds \
   <../never-closes >"$work/printed.raw" 2>/dev/null)
status=$?
exec 3>&-
expect "piped input that stays open: ends without waiting" test "$status" = 0

# Started with no directory in its name (found on the search path).
run_in tools brenvik.exe ../games/back.nds
expect "bare tool name: exit 0" test "$status" = 0

# What a power cut left beside a game: removed by the next run there and
# said, with its size; a recent one of the same kind stays. No process
# has an id this large.
mkdir -p games/cut
cp game.nds games/cut/cut.nds
head -c 3072 /dev/zero >games/cut/.brenvik-4000000001-0.tmp
touch -d '-2 minutes' games/cut/.brenvik-4000000001-0.tmp
head -c 10 /dev/zero >games/cut/.brenvik-4000000001-1.tmp
run_in . tools/brenvik.exe 'games\cut\cut.nds'
expect "leftover: exit 0" test "$status" = 0
expect "leftover: said" says 'Removed games\cut\.brenvik-4000000001-0.tmp (3 KiB), left by an interrupted run.'
expect "leftover: removed, the recent one kept" test "$(ls -A games/cut)" = "$(printf '.brenvik-4000000001-1.tmp\ncut-arm7fixed.nds\ncut.nds')"
rm games/cut/.brenvik-4000000001-1.tmp

# Names outside ASCII as they are: in a console (Wine hands the console's
# UTF-16 text to its terminal as UTF-8), and as UTF-8 bytes redirected.
mkdir -p games/names
cp game.nds "games/names/pokémon ポケ.nds"
cp game.nds games/names/zz.nds
(cd games/names && timeout 120 script -qec \
   "$(printf '%q ' "${wine[@]}" ../../tools/brenvik.exe 'pokémon ポケ.nds' zz.nds)" \
   /dev/null </dev/null >"$work/console.raw" 2>/dev/null)
expect "console: the name as it is" grep -qaF "[1/2] pokémon ポケ.nds" "$work/console.raw"
run_in games/names ../../tools/brenvik.exe 'pokémon ポケ.nds' zz.nds
expect "redirected: the name as UTF-8 bytes" says "[1/2] pokémon ポケ.nds"

# Another program holding the old output: held a second, the run waits and
# fixes the game; held for good, it writes nothing, says why and leaves
# the old output and the folder as they were. A read-only old output is
# said as such.
hold() {  # hold PATH MILLISECONDS: in the background, until it holds
  rm -f "$1.held"
  "${wine[@]}" "$hold_file_exe" "$1" "$2" >/dev/null 2>&1 &
  holder=$!
  held=$1
  for _ in $(seq 100); do [ -e "$1.held" ] && break; sleep 0.1; done
  rm -f "$1.held"
}
# Ends the holder: the Windows process itself, below whatever started Wine.
release() {
  pkill -f "$(basename "$hold_file_exe") $held"
  wait "$holder" 2>/dev/null
}
mkdir -p games/held
cp game.nds games/held/held.nds
echo old >games/held/held-arm7fixed.nds
hold games/held/held-arm7fixed.nds 1000
run_in games/held ../../tools/brenvik.exe held.nds
wait "$holder"
expect "held a second: exit 0" test "$status" = 0
expect "held a second: fixed" cmp -s games/held/held-arm7fixed.nds expected.nds
echo old >games/held/held-arm7fixed.nds
before=$(ls -A games/held)
hold games/held/held-arm7fixed.nds 0
run_in games/held ../../tools/brenvik.exe held.nds
release
expect "held for good: exit 1" test "$status" = 1
expect "held for good: said" says "The fixed game could not be written: held-arm7fixed.nds is open in another program!"
expect "held for good: old output kept" test "$(cat games/held/held-arm7fixed.nds)" = old
expect "held for good: input kept" cmp -s games/held/held.nds game.nds
expect "held for good: folder as it was" test "$(ls -A games/held)" = "$before"
chmod a-w games/held/held-arm7fixed.nds
run_in games/held ../../tools/brenvik.exe held.nds
expect "read-only: exit 1" test "$status" = 1
expect "read-only: said" says "The fixed game could not be written: held-arm7fixed.nds is read-only!"
expect "read-only: old output kept" test "$(cat games/held/held-arm7fixed.nds)" = old
chmod u+w games/held/held-arm7fixed.nds

# An arm7.bin another program holds is there, not missing: it cannot be
# read, and nothing is extracted over it from donor.nds.
cp tools/arm7.bin held-arm7.bin
hold tools/arm7.bin 0
run_in games ../tools/brenvik.exe back.nds
release
expect "held arm7.bin: exit 1" test "$status" = 1
expect "held arm7.bin: said" says "The arm7.bin could not be read!"
expect "held arm7.bin: not extracted over" test "$(times_said "Extracting")" = 0
expect "held arm7.bin: kept" cmp -s tools/arm7.bin held-arm7.bin

# A device given as the game is refused at once, as a FIFO is on POSIX.
for device in 'CONIN$' COM1; do
  (cd games && timeout 120 "${wine[@]}" ../tools/brenvik.exe "$device" \
     </dev/null >"$work/printed.raw" 2>/dev/null)
  status=$?
  printed=$(tr -d '\r' <"$work/printed.raw")
  expect "device $device: exit 1" test "$status" = 1
  expect "device $device: refused" says "The game could not be written!"
done

# At a console the run ends with the tool's own pause: its prompt, then a
# key, then a line end. (Keys typed ahead reach Wine's console from the
# terminal only when it reads them, after the pause has dropped what was
# typed, so that part is for a real console.)
paused=$(cd games && timeout 120 python3 - "${wine[@]}" ../tools/brenvik.exe back.nds <<'PY'
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execvp(sys.argv[1], sys.argv[1:])
out = b''
# Wine's console draws the trailing blank as a cursor move.
while b'Press any key to continue . . .' not in out:
    out += os.read(fd, 4096)
prompted = len(out)
os.write(fd, b'x')
try:
    while True:
        piece = os.read(fd, 4096)
        if not piece:
            break
        out += piece
except OSError:
    pass
_, status = os.waitpid(pid, 0)
print(os.waitstatus_to_exitcode(status), b'\n' in out[prompted:])
PY
)
expect "pause: a key ends the run, then a line end" test "$paused" = "0 True"

# No run, refused, failed or successful, leaves a temporary file anywhere.
expect "no temporary file left behind" test -z "$(find . -name '.brenvik-*')"

finish_checks
