#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
# trixie's and sid's Blender for the add-on tests, once per build tree
scripts/blender-chroots.sh build
cmake -S . -B build
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"

# The native suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (the Windows cross builds are checked once, above), selvo in the same
# Blenders.
cmake -S . -B build-asan -DSELVO_SANITIZE=ON -DSELVO_WINDOWS=OFF \
  -DSELVO_BLENDER_CHROOTS="$PWD/build/blender-chroots"
cmake --build build-asan -j "$(nproc)"
ctest --test-dir build-asan --output-on-failure -j "$(nproc)"

# The fuzz targets build and replay their seed corpora without a finding.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DSELVO_FUZZ=ON -DBUILD_TESTING=OFF \
  -DSELVO_WINDOWS=OFF
cmake --build build-fuzz -j "$(nproc)"
ctest --test-dir build-fuzz --output-on-failure -j "$(nproc)"
