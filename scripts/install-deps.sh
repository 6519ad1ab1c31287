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
  nlohmann-json3-dev  # the extras' settings document
  libgif-dev  # selvo sheet's animated GIF
  # Windows module: mingw-w64 cross builds (GoogleTest from its Debian
  # sources), wine64 to run the x86_64 build, Xvfb for dialogs. Recommends
  # stay off: wine64's wine32 comes below, with what runs it.
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

# --- i686: the deliverable itself runs under the 32-bit Wine loader ---
# Natively where the kernel executes 32-bit programs; elsewhere under
# qemu-user's i386 emulator, which scripts/with-i386 hands the programs to.
# Debian 12's own qemu 7.2 cannot run wine32; bookworm-backports has qemu 10,
# signed by the same archive keys as the rest of Debian.
qemu_i386=/usr/libexec/qemu-binfmt/i386-binfmt-P
backports_list=/etc/apt/sources.list.d/bookworm-backports.sources
has_suite() {
  apt-get indextargets --no-release-info --format '$(RELEASE)' | grep -x "$1" >/dev/null
}
add_backports() {
  # The mirror this machine already takes bookworm from.
  local mirror
  mirror=$(apt-get indextargets --no-release-info --format '$(RELEASE) $(SITE)' |
    awk '$1 == "bookworm" && !found { print $2; found = 1 }')
  mirror=${mirror:-http://deb.debian.org/debian}
  echo "adding bookworm-backports from $mirror"
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: %s\n' \
    "$mirror" /usr/share/keyrings/debian-archive-keyring.gpg |
    $sudo_cmd tee "$backports_list.tmp" >/dev/null
  $sudo_cmd mv "$backports_list.tmp" "$backports_list"
}
if ! scripts/runs-32bit.sh >/dev/null && [ ! -x "$qemu_i386" ]; then
  has_suite bookworm-backports || add_backports
  apt_install -t bookworm-backports qemu-user
fi
if ! installed wine32:i386; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo_cmd dpkg --add-architecture i386
  apt_install wine32:i386
fi
# --- end i686 ---
