#!/usr/bin/env bash
# Builds everything and renders the built-in demo into out/: the animation's
# PCX frames, previews that any image viewer opens, and the same frame with
# the other assignment method.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)"

selvo="$PWD/build/cli/selvo"
mkdir -p out
cd out
# PCX names are relative to the working directory, as the plug-in names them.
"$selvo" render --demo --frames 1-48 -j 2 --quiet
"$selvo" render --demo --preview demo-preview.png --palettized demo-palettized.png --quiet
"$selvo" config init demo-similar.bin --demo --force
"$selvo" config set demo-similar.bin --method similar --output similar.pcx
"$selvo" render --demo --settings demo-similar.bin --preview similar-preview.png --quiet

echo "out/: demo0001.pcx ... demo0048.pcx (uniform distribution, dithered sky and green ball),"
echo "      similar0001.pcx (most similar colour), demo-preview.png, similar-preview.png"
