#!/usr/bin/env bash
# Long runs of `selvo render` over frame sequences:
#   1. 200 small frames under valgrind memcheck: no error and no leak;
#   2. 200 frames of 1920 x 1080: the peak resident memory once frame 10 is
#      written stays where it is up to frame 200;
#   3. Ctrl-C at several moments of a 1080p sequence: exit status 130, no
#      partial file, and every PCX left behind complete.
# Prints the figures and exits non-zero when a check fails.
#
# usage: scripts/long_run.sh [SELVO]    (default: build/cli/selvo)
set -euo pipefail
cd "$(dirname "$0")/.."
selvo=$(realpath "${1:-build/cli/selvo}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Colour and ID PNGs, written without any imaging library. Every small frame
# differs; the 1080p frame is one file that all 200 names link to.
python3 - "$work" <<'EOF'
import os, struct, sys, zlib

def png(path, width, height, channels, row):
    colour_type = {1: 0, 3: 2}[channels]
    raw = b"".join(b"\0" + row(y) for y in range(height))
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))

work = sys.argv[1]
for folder in ("small", "hd"):
    os.makedirs(os.path.join(work, folder))
for n in range(1, 201):
    png(f"{work}/small/c{n:03d}.png", 48, 32, 3,
        lambda y: bytes((x * 5 + y * 7 + n * c * 3) % 256 for x in range(48) for c in range(3)))
    png(f"{work}/small/i{n:03d}.png", 48, 32, 1,
        lambda y: bytes((x // 3 + y // 4 + n) % 16 for x in range(48)))
png(f"{work}/hd/color.png", 1920, 1080, 3,
    lambda y: bytes((x + y + c * 85) % 256 for x in range(1920) for c in range(3)))
png(f"{work}/hd/ids.png", 1920, 1080, 1, lambda y: bytes(x // 120 for x in range(1920)))
for n in range(1, 201):
    os.symlink("color.png", f"{work}/hd/c{n:03d}.png")
    os.symlink("ids.png", f"{work}/hd/i{n:03d}.png")
EOF

# Settings that give every ID its own band, so that every pixel is mapped
# through a real range.
"$selvo" config init "$work/ramps.bin" >/dev/null
for id in $(seq 0 15); do
  "$selvo" config set "$work/ramps.bin" --range "$id=$((id * 16))-$((id * 16 + 15))" >/dev/null
done

# Checks that every PCX in a folder is whole: header, every scanline, and
# the palette trailer exactly at the end. Prints how many there are.
check_pcx() {
  python3 - "$1" <<'EOF'
import glob, struct, sys
count = 0
for path in sorted(glob.glob(sys.argv[1] + "/*.pcx")):
    data = open(path, "rb").read()
    width, height = (struct.unpack("<H", data[8:10])[0] + 1, struct.unpack("<H", data[10:12])[0] + 1)
    at = 128
    for _ in range(height):
        x = 0
        while x < width:
            byte = data[at]
            at += 1
            if byte >= 0xC0:
                x += byte & 0x3F
                at += 1
            else:
                x += 1
    if data[:2] != b"\x0a\x05" or at != len(data) - 769 or data[at] != 0x0C:
        sys.exit(f"incomplete PCX file: {path}")
    count += 1
print(count)
EOF
}

echo "== 200 frames of 48 x 32 under valgrind memcheck"
mkdir "$work/out1"
start=$SECONDS
if (cd "$work/out1" && valgrind --quiet --error-exitcode=99 --leak-check=full \
      --show-leak-kinds=definite,indirect,possible \
      --errors-for-leak-kinds=definite,indirect,possible --log-file="$work/valgrind.log" \
      "$selvo" render -q --settings "$work/ramps.bin" --frames 1-200 \
      --color "$work/small/c###.png" --ids "$work/small/i###.png"); then
  echo "valgrind: no error, no leak ($((SECONDS - start)) s)"
else
  fail "valgrind reported problems:"; cat "$work/valgrind.log"
fi
written=$(check_pcx "$work/out1") || fail "$written"
[ "$written" = 200 ] && echo "PCX files: 200, all complete" || fail "$written PCX files instead of 200"

echo "== 200 frames of 1920 x 1080: peak resident memory"
mkdir "$work/out2"
(cd "$work/out2" && exec "$selvo" render --settings "$work/ramps.bin" --frames 1-200 \
   --color "$work/hd/c###.png" --ids "$work/hd/i###.png" > "$work/hd.log") &
pid=$!
peak_at_10=""
peak_last=0
while kill -0 "$pid" 2>/dev/null; do
  frames=$(grep -c "^wrote" "$work/hd.log" || true)
  peak=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  if [ -z "$peak_at_10" ] && [ "$frames" -ge 10 ] && [ -n "$peak" ]; then
    peak_at_10=$peak
    echo "peak after frame $frames: $peak kB"
  fi
  [ -n "$peak" ] && peak_last=$peak
  sleep 0.1
done
wait "$pid" || fail "the 1080p sequence failed"
frames=$(grep -c "^wrote" "$work/hd.log" || true)
echo "peak at the end, frame $frames: $peak_last kB"
[ "$frames" = 200 ] || fail "$frames frames written instead of 200"
# Flat: within 1 MB, the allocator's slack, of the peak at frame 10.
if [ -z "$peak_at_10" ] || [ "$peak_last" -gt $((peak_at_10 + 1024)) ]; then
  fail "peak memory grew from ${peak_at_10:-?} kB to $peak_last kB"
fi

echo "== Ctrl-C during a 1080p sequence"
for delay in 0.3 1.1 2.6 4.3; do
  rm -rf "$work/out3"; mkdir "$work/out3"
  (cd "$work/out3" && exec "$selvo" render -q --settings "$work/ramps.bin" --frames 1-200 \
     --color "$work/hd/c###.png" --ids "$work/hd/i###.png") 2>"$work/interrupt.log" &
  pid=$!
  sleep "$delay"
  kill -INT "$pid"
  status=0; wait "$pid" || status=$?
  partial=$(find "$work/out3" "$work/hd" -name '*.partial' | wc -l)
  complete=$(check_pcx "$work/out3") || fail "$complete"
  echo "Ctrl-C after ${delay} s: exit $status, $complete complete PCX files, $partial partial"
  [ "$status" = 130 ] || fail "exit status $status instead of 130: $(cat "$work/interrupt.log")"
  [ "$partial" = 0 ] || fail "partial files left"
done

[ "$failed" = 0 ] && echo "long runs: all checks passed"
exit "$failed"
