"""The 1084-byte settings block that selvo, the filter module and this add-on
share. Pure Python, so it is the same on every Blender version."""

import os
import struct
import tempfile
from dataclasses import dataclass, field

SIZE = 1084
VERSION = 110
NAME_SIZE = 256
PALETTE_SIZE = 768
RANGE_COUNT = 16

MATERIAL_CHANNEL = 1001
OBJECT_CHANNEL = 1002
UNIFORM_DISTRIBUTION = 1023
MOST_SIMILAR_COLOR = 1024

# version, source channel, output name, method, palette, 16 x (From, To, Dither)
_LAYOUT = struct.Struct("<Ii256si768s48s")
assert _LAYOUT.size == SIZE


class BlockError(ValueError):
    pass


def default_palette():
    """Entry i of the default palette: a 3-3-2 colour cube."""
    out = bytearray()
    for i in range(256):
        r, g, b = (i >> 5) & 7, (i >> 2) & 7, i & 3
        out += bytes((r * 255 // 7, g * 255 // 7, b * 255 // 3))
    return bytes(out)


def encode_name(name):
    """The 256 name bytes for `name`, NUL-padded; at most 255 bytes fit."""
    raw = name.encode("utf-8")
    if len(raw) >= NAME_SIZE:
        raise BlockError("the output name is longer than 255 bytes")
    return raw.ljust(NAME_SIZE, b"\0")


def decode_name(raw):
    """The name up to its terminator (all 256 bytes when there is none)."""
    return raw.split(b"\0", 1)[0].decode("utf-8", "replace")


@dataclass
class Settings:
    version: int = VERSION
    source_channel: int = MATERIAL_CHANNEL
    name_bytes: bytes = encode_name("slvo.pcx")
    method: int = UNIFORM_DISTRIBUTION
    palette: bytes = field(default_factory=default_palette)
    ranges: list = field(default_factory=lambda: [(0, 0, 0)] * RANGE_COUNT)

    def pack(self):
        flat = bytes(v for triple in self.ranges for v in triple)
        return _LAYOUT.pack(self.version, self.source_channel, self.name_bytes,
                            self.method, self.palette, flat)

    @classmethod
    def unpack(cls, data):
        if len(data) != SIZE:
            raise BlockError(f"a settings file holds exactly {SIZE} bytes, "
                             f"this one {len(data)}")
        version, source, name, method, palette, flat = _LAYOUT.unpack(data)
        if version > VERSION:
            raise BlockError(f"settings version {version} is newer than {VERSION}")
        ranges = [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
        return cls(version, source, name, method, palette, ranges)


def read(path):
    with open(path, "rb") as f:
        return Settings.unpack(f.read(SIZE + 1))


def write(path, settings):
    write_atomically(path, settings.pack())


def write_atomically(path, data):
    """Writes under a temporary name in the same folder and renames it, so a
    reader never sees half a file."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(prefix=".selvo-", dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise

