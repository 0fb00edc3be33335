#!/usr/bin/env bash
# What `cmake --install` and `cpack -G TGZ` give a Linux user:
#   install_check.sh BUILD_DIR WORK_DIR VERSION
# The installed tree holds exactly the tool, its README, manual and licence
# and its man page; the man page renders without a warning; the installed tool
# runs; the archive holds the same tree.
set -u
build=$1
work=$2
version=$3
rm -rf "$work"
mkdir -p "$work"
source "$(dirname "$0")/checks.sh"

expected_tree='./bin/brenvik
./share/doc/brenvik/LICENSE
./share/doc/brenvik/README.md
./share/doc/brenvik/manual.md
./share/man/man1/brenvik.1'

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1
expect "cmake --install succeeds" test $? = 0
tree=$(cd "$work/prefix" && find . -type f | LC_ALL=C sort)
expect "the installed tree is the tool, its docs and its man page" \
  test "$tree" = "$expected_tree"

groff -man -ww -Tutf8 "$work/prefix/share/man/man1/brenvik.1" \
  >"$work/man.txt" 2>"$work/man-warnings.txt"
expect "the man page renders" test -s "$work/man.txt"
expect "the man page renders without a warning" test ! -s "$work/man-warnings.txt"
for heading in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" EXAMPLES; do
  expect "the man page has $heading" grep -q "^$heading" <(col -b <"$work/man.txt")
done
expect "the man page names the version" grep -q "Brenvik $version" "$work/man.txt"
expect "the man page names the manual" grep -q "manual.md" <(col -b <"$work/man.txt")

"$work/prefix/bin/brenvik" </dev/null >"$work/usage.txt" 2>&1
expect "the installed tool runs: usage, exit 1" test $? = 1
expect "the installed tool's banner" \
  test "$(head -n 1 "$work/usage.txt")" = "Brenvik v$version by Tolmaro"

(cd "$build" && cpack -G TGZ -B "$work/package" >"$work/cpack.log" 2>&1)
expect "cpack -G TGZ succeeds" test $? = 0
archive=$(ls "$work"/package/brenvik-"$version"-*.tar.gz 2>/dev/null | head -n 1)
listing=$(tar tzf "$archive" 2>/dev/null | grep -v '/$' | sed 's|^[^/]*/|./|' | LC_ALL=C sort)
expect "the archive holds the installed tree" test "$listing" = "$expected_tree"

finish_checks
