#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  imagemagick netpbm pngquant  # what bench/compare_peers.py compares selvo with
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pil
  libpng-dev libopenexr-dev
  # Windows module: mingw-w64 cross builds (GoogleTest from its Debian
  # sources), wine64 to run the x86_64 build, Xvfb for dialogs. Recommends
  # stay off: wine64 recommends wine32, which cannot run here.
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest wine64 xvfb xauth
  # Reliability: fuzzing with clang's libFuzzer and sanitizers, valgrind
  clang libclang-rt-14-dev valgrind time
  # Blender add-on: its tests (Cycles in background mode) and the panel
  # screenshot (Blender's UI under Xvfb on Mesa's software OpenGL)
  blender libgl1-mesa-dri
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
