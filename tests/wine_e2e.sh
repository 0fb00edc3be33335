#!/usr/bin/env bash
# brenvik.exe end to end under Wine, on images from the test-image builder:
#   wine_e2e.sh BRENVIK_EXE TEST_IMAGE_TOOL_EXE WORK_DIR WINE_COMMAND...
# Each run has standard input at the null device, as when a script starts
# the tool. Output bytes are compared with the builder's literal rebuild.
set -u
tool_exe=$1
image_tool_exe=$2
work=$3
shift 3
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

# No run, refused, failed or successful, leaves a temporary file anywhere.
expect "no temporary file left behind" test -z "$(find . -name '.brenvik-*')"

finish_checks
