"""The tests' one reader of palette images (PCX, indexed PNG) outside selvo:
Pillow, which shares no code with it. For each IMAGE OUT pair OUT receives:
width and height as 32-bit little-endian numbers, the W x H indices row by
row, the 768 palette bytes."""
import struct
import sys

from PIL import Image


def decode(image_path, out_path):
    with Image.open(image_path) as image:
        if image.mode != "P":
            sys.exit(f"{image_path}: mode {image.mode}, not a palette image")
        palette = bytes(image.getpalette()[:768]).ljust(768, b"\0")
        data = struct.pack("<II", *image.size) + bytes(image.getdata()) + palette
    with open(out_path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    args = sys.argv[1:]
    for i in range(0, len(args), 2):
        decode(args[i], args[i + 1])
