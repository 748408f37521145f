#!/usr/bin/env bash
# Runs the card tests on a real exFAT volume: a 64 MB image formatted with
# mkfs.exfat, attached to a free loop device and mounted through exfat-fuse,
# the way a card reader shows an SD card. FAT names are case-insensitive and
# there are no links; the tests' temporary cards go there through
# FENMORA_TEST_CARD_DIR. Where the machine cannot do this (not root, no free
# loop device, no FUSE, exfat-fuse missing), it says why and reports a skip
# (exit 77). The volume is unmounted and the loop device detached afterwards,
# also when a test fails or the run is interrupted.
#
#   run-on-exfat.sh TEST-PROGRAM [gtest arguments] [-- TEST-PROGRAM [arguments]]...
set -u

skip() {
  echo "exfat: skipped: $*"
  exit 77
}

[[ $# -ge 1 ]] || { echo "usage: $0 TEST-PROGRAM [args] [-- TEST-PROGRAM [args]]..." >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || skip "not root (a loop device and a FUSE mount need root)"
for tool in losetup mkfs.exfat mount.exfat-fuse; do
  command -v "$tool" >/dev/null || skip "$tool missing (scripts/install-deps test, run as root, installs exfat-fuse and exfatprogs)"
done
[[ -c /dev/fuse ]] || skip "no /dev/fuse"
losetup -f >/dev/null 2>&1 || skip "no free loop device"

work=$(mktemp -d /tmp/fenmora-exfat.XXXXXX)
image="$work/card.img"
mnt="$work/card"
mkdir -p "$mnt"
loop=""
mounted=0
cleanup() {
  if [[ $mounted -eq 1 ]]; then
    for _ in 1 2 3 4 5; do umount "$mnt" 2>/dev/null && break; sleep 0.2; done
    mountpoint -q "$mnt" && umount -l "$mnt"
  fi
  [[ -n "$loop" ]] && losetup -d "$loop" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

truncate -s 64M "$image"
mkfs.exfat -L FENMORA "$image" >/dev/null 2>&1 || skip "mkfs.exfat failed"
loop=$(losetup -f --show "$image" 2>/dev/null) || { loop=""; skip "losetup could not attach the image"; }
mount.exfat-fuse -o uid=0,gid=0 "$loop" "$mnt" >/dev/null 2>&1 || skip "mount.exfat-fuse could not mount $loop"
mounted=1
# The volume must really fold case, or the run would prove nothing.
touch "$mnt/Case.probe" && [[ -e "$mnt/CASE.PROBE" ]] || { echo "exfat: $mnt does not fold case"; exit 1; }
rm -f "$mnt/Case.probe"
echo "exfat: $image on $loop mounted at $mnt"

status=0
export FENMORA_TEST_CARD_DIR="$mnt"
while [[ $# -gt 0 ]]; do
  program=("$1")
  shift
  while [[ $# -gt 0 && "$1" != "--" ]]; do program+=("$1"); shift; done
  [[ $# -gt 0 ]] && shift
  echo "exfat: ${program[*]}"
  log="$work/run.log"
  "${program[@]}" 2>&1 | tee "$log"
  [[ ${PIPESTATUS[0]} -eq 0 ]] || status=1
  # The tests that cannot run on this volume (a link, a name FAT refuses)
  # say so, so that a pass does not hide them.
  grep -E '^\[  SKIPPED \] [A-Za-z]' "$log" | sort -u | sed 's/^\[  SKIPPED \] /exfat: skipped on exFAT: /'
done
exit $status
