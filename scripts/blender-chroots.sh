#!/usr/bin/env bash
# Installs Debian's newer Blenders, trixie's (4.3) and sid's (5.x), each into
# a minimal Debian folder of the build tree, for the add-on tests:
#   BUILD_DIR/blender-chroots/SUITE/         the Debian root, Blender in it
#   BUILD_DIR/blender-chroots/SUITE.ready    written once it is complete
#   BUILD_DIR/blender-chroots/SUITE.failed   why it could not be set up
#   BUILD_DIR/blender-chroots/SUITE.log      what debootstrap and apt said
# A folder already set up is kept. One that fails leaves the others alone
# and the script still exits 0: its tests show as skipped with the reason.
# Usage: scripts/blender-chroots.sh BUILD_DIR [SUITE]...   (root; network)
set -euo pipefail

build=$(realpath -m "${1:?usage: blender-chroots.sh BUILD_DIR [SUITE]...}")
shift
suites=("$@")
[ ${#suites[@]} -gt 0 ] || suites=(trixie sid)
mirror=http://deb.debian.org/debian
chroots=$(realpath -m "$build/blender-chroots")
mkdir -p "$chroots"
cd "$(dirname "$0")/.."

# Blender and what its tests use there: OpenGL (5.x no longer pulls it in)
# on Mesa's software renderer for the UI under Xvfb; the X server, xwd and
# ImageMagick run outside.
packages=(blender libgl1 libgl1-mesa-dri)

apt_get() {
  local suite=$1
  shift
  # Sid's Release file can read as expired against a clock that runs ahead
  # of the archive's; signatures are still checked.
  local options=(-o DPkg::Lock::Timeout=900)
  [ "$suite" != sid ] || options+=(-o Acquire::Check-Valid-Until=false)
  scripts/chroot-run.sh "$chroots/$suite" -- \
    env DEBIAN_FRONTEND=noninteractive apt-get "${options[@]}" "$@"
}

install_packages() {
  local suite=$1
  apt_get "$suite" update -qq && apt_get "$suite" install -y -qq --no-install-recommends \
    "${packages[@]}" && apt_get "$suite" clean || {
    echo "apt-get install ${packages[*]} in $suite failed"
    return 1
  }
  scripts/chroot-run.sh "$chroots/$suite" -- blender --version | grep -m1 '^Blender' || {
    echo "Blender in $suite does not start"
    return 1
  }
}

set_up() {
  local suite=$1 dir=$chroots/$1
  rm -rf "$dir"
  # debootstrap mounts /proc and /sys in the new root; a private mount
  # namespace takes them away with it, even when it is stopped.
  unshare --mount --propagation private \
    debootstrap --variant=minbase "$suite" "$dir" "$mirror" || {
    echo "debootstrap $suite failed"
    return 1
  }
  # Blender lists the mounted file systems; a minimal root has no mtab.
  ln -sf ../proc/self/mounts "$dir/etc/mtab"
  install_packages "$suite"
}

# SUITE.ready holds Blender's version, then the packages installed.
for suite in "${suites[@]}"; do
  ready=$chroots/$suite.ready
  if [ "$(id -u)" -ne 0 ] && [ ! -e "$ready" ]; then
    echo "needs root (debootstrap, chroot)" >"$chroots/$suite.failed"
    echo "$suite: $(cat "$chroots/$suite.failed")"
    continue
  fi
  if [ -e "$ready" ] && [ "$(sed -n 2p "$ready")" = "${packages[*]}" ]; then
    echo "$suite: kept ($(head -1 "$ready"))"
    continue
  fi
  rm -f "$chroots/$suite.failed"
  start=$SECONDS
  if [ -e "$ready" ]; then
    echo "$suite: installing ${packages[*]} (log: $chroots/$suite.log)"
    rm "$ready"
    step=install_packages
  else
    echo "$suite: setting up in $chroots/$suite (log: $chroots/$suite.log)"
    step=set_up
  fi
  if $step "$suite" >"$chroots/$suite.log" 2>&1; then
    printf '%s\n%s\n' "$(tail -1 "$chroots/$suite.log")" "${packages[*]}" >"$ready"
    echo "$suite: $(head -1 "$ready"), $((SECONDS - start)) s," \
      "$(du -sh "$chroots/$suite" | cut -f1)"
  else
    tail -1 "$chroots/$suite.log" >"$chroots/$suite.failed"
    echo "$suite: $(cat "$chroots/$suite.failed")"
  fi
done
