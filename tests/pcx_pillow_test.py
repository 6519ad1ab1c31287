"""A PCX written by the encoder decodes to the same indices and palette in
Pillow, a reader that shares no code with it."""
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
from decode_with_pillow import decode  # noqa: E402


def main(writer):
    with tempfile.TemporaryDirectory() as folder:
        pcx, raw, decoded = (Path(folder, name) for name in ("sample.pcx", "sample.raw", "out"))
        subprocess.run([writer, str(pcx), str(raw)], check=True)
        decode(pcx, decoded)
        if decoded.read_bytes() != raw.read_bytes():
            print("FAIL: Pillow reads other sizes, indices or palette than were written")
            return 1
    print("the sample PCX decodes in Pillow to what was written")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
