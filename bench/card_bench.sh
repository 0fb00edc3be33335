#!/usr/bin/env bash
# The tool against `cp` followed by `sync` of the copy, on an exFAT card
# image mounted through exfat-fuse, as users fix games on their SD card:
#   card_bench.sh TOOL TEST_IMAGE_TOOL WORK_DIR [PAIRS [TOOL_OPTION]]
# Needs root (a loop device and FUSE). Prints the median ratio of wall
# times and its range.
set -euo pipefail
tool=$1 image_tool=$2 work=$3 pairs=${4:-9} options=(${5:-})
rm -rf "$work" && mkdir -p "$work/card"
truncate -s 128M "$work/card.img"
device=$(losetup -f --show "$work/card.img")
cleanup() {
  umount "$work/card" 2>/dev/null || true
  losetup -d "$device" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkfs.exfat "$device" >/dev/null
mount.exfat-fuse "$device" "$work/card"
card=$work/card

# 17 MB: a small game with 64 files, a signature and 0xFF fill.
cat >"$work/game.txt" <<'DESCRIPTION'
size 0x1100000
arm7 0x4000 0x2000
fnt 0x6000 0x400
fat 0x6400 0x200
banner 0x6800
used 0x1006800
files 64 0x7000 0x40000
fill 0x1006888 0x1100000 0xFF
DESCRIPTION
"$image_tool" make "$work/game.txt" "$card/game.nds"
cp "$tool" "$card/brenvik"
head -c $((0x2400)) /dev/urandom >"$card/arm7.bin"

now() { date +%s.%N; }
ratios=() mine=() theirs=()
for ((i = -1; i < pairs; i++)); do  # round -1 is the warm-up
  rm -f "$card/game-arm7fixed.nds" "$card/copy.nds"
  sync
  start=$(now)
  (cd "$card" && ./brenvik "${options[@]}" game.nds </dev/null >/dev/null)
  middle=$(now)
  cp --reflink=never "$card/game.nds" "$card/copy.nds" && sync "$card/copy.nds"
  end=$(now)
  ((i < 0)) && continue
  mine+=("$(echo "$middle - $start" | bc -l)")
  theirs+=("$(echo "$end - $middle" | bc -l)")
  ratios+=("$(echo "($middle - $start) / ($end - $middle)" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
low=$(printf '%s\n' "${ratios[@]}" | sort -g | head -n 1)
high=$(printf '%s\n' "${ratios[@]}" | sort -g | tail -n 1)
printf '| exFAT card (exfat-fuse), 17 MB game %s' "${options[*]}"
printf ' | %.3f s | %.3f s (cp + sync) | %.2fx (%.2f-%.2f) | %d pairs |\n' \
  "$(median "${mine[@]}")" "$(median "${theirs[@]}")" "$(median "${ratios[@]}")" "$low" "$high" "$pairs"
