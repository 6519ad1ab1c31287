#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, valid or nearly valid input that reaches one branch;
libFuzzer mutates from there. Run again after changing a layout; the files
are committed."""
import os
import sys
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "testing"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "data", "bad"))
import make_corpus as corpus  # noqa: E402  (its PNG and EXR writers)
from selvo_inputs import default_palette, pcx_file, settings_block  # noqa: E402


def save(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def frame_input(block, width, height, frame=0, abort_row=255, fail_row=255, flags=0,
                ids=(), word_ids=False, pixels=()):
    out = bytearray(block) + bytes([width, height]) + struct.pack("<i", frame)
    out += bytes([abort_row, fail_row, flags])
    for i in range(width * height):
        value = ids[i % len(ids)] if ids else i % 17
        out += struct.pack("<H", value) if word_ids else bytes([value & 0xFF])
    for i in range(width * height):
        r, g, b, a = pixels[i % len(pixels)] if pixels else (i * 997 % 65536, i * 4099 % 65536,
                                                              i * 577 % 65536, 0xFFFF)
        out += struct.pack("<4H", r, g, b, a)
    return bytes(out)


def frame_seeds():
    spread = [(16 * i, 16 * i + 15, i % 2) for i in range(16)]
    reversed_ranges = [(255, 250, 1), (20, 16, 0), (0, 0, 0), (255, 0, 1)] * 4
    t = "frame_fuzzer"
    save(t, "defaults", frame_input(settings_block(), 5, 3))
    save(t, "material_ramps", frame_input(settings_block(ranges=spread), 7, 5))
    save(t, "object_ids", frame_input(settings_block(channel=1002, ranges=spread), 6, 4,
                                      ids=[0, 15, 16, 300, 65535], word_ids=True))
    save(t, "most_similar", frame_input(settings_block(method=1024, ranges=spread), 9, 3))
    save(t, "reversed_ranges", frame_input(settings_block(ranges=reversed_ranges), 8, 8))
    save(t, "long_runs", frame_input(settings_block(), 130, 2, pixels=[(0, 0, 0, 0)]))
    save(t, "bright_runs", frame_input(settings_block(ranges=[(200, 255, 0)]), 70, 1,
                                       ids=[0], pixels=[(65535, 65535, 65535, 1)]))
    save(t, "abort_row_1", frame_input(settings_block(), 4, 4, abort_row=1))
    save(t, "fetch_fails", frame_input(settings_block(), 4, 4, fail_row=2))
    save(t, "no_channel", frame_input(settings_block(), 4, 4, flags=1))
    save(t, "write_fails", frame_input(settings_block(), 3, 2, flags=2))
    save(t, "negative_frame", frame_input(settings_block(name=b"a.b.c"), 2, 2, frame=-1))
    save(t, "big_frame_number", frame_input(settings_block(name=b"x"), 2, 2, frame=-2**31))
    save(t, "name_without_nul", frame_input(settings_block(name=b"n" * 256), 2, 2))
    save(t, "name_247", frame_input(settings_block(name=b"d" * 247 + b".pcx"), 2, 2))
    save(t, "name_248", frame_input(settings_block(name=b"d" * 248), 2, 2))
    save(t, "version_111", frame_input(settings_block(version=111), 3, 3))
    save(t, "version_top_bit", frame_input(settings_block(version=0x80000000), 3, 3))
    save(t, "version_0", frame_input(settings_block(version=0, channel=7, method=0), 3, 3,
                                     word_ids=True))
    save(t, "empty_frame", frame_input(settings_block(), 0, 3))
    save(t, "sequence_most_similar", frame_input(settings_block(method=1024, ranges=spread), 9, 5,
                                                 flags=4))
    save(t, "sequence_uniform_objects", frame_input(settings_block(channel=1002, ranges=spread),
                                                    6, 4, ids=[0, 5, 17, 9], word_ids=True,
                                                    flags=4))


def palette_seeds():
    t = "pcx_palette_fuzzer"
    grey = bytes(i // 3 for i in range(768))
    save(t, "written", pcx_file(3, 2, [5, 5, 5, 200, 7, 7], default_palette()))
    save(t, "grey_palette", pcx_file(16, 16, list(range(256)), grey))
    save(t, "sixteen_colours", pcx_file(40, 30, [i % 16 for i in range(1200)], b"",
                                        trailer=False, version=3))
    save(t, "three_planes", pcx_file(20, 20, [1] * 400, grey, planes=3))
    save(t, "exactly_768", grey)
    save(t, "short_767", grey[:767])
    save(t, "trailer_without_header", bytes([0x0C]) + grey)
    save(t, "empty", b"")


def png_file(width, height, color_type, rows, plte=b""):
    """A minimal 8-bit PNG: IHDR, an optional PLTE, one IDAT, IEND."""
    raw = b"".join(b"\0" + row for row in rows)
    return corpus.png(width, height, 8, color_type, raw,
                      extra=corpus.chunk(b"PLTE", plte) if plte else b"")

def palette_files_seeds():
    """The first byte picks the extension: .gpl .pal .act .hex .png .pcx .txt."""
    t = "palette_files_fuzzer"
    grey = bytes(i // 3 for i in range(768))
    save(t, "gimp", b"\0GIMP Palette\nName: ramp\nColumns: 4\n# c\n255 0 0 red\n0 255 0\tgreen\n")
    save(t, "gimp_rgba_crlf", b"\0GIMP Palette\r\nChannels: RGBA\r\n1 2 3 4 x\r\n")
    save(t, "gimp_bom", b"\0\xef\xbb\xbfGIMP Palette\n1 2 3\n")
    save(t, "jasc", b"\1JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n4 5 6\r\n")
    save(t, "riff", b"\1RIFF\0\0\0\0PAL data")
    save(t, "act_768", b"\2" + grey)
    save(t, "act_772", b"\2" + grey + b"\x00\x10\xff\xff")
    save(t, "hex", b"\3ff8000\n#0a0b0c\n")
    save(t, "hex_any_name", b"\6010203\n\n")
    save(t, "png_indexed", b"\4" + png_file(2, 1, 3, [b"\0\1"], b"\1\2\3\4\5\6"))
    save(t, "png_true_colour", b"\4" + png_file(2, 1, 2, [b"\1\2\3\4\5\6"]))
    save(t, "pcx", b"\5" + pcx_file(3, 2, [5, 5, 5, 200, 7, 7], default_palette()))


def image_seeds():
    """PNG and EXR files of every kind the loaders accept, built with the
    writers of the malformed-input corpus, plus a few broken ones."""
    t = "image_fuzzer"
    save(t, "rgb8.png", corpus.colour_png(5, 3))
    save(t, "grey8_ids.png", corpus.id_png(5, 3, [0, 1, 2, 15, 16]))
    save(t, "grey16_ids.png", corpus.id_png(5, 3, [0, 300, 65535], depth=16))
    save(t, "grey4_ids.png", corpus.png(6, 2, 4, 0, bytes([0, 0x12, 0x34, 0x56, 0, 0x78, 0x9A, 0xBC])))
    save(t, "rgba16.png", corpus.png(3, 2, 16, 6, corpus.raw_rows(3, 2, 4, 16, lambda x, y, c: 9000 * (x + c))))
    save(t, "grey_alpha8.png", corpus.png(3, 2, 8, 4, corpus.raw_rows(3, 2, 2, 8, lambda x, y, c: 80 * c + x)))
    palette = corpus.chunk(b"PLTE", bytes(range(12))) + corpus.chunk(b"tRNS", b"\x00\x80")
    save(t, "palette_trns.png", corpus.png(4, 2, 8, 3, corpus.raw_rows(4, 2, 1, 8, lambda x, y, c: x % 4),
                                      extra=palette))
    interlaced = bytearray(corpus.colour_png(9, 9))
    interlaced[28] = 1  # Adam7; the CRC is fixed below
    interlaced[29:33] = corpus.struct.pack(">I", corpus.zlib.crc32(bytes(interlaced[12:29])) & 0xFFFFFFFF)
    save(t, "interlaced_bad_data.png", bytes(interlaced))
    save(t, "truncated.png", corpus.colour_png(5, 3)[:60])

    def colour(name, x, y):
        return 0.1 * (x + 1) + 0.05 * "RGBA".index(name[-1])
    rgba = [("R", corpus.HALF), ("G", corpus.HALF), ("B", corpus.HALF), ("A", corpus.HALF)]
    save(t, "rgba_half.exr", corpus.exr(5, 3, rgba, colour))
    save(t, "rgb_float_offset_window.exr", corpus.exr(2, 2, [(c, corpus.FLOAT) for c in "RGB"], colour,
                                                 window=(-3, 7, -2, 8)))
    save(t, "combined_layer.exr", corpus.exr(2, 2, [("View.Combined." + c, corpus.HALF) for c in "RGB"],
                                        colour))
    save(t, "ids_float.exr", corpus.exr(4, 2, [("IndexMA.X", corpus.FLOAT), ("IndexOB.X", corpus.FLOAT)],
                                   lambda n, x, y: float(x * 100 + y)))
    save(t, "ids_half_named.exr", corpus.exr(3, 1, [("RenderLayer.Object Index.X", corpus.HALF),
                                               ("RenderLayer.Material Index.X", corpus.HALF)],
                                        lambda n, x, y: float(x)))
    save(t, "ids_nan.exr", corpus.exr_ids([0.0, float("nan"), 1.0, 2.0, 3.0]))
    save(t, "truncated.exr", corpus.exr(5, 3, rgba, colour, tail_cut=20))


def names_grid_seeds():
    """The names half: a chosen name after the selector byte 0 (its first
    four bytes double as the frame number). The grid half: selector byte 1,
    a client bottom, then events of kind (0 pick, 1 left click, 2 right
    click), x and y."""
    t = "names_grid_fuzzer"
    names = [b"D:\\render\\shot0012.pcx", b"D:\\anim\\walk", b"E:\\out\\a1.b2.PCX",
             b"E:\\out\\2024.pcx", b"E:\\my.dir\\take2.pcx", b"x.txt", b"", b".pcx",
             b"d" * 247 + b".pcx", b"d" * 252]
    for i, name in enumerate(names):
        save(t, f"name_{i}", b"\0" + name)

    def events(bottom, *items):
        out = b"\x01" + struct.pack("<h", bottom)
        for kind, x, y in items:
            out += struct.pack("<BHH", kind, x, y)
        return out
    b = 300
    save(t, "grid_anchor_then_pick", events(b, (1, 25, b - 164), (0, 3, 0), (1, 168, b - 69)))
    save(t, "grid_reversed_pick", events(b, (1, 160, b - 69), (0, 15, 0), (1, 26, b - 164)))
    save(t, "grid_misses", events(b, (1, 24, b - 100), (1, 169, b - 100), (1, 100, b - 68),
                                  (1, 100, b - 165)))
    save(t, "grid_right_click", events(b, (0, 2, 0), (2, 0, 0), (1, 40, b - 120)))
    save(t, "grid_small_client", events(20, (1, 30, 0), (0, 1, 0), (1, 30, 65535)))


if __name__ == "__main__":
    frame_seeds()
    palette_seeds()
    palette_files_seeds()
    image_seeds()
    names_grid_seeds()
