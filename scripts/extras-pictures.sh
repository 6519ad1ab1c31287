#!/usr/bin/env bash
# Makes the pictures of docs/extras.md and the README from the demo scene:
# each by the selvo commands docs/extras.md quotes beside it, then cropped,
# enlarged with nearest neighbour and set side by side by Pillow. Transparent
# pixels are drawn over a grey checker so that they show.
#
#   scripts/extras-pictures.sh [SELVO]   (default build/cli/selvo)
set -euo pipefail
cd "$(dirname "$0")/.."
selvo=$(readlink -f "${1:-build/cli/selvo}")
docs=$(pwd)/docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Transparency: the demo has no alpha, so its sky (ID 0) is listed.
"$selvo" config init sky.json
"$selvo" config set sky.json --transparency on --transparent-ids 0
"$selvo" render --demo --extras sky.json --preview transparency.png -q

# Outlines: the three balls in entry 16 (near-black), 4 neighbours.
"$selvo" config init outlines.json
"$selvo" config set outlines.json --outline 2=16 --outline 3=16 --outline 4=16
"$selvo" render --demo --preview plain.png -q
"$selvo" render --demo --extras outlines.json --preview outlines.png -q

# Bayer 8 x 8 on every object against the filter's checkerboard (the demo
# dithers the sky and the green ball).
"$selvo" config init bayer.json
"$selvo" config set bayer.json --ordered-dither 0=bayer8 --ordered-dither 1=bayer8 \
  --ordered-dither 2=bayer8 --ordered-dither 3=bayer8 --ordered-dither 4=bayer8
"$selvo" render --demo --extras bayer.json --preview bayer8.png -q

# OKLab against RGB: most similar colour over the whole 3-3-2 palette.
"$selvo" config init cube.bin
"$selvo" config set cube.bin --source object --method similar --output cube.pcx \
  --range 0=0-255 --range 1=0-255 --range 2=0-255 --range 3=0-255 --range 4=0-255
"$selvo" config init oklab.json
"$selvo" config set oklab.json --matching oklab
"$selvo" render --demo --settings cube.bin --preview rgb.png -q
"$selvo" render --demo --settings cube.bin --extras oklab.json --preview oklab.png -q

# A sheet: the demo's 48-frame loop at 80 x 60, sky transparent, balls
# outlined; ID 0's From, entry 0, is the transparent index.
"$selvo" config init sprite.json
"$selvo" config set sprite.json --transparency on --transparent-ids 0 \
  --outline 2=16 --outline 3=16 --outline 4=16
"$selvo" render --demo --size 80x60 --frames 1-48 --extras sprite.json --output walk.pcx -q
"$selvo" sheet walk00??.pcx --sheet sheet.png --data sheet.json --gif walk.gif --transparent 0

/usr/bin/python3 - "$docs" <<'PY'
import sys
from PIL import Image

docs = sys.argv[1]


def shown(name, box=None, scale=1):
    """The picture as a viewer shows it, transparent pixels over a checker."""
    image = Image.open(name).convert("RGBA")
    if box:
        image = image.crop(box)
    image = image.resize((image.width * scale, image.height * scale), Image.NEAREST)
    checker = Image.new("RGBA", image.size)
    checker.putdata([(204, 204, 204, 255) if (x // 8 + y // 8) % 2 else (255, 255, 255, 255)
                     for y in range(image.height) for x in range(image.width)])
    return Image.alpha_composite(checker, image).convert("RGB")


def side_by_side(images, gap=8):
    width = sum(image.width for image in images) + gap * (len(images) - 1)
    row = Image.new("RGB", (width, max(image.height for image in images)), (255, 255, 255))
    x = 0
    for image in images:
        row.paste(image, (x, 0))
        x += image.width + gap
    return row


balls = (20, 80, 180, 200)  # the three balls of frame 1
pictures = {
    "extras-transparency.png": shown("transparency.png", scale=2),
    "extras-outlines.png": side_by_side([shown("plain.png", balls, 3),
                                         shown("outlines.png", balls, 3)]),
    "extras-bayer.png": side_by_side([shown("plain.png", balls, 3),
                                      shown("bayer8.png", balls, 3)]),
    "extras-oklab.png": side_by_side([shown("rgb.png", scale=2), shown("oklab.png", scale=2)]),
    "extras-sheet.png": shown("sheet.png", scale=2),
}
for name, picture in pictures.items():
    picture.save(f"{docs}/{name}", optimize=True)
tiles = [shown(name, scale=1).resize((240, 180), Image.NEAREST) for name in
         ("transparency.png", "outlines.png", "bayer8.png", "oklab.png")]
side_by_side(tiles + [shown("sheet.png").crop((0, 0, 240, 180))]).save(
    f"{docs}/extras-strip.png", optimize=True)
PY
echo "wrote docs/extras-*.png"
