#!/usr/bin/env bash
# What reading a fixed game back from the card costs: on ext4 over a loop
# device that reads and writes its backing file directly (no cache of the
# backing file's own), the tool as it runs, the tool with --no-verify, and
# the sequence `cp`, `sync`, and a read of the copy with the caches dropped,
# each started with the caches dropped:
#   readback_bench.sh TOOL TEST_IMAGE_TOOL WORK_DIR [ROUNDS]
# Needs root (a loop device, drop_caches). Prints medians and the ratio of
# the run to the sequence.
set -euo pipefail
tool=$1 image_tool=$2 work=$3 rounds=${4:-7}
rm -rf "$work" && mkdir -p "$work/disk"
truncate -s 512M "$work/disk.img"
device=$(losetup -f --show --direct-io=on "$work/disk.img")
cleanup() {
  umount "$work/disk" 2>/dev/null || true
  losetup -d "$device" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "loop device $device, direct I/O: $(cat /sys/block/${device#/dev/}/loop/dio)"
mkfs.ext4 -q "$device"
mount "$device" "$work/disk"
disk=$work/disk

# 128 MiB: a game with 64 files, a signature and 0xFF fill.
cat >"$work/game.txt" <<'DESCRIPTION'
size 0x8000000
arm7 0x4000 0x2000
fnt 0x6000 0x400
fat 0x6400 0x200
banner 0x6800
used 0x7F06800
files 64 0x7000 0x1FC000
fill 0x7F06888 0x8000000 0xFF
DESCRIPTION
"$image_tool" make "$work/game.txt" "$disk/game.nds"
head -c $((0x2400)) /dev/urandom >"$work/arm7.bin"

cold() { sync; echo 3 >/proc/sys/vm/drop_caches; }
now() { date +%s.%N; }
timed() {  # prints the seconds "$@" took, started cold
  cold
  local start
  start=$(now)
  "$@" </dev/null >/dev/null
  echo "$(now) - $start" | bc -l
}
run=() unverified=() sequence=()
copy_sync_read() {
  cp --reflink=never "$disk/game.nds" "$disk/copy.nds"
  sync "$disk/copy.nds"
  echo 1 >/proc/sys/vm/drop_caches
  cat "$disk/copy.nds" >/dev/null
}
for ((i = -1; i < rounds; i++)); do  # round -1 is the warm-up
  rm -f "$disk/game-arm7fixed.nds" "$disk/copy.nds"
  a=$(timed "$tool" --arm7 "$work/arm7.bin" "$disk/game.nds")
  rm -f "$disk/game-arm7fixed.nds"
  b=$(timed "$tool" --no-verify --arm7 "$work/arm7.bin" "$disk/game.nds")
  c=$(timed copy_sync_read)
  ((i < 0)) && continue
  run+=("$a") unverified+=("$b") sequence+=("$c")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
r=$(median "${run[@]}") u=$(median "${unverified[@]}") s=$(median "${sequence[@]}")
printf '| ext4, loop device with direct I/O, 128 MiB game | %.3f s | %.3f s | %.3f s | %.2f | %d rounds |\n' \
  "$r" "$u" "$s" "$(echo "$r / $s" | bc -l)" "$rounds"
