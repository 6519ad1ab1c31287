"""A PCX written by the encoder decodes to the same indices and palette in
Pillow, a reader that shares no code with it."""
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image


def main(writer):
    with tempfile.TemporaryDirectory() as folder:
        pcx, raw = Path(folder, "sample.pcx"), Path(folder, "sample.raw")
        subprocess.run([writer, str(pcx), str(raw)], check=True)
        data = raw.read_bytes()
        width, height = struct.unpack("<HH", data[:4])
        indices = data[4:4 + width * height]
        palette = data[4 + width * height:]

        with Image.open(pcx) as image:
            failures = []
            if image.format != "PCX" or image.mode != "P":
                failures.append(f"format {image.format} mode {image.mode}")
            if image.size != (width, height):
                failures.append(f"size {image.size} != {(width, height)}")
            if bytes(image.getdata()) != indices:
                failures.append("indices differ")
            if bytes(image.getpalette()[:768]) != palette:
                failures.append("palette differs")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{4 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
