#!/usr/bin/env bash
# Runs a command on an exFAT volume like a memory card's: an image file
# formatted with mkfs.exfat, attached to a free loop device and mounted
# through FUSE (mount.exfat-fuse; names compare without regard to case, as on
# the card). The mount point is passed to the command as its last argument.
# The volume is unmounted, the loop device detached and the image removed
# whatever happens, also when the command fails or the run is interrupted.
#
#   bench/exfat-volume.sh COMMAND [ARGS...]
#
# Where the machine does not allow it (not root, no free loop device, no
# FUSE, the tools missing), it says why and exits 0 without running the
# command; the command's own exit status is passed on otherwise.
set -uo pipefail

size_mib=${EXFAT_VOLUME_MIB:-256}

cannot() {
  echo "exFAT: not measured: $*"
  exit 0
}

[[ $# -ge 1 ]] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || cannot "needs root (losetup and mount)"
for tool in mkfs.exfat mount.exfat-fuse losetup; do
  command -v "$tool" >/dev/null 2>&1 || cannot "$tool not found (scripts/install-deps bench installs it)"
done
[[ -e /dev/fuse ]] || cannot "no /dev/fuse on this machine"
[[ -e /dev/loop-control ]] || cannot "no loop devices on this machine (/dev/loop-control)"

work=$(mktemp -d "${TMPDIR:-/tmp}/fenmora-exfat.XXXXXX") || cannot "no temporary folder"
image=$work/card.img
mnt=$work/mnt
dev=
mounted=0

cleanup() {
  local status=$?
  if [[ $mounted -eq 1 ]]; then
    local tries=0
    until umount "$mnt" 2>/dev/null; do
      tries=$((tries + 1))
      if [[ $tries -ge 10 ]]; then
        echo "exFAT: $mnt busy, detached lazily" >&2
        umount -l "$mnt" 2>/dev/null || true
        break
      fi
      sleep 0.5
    done
  fi
  [[ -n "$dev" ]] && { losetup -d "$dev" 2>/dev/null || echo "exFAT: could not detach $dev" >&2; }
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

truncate -s "${size_mib}M" "$image" || cannot "could not make a ${size_mib} MiB image in $work"
mkfs.exfat -L FENMORA "$image" >/dev/null 2>&1 || cannot "mkfs.exfat failed"
dev=$(losetup -f --show "$image" 2>/dev/null) || { dev=; cannot "no free loop device (losetup -f)"; }
mkdir -p "$mnt"
mount.exfat-fuse "$dev" "$mnt" >/dev/null 2>&1 || cannot "mount.exfat-fuse $dev failed"
mounted=1
echo "exFAT: ${size_mib} MiB image on $dev, mounted through FUSE at $mnt ($(mount | grep -F " $mnt " | sed 's/.* type //'))"
"$@" "$mnt"
