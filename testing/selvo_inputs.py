"""Inputs the Python test scripts build byte by byte, laid out field by field
as the formats fix them: settings blocks and 8-bit PCX files. Shared by
fuzz/make_seeds.py and tests/data/bad/make_corpus.py."""
import struct

BLOCK_SIZE = 1084


def default_palette():
    """The 3-3-2 colour cube of a fresh settings block, 768 bytes."""
    step = 36.42857142857143  # 255 / 7
    return bytes(v for i in range(256) for v in
                 (int(((i >> 5) & 7) * step), int(((i >> 2) & 7) * step), (i & 3) * 85))


def settings_block(version=110, channel=1001, name=b"slvo.pcx", method=1023, ranges=(),
                   palette=None):
    """The 1084-byte block: version, channel, 256-byte name, method,
    palette, 16 x (From, To, Dither), little-endian."""
    name_field = (name + bytes(256))[:256]
    table = bytearray(48)
    for i, (low, high, dither) in enumerate(ranges):
        table[3 * i:3 * i + 3] = bytes([low, high, dither])
    block = (struct.pack("<Ii", version, channel) + name_field + struct.pack("<i", method) +
             (palette or default_palette()) + bytes(table))
    assert len(block) == BLOCK_SIZE
    return block


def pcx_file(width, height, indices, palette, trailer=True, version=5, planes=1):
    """An 8-bit PCX file of `indices` (width x height, row by row), encoded
    as selvo's writer does: runs of up to 63 within a scanline, a single
    index below 0xC0 as itself. With `trailer`, 0x0C and the palette follow."""
    header = bytearray(128)
    header[0:4] = bytes([0x0A, version, 1, 8])
    header[8:12] = struct.pack("<HH", width - 1, height - 1)
    header[65] = planes
    header[66:68] = struct.pack("<H", width)
    data = bytearray()
    for y in range(height):
        row = indices[y * width:(y + 1) * width]
        x = 0
        while x < width:
            run = 1
            while run < 63 and x + run < width and row[x + run] == row[x]:
                run += 1
            if run > 1 or row[x] >= 0xC0:
                data.append(0xC0 | run)
            data.append(row[x])
            x += run
    return bytes(header + data) + (b"\x0c" + palette if trailer else b"")
