#!/usr/bin/env bash
# The zip Windows users download, as they would use it:
#   zip_check.sh BUILD_DIR WORK_DIR VERSION TEST_IMAGE_TOOL_EXE WINE_COMMAND...
# `cpack -G ZIP` makes brenvik-VERSION-win64.zip holding one folder with
# brenvik.exe, README.txt (the manual, CRLF) and LICENSE.txt, nothing else;
# the exe
# carries its version; unpacked, it fixes a game with a donor beside it.
set -u
build=$1
work=$2
version=$3
image_tool_exe=$4
shift 4
wine=("$@")
export LC_ALL=C.UTF-8
rm -rf "$work"
mkdir -p "$work/unpacked"
source "$(dirname "$0")/checks.sh"

(cd "$build" && cpack -G ZIP -B "$work/package" >"$work/cpack.log" 2>&1)
expect "cpack -G ZIP succeeds" test $? = 0
folder=brenvik-$version-win64
zip=$work/package/$folder.zip
expect "the zip is named $folder.zip" test -f "$zip"
listing=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
expect "the zip holds one folder with the exe, README.txt and LICENSE.txt" \
  test "$listing" = "$folder/LICENSE.txt
$folder/README.txt
$folder/brenvik.exe"

(cd "$work/unpacked" && cmake -E tar xf "$zip")
dir=$work/unpacked/$folder
crlf_lines() { grep -c $'\r$' "$1"; }
expect "README.txt has Windows line ends" \
  test "$(crlf_lines "$dir/README.txt")" = "$(wc -l <"$dir/README.txt")"
expect "README.txt opens with the version" \
  test "$(head -n 1 "$dir/README.txt")" = "Brenvik $version"$'\r'
expect "README.txt is the manual, messages and all" \
  test "$(tr -d '\r' <"$dir/README.txt" | tail -n +3)" = "$(cat "$(dirname "$0")/../doc/manual.md")"
expect "LICENSE.txt has Windows line ends" \
  test "$(crlf_lines "$dir/LICENSE.txt")" = "$(wc -l <"$dir/LICENSE.txt")"
strings -el "$dir/brenvik.exe" >"$work/strings.txt"
for value in ProductName Brenvik FileDescription FileVersion ProductVersion \
             LegalCopyright "$version"; do
  expect "the exe's version information has $value" grep -qx "$value" "$work/strings.txt"
done

# A generated game and, beside the unpacked exe, a donor.
"${wine[@]}" "$image_tool_exe" samples "$work/game.nds" "$dir/donor.nds" >/dev/null 2>&1
(cd "$work" && "${wine[@]}" "$dir/brenvik.exe" game.nds </dev/null >"$work/printed.txt" 2>/dev/null)
expect "the unpacked exe fixes a game: exit 0" test $? = 0
expect "the unpacked exe writes the fixed game" test -s "$work/game-arm7fixed.nds"
expect "the unpacked exe extracts arm7.bin beside itself" test -s "$dir/arm7.bin"

finish_checks
