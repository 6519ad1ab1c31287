#!/usr/bin/env python3
"""Writes the malformed-input corpus of tests/data/bad/ (and the few good
inputs the cases pair them with). The files are committed; run this again
only to change them. expectations.txt says what selvo must do with each.

PNG and EXR files are assembled byte by byte here, so that every fault sits
exactly where it is meant to: a cut inside IDAT, a wrong CRC, a NaN ID."""
import os
import random
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "testing"))
from selvo_inputs import pcx_file, settings_block  # noqa: E402


def save(relative, data):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# --- PNG ---------------------------------------------------------------------

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, body, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def ihdr(width, height, depth, colour_type, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0,
                                      interlace))


def raw_rows(width, height, samples_per_pixel, depth, sample):
    """Filter type 0 scanlines; sample(x, y, c) gives each sample."""
    out = bytearray()
    for y in range(height):
        out.append(0)
        for x in range(width):
            for c in range(samples_per_pixel):
                v = sample(x, y, c)
                out += struct.pack(">H", v) if depth == 16 else bytes([v])
    return bytes(out)


def png(width, height, depth, colour_type, rows, extra=b""):
    return (PNG_SIGNATURE + ihdr(width, height, depth, colour_type) + extra +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def colour_png(width, height):
    # Odd sizes and distinct channels, so a swap or a flip would show.
    rows = raw_rows(width, height, 3, 8, lambda x, y, c: (40 * x + 70 * y + 90 * c) % 256)
    return png(width, height, 8, 2, rows)


def id_png(width, height, ids, depth=8):
    rows = raw_rows(width, height, 1, depth, lambda x, y, c: ids[(y * width + x) % len(ids)])
    return png(width, height, depth, 0, rows)


def png_cases():
    good = colour_png(5, 3)
    save("good/color.png", good)
    save("good/ids.png", id_png(5, 3, [0, 1, 2, 15, 16]))
    save("good/ids16.png", id_png(5, 3, [0, 1, 300, 65535], depth=16))
    save("good/color64.png", colour_png(64, 64))
    save("good/ids64.png", id_png(64, 64, [3]))
    # Noise in alpha, which the written-back frame keeps: its PNG cannot
    # shrink below 2 KB, while the PCX (every index 0) stays under 1 KB.
    noise = random.Random(7).randbytes(64 * 16)
    save("good/color_noisy_alpha.png", png(64, 16, 8, 6, raw_rows(
        64, 16, 4, 8, lambda x, y, c: noise[y * 64 + x] if c == 3 else 100)))
    save("good/ids64x16.png", id_png(64, 16, [0]))
    save("good/no_dot_in_name", b"a file where a folder should be")

    save("png/empty.png", b"")
    save("png/text.png", b"this is not an image\n")
    save("png/signature_only.png", PNG_SIGNATURE)
    save("png/truncated_in_ihdr.png", good[:20])
    idat = good.index(b"IDAT")
    save("png/truncated_in_idat.png", good[:idat + 12])
    save("png/without_iend.png", good[:good.index(b"IEND") - 4])
    crc_at = idat + 4 + struct.unpack(">I", good[idat - 4:idat])[0]
    save("png/bad_idat_crc.png", good[:crc_at] + bytes([good[crc_at] ^ 0xFF]) + good[crc_at + 1:])
    save("png/bad_ihdr_crc.png", good[:29] + bytes([good[29] ^ 1]) + good[30:])
    rows = raw_rows(5, 3, 3, 8, lambda x, y, c: 7)
    save("png/bad_zlib.png", PNG_SIGNATURE + ihdr(5, 3, 8, 2) +
         chunk(b"IDAT", b"\x78\x9c" + bytes(range(40))) + chunk(b"IEND", b""))
    save("png/short_image_data.png", PNG_SIGNATURE + ihdr(5, 3, 8, 2) +
         chunk(b"IDAT", zlib.compress(rows[:20])) + chunk(b"IEND", b""))
    save("png/bad_filter_type.png", png(5, 3, 8, 2, bytes([9]) + rows[1:]))
    save("png/zero_width.png", png(0, 3, 8, 2, b""))
    save("png/bad_depth.png", png(5, 3, 7, 2, rows))
    # Declares 70000 x 1 with a row's worth of data: refused before decoding.
    save("png/too_wide.png", png(70000, 1, 8, 0, bytes(70001)))
    # 60000 x 60000 grey in a tiny file: the header alone promises 3.6 GB.
    save("png/huge_claim.png", PNG_SIGNATURE + ihdr(60000, 60000, 8, 0) +
         chunk(b"IDAT", zlib.compress(bytes(60001) * 2)) + chunk(b"IEND", b""))
    save("png/ids_rgb.png", colour_png(5, 3))
    save("png/ids_grey_alpha.png", png(5, 3, 8, 4, raw_rows(5, 3, 2, 8, lambda x, y, c: 1)))
    ids = id_png(5, 3, [0, 1, 2, 3])
    save("png/ids_truncated.png", ids[:ids.index(b"IDAT") + 10])
    save("png/ids_4x3.png", id_png(4, 3, [1]))
    save("png/ids_5x4.png", id_png(5, 4, [1]))


# --- OpenEXR (scanline, uncompressed) ----------------------------------------

HALF, FLOAT = 1, 2


def attribute(name, kind, value):
    return name.encode() + b"\0" + kind.encode() + b"\0" + struct.pack("<i", len(value)) + value


def exr(width, height, channels, value, window=None, compression=0, tail_cut=None,
        first_offset=None, data_window=None):
    """channels: [(name, type)], stored in name order as the format wants;
    value(name, x, y) gives each sample. first_offset replaces the offset
    of the first scanline block; tail_cut drops bytes from the end;
    data_window replaces the header's data window only (the blocks stay
    width x height)."""
    channels = sorted(channels)
    chlist = b"".join(n.encode() + b"\0" + struct.pack("<iB3xii", t, 0, 1, 1)
                      for n, t in channels) + b"\0"
    x0, y0, x1, y1 = window or (0, 0, width - 1, height - 1)
    box = struct.pack("<iiii", x0, y0, x1, y1)
    data_box = struct.pack("<iiii", *data_window) if data_window else box
    header = (b"\x76\x2f\x31\x01" + struct.pack("<i", 2) +
              attribute("channels", "chlist", chlist) +
              attribute("compression", "compression", bytes([compression])) +
              attribute("dataWindow", "box2i", data_box) +
              attribute("displayWindow", "box2i", box) +
              attribute("lineOrder", "lineOrder", b"\0") +
              attribute("pixelAspectRatio", "float", struct.pack("<f", 1)) +
              attribute("screenWindowCenter", "v2f", struct.pack("<ff", 0, 0)) +
              attribute("screenWindowWidth", "float", struct.pack("<f", 1)) + b"\0")
    blocks = []
    for y in range(height):
        line = b""
        for name, kind in channels:
            for x in range(width):
                v = value(name, x, y)
                line += struct.pack("<e", v) if kind == HALF else struct.pack("<f", v)
        blocks.append(struct.pack("<ii", y0 + y, len(line)) + line)
    offset = len(header) + 8 * height
    table = b""
    for block in blocks:
        table += struct.pack("<Q", offset if first_offset is None or table else first_offset)
        offset += len(block)
    data = header + table + b"".join(blocks)
    return data if tail_cut is None else data[:len(data) - tail_cut]


def huge_claim_with_offsets():
    """60000 x 60000 ZIP-compressed RGB: a complete offset table (16 rows a
    block) whose every entry points at one block of 10 bytes of garbage.
    OpenEXR opens it; only reading the rows shows that the data is not there."""
    side = 60000
    header = exr(1, 1, [(c, HALF) for c in "RGB"], lambda n, x, y: 0.0,
                 window=(0, 0, side - 1, side - 1), compression=3)
    header = header[:header.index(b"screenWindowWidth")]
    header += attribute("screenWindowWidth", "float", struct.pack("<f", 1)) + b"\0"
    blocks = (side + 15) // 16
    block_at = len(header) + 8 * blocks
    return (header + struct.pack("<Q", block_at) * blocks +
            struct.pack("<ii", 0, 10) + bytes(range(10)))


def exr_ids(row, kind=FLOAT, name="IndexMA.X", tail_cut=None):
    """5 x 3 IDs, the size of the good colour images: `row` on top, then 1s."""
    return exr(5, 3, [(name, kind)], lambda n, x, y: row[x] if y == 0 else 1.0,
               tail_cut=tail_cut)


def exr_cases():
    def colour(name, x, y):
        return {"R": 0.2, "G": 0.5, "B": 0.9, "A": 1.0}[name] * (x + 1) / 5

    rgb = [("R", HALF), ("G", HALF), ("B", HALF), ("A", HALF)]
    good = exr(5, 3, rgb, colour)
    save("good/color.exr", good)
    save("good/ids.exr", exr(5, 3, [("IndexMA.X", FLOAT), ("IndexOB.X", FLOAT)],
                             lambda n, x, y: float(x + y)))
    save("exr/empty.exr", b"")
    save("exr/magic_only.exr", good[:4])
    save("exr/truncated_header.exr", good[:60])
    save("exr/truncated_pixels.exr", exr(5, 3, rgb, colour, tail_cut=20))
    save("exr/offset_past_end.exr", exr(5, 3, rgb, colour, first_offset=1 << 40))
    save("exr/offset_into_header.exr", exr(5, 3, rgb, colour, first_offset=8))
    # An attribute that claims 2 GB in a file of 400 bytes.
    magic_version = good[:8]
    save("exr/attribute_claims_2gb.exr", magic_version + b"comments\0string\0" +
         struct.pack("<i", 0x7FFFFFF0) + good[8:])
    save("exr/bad_version.exr", good[:4] + struct.pack("<i", 99) + good[8:])
    save("exr/unknown_compression.exr", exr(5, 3, rgb, colour, compression=42))
    save("exr/empty_window.exr", exr(0, 0, rgb, colour, window=(5, 5, 4, 4)))
    save("exr/too_wide.exr", exr(1, 1, rgb, colour, window=(0, 0, 69999, 0)))
    # Corners swapped: 10 - 0 + 1 columns would be -9, never shown as a size.
    save("exr/inverted_window.exr", exr(1, 1, rgb, colour, window=(10, 0, 0, 69999)))
    save("exr/huge_claim.exr", exr(1, 1, rgb, colour, window=(0, 0, 59999, 59999)))
    save("exr/huge_claim_full_table.exr", huge_claim_with_offsets())
    # A 5 x 3 frame whose data window claims rows of 20 million pixels: refused
    # by the size limit OpenEXR is given before it sets buffers aside for them.
    save("exr/huge_data_window.exr",
         exr(5, 3, rgb, colour, data_window=(-10_000_000, 0, 9_999_999, 2)))
    save("exr/no_rgb.exr", exr(5, 3, [("Z", FLOAT)], lambda n, x, y: 1.0))
    nan = float("nan")
    save("exr/ids_nan.exr", exr_ids([0.0, 1.0, nan, 2.0, 3.0]))
    save("exr/ids_infinite.exr", exr_ids([0.0, 1.0, float("inf"), 2.0, 3.0]))
    save("exr/ids_negative.exr", exr_ids([0.0, -1.0, 2.0, 3.0, 4.0]))
    save("exr/ids_fraction.exr", exr_ids([0.0, 1.0, 2.5, 3.0, 4.0]))
    save("exr/ids_above_65535.exr", exr_ids([0.0, 1.0, 70000.0, 3.0, 4.0], name="IndexOB.X"))
    save("exr/ids_above_255.exr", exr_ids([0.0, 1.0, 300.0, 3.0, 4.0]))
    save("exr/ids_half_huge.exr", exr_ids([0.0, 65504.0, 1.0, 2.0, 3.0], kind=HALF))
    save("exr/ids_truncated.exr", exr_ids([0.0, 1.0, 2.0, 3.0, 4.0], tail_cut=10))
    save("exr/ids_without_channel.exr", exr(5, 3, [("Y", FLOAT)], lambda n, x, y: 1.0))
    save("exr/control_characters_in_names.exr",
         exr(5, 3, [("evil\n\x1b[31mR", FLOAT), ("\rG", FLOAT)], lambda n, x, y: 0.5))
    save("exr/ids_two_channels.exr", exr(5, 3, [("a.IndexMA.X", FLOAT), ("b.IndexMA.X", FLOAT)],
                                         lambda n, x, y: 1.0))


# --- settings blocks ---------------------------------------------------------

def settings_cases():
    good = settings_block()
    save("good/settings.bin", good)
    save("settings/empty.bin", b"")
    save("settings/1083_bytes.bin", good[:-1])
    save("settings/1085_bytes.bin", good + b"\0")
    save("settings/version_111.bin", settings_block(version=111))
    save("settings/version_top_bit.bin", settings_block(version=0x80000000))
    save("settings/name_without_nul.bin", settings_block(name=b"n" * 256))
    save("settings/name_248_before_dot.bin", settings_block(name=b"d" * 248 + b".pcx"))
    save("settings/name_with_newline.bin", settings_block(name=b"\n\x1b[2J" + b"d" * 250))
    save("settings/object_channel.bin", settings_block(channel=1002))


# --- PCX files for `selvo config set --palette` ------------------------------

def pcx(width, height, trailer=True, version=5, planes=1):
    """A picture of index 5 with a palette of entries 0..255 as levels, or,
    without a trailer, as many zero bytes where the trailer would be."""
    palette = bytes(range(256)) * 3
    body = pcx_file(width, height, [5] * (width * height), palette, trailer, version, planes)
    return body if trailer else body + bytes(768)


def pcx_cases():
    save("good/palette.pcx", pcx(10, 4))
    save("pcx/empty.pcx", b"")
    save("pcx/short.pcx", pcx(10, 4)[:500])
    save("pcx/no_trailer.pcx", pcx(10, 4, trailer=False))
    save("pcx/sixteen_colour.pcx", pcx(10, 4, trailer=False, version=3))
    save("pcx/three_planes.pcx", pcx(10, 4, planes=3))
    save("pcx/trailer_only.pcx", b"\x0c" + bytes(768))


if __name__ == "__main__":
    png_cases()
    exr_cases()
    settings_cases()
    pcx_cases()
