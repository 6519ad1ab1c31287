#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config clang-format
  imagemagick netpbm pngquant  # what bench/compare_peers.py compares selvo with
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pil
  libpng-dev libisal-dev libopenexr-dev
  # Windows module: mingw-w64 cross builds (GoogleTest from its Debian
  # sources), wine64 to run the x86_64 build, Xvfb for dialogs. Recommends
  # stay off: wine64 recommends wine32, which only some machines can run
  # (see below).
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest wine64 xvfb xauth
  # Reliability: fuzzing with clang's libFuzzer and sanitizers, valgrind
  clang libclang-rt-14-dev valgrind time
  # Blender add-on: its tests (Cycles in background mode) and the panel
  # screenshot (Blender's UI under Xvfb on Mesa's software OpenGL)
  blender libgl1-mesa-dri
  # Newer Blenders for the add-on tests (scripts/blender-chroots.sh): Debian
  # roots made by debootstrap; the panel picture captured by xwd.
  debootstrap x11-apps
)

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
apt_install() {
  echo "installing: $*"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "$@"
}
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"

# The 32-bit Wine loader runs the i686 build (the deliverable itself), but
# only where the kernel executes 32-bit programs; elsewhere its tests skip.
if ! why_not=$(scripts/runs-32bit.sh); then
  echo "not installing wine32: $why_not; the i686 Windows tests will be skipped"
elif ! installed wine32:i386; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo_cmd dpkg --add-architecture i386
  apt_install wine32:i386
fi
