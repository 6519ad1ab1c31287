#!/usr/bin/env bash
# Runs a command inside a Debian folder made by scripts/blender-chroots.sh,
# in a private mount namespace: /proc, /sys, /dev and /dev/pts, and every
# folder named with --bind (at the same path), are mounted for the command
# alone and vanish with it, so nothing stays mounted on the machine.
# Usage: scripts/chroot-run.sh ROOT [--bind FOLDER]... -- COMMAND [ARG]...
set -euo pipefail

# The command gets the caller's PATH; the tools here come from the system's.
if [ "${SELVO_IN_NAMESPACE:-}" != 1 ]; then
  export SELVO_CALLER_PATH=$PATH
  export PATH=/usr/sbin:/usr/bin:/sbin:/bin
  [ "$(id -u)" -eq 0 ] || { echo "chroot-run.sh: needs root (chroot and mount)" >&2; exit 1; }
  SELVO_IN_NAMESPACE=1 exec unshare --mount --propagation private --fork "$0" "$@"
fi

root=$(realpath "${1:?usage: chroot-run.sh ROOT [--bind FOLDER]... -- COMMAND [ARG]...}")
shift
binds=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  [ "$1" = "--bind" ] && [ $# -ge 2 ] || { echo "chroot-run.sh: unexpected '$1'" >&2; exit 2; }
  binds+=("$(realpath "$2")")
  shift 2
done
[ "${1:-}" = "--" ] && [ $# -ge 2 ] || { echo "chroot-run.sh: no command" >&2; exit 2; }
shift

mount -t proc proc "$root/proc"
mount --bind /sys "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
for folder in "${binds[@]}"; do
  mkdir -p "$root$folder"
  mount --bind "$folder" "$root$folder"
done
unset SELVO_IN_NAMESPACE
PATH=$SELVO_CALLER_PATH
unset SELVO_CALLER_PATH
# The command starts in the current folder when the root has it (a bound
# one), as it would outside.
exec /usr/sbin/chroot "$root" /bin/sh -c 'cd "$0" 2>/dev/null || cd /; exec "$@"' "$PWD" "$@"
