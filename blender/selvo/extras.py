"""The extras as selvo reads them: the versioned JSON document beside the
settings block (`selvo render --extras`, `selvo config`), written from the
scene's properties with every key in selvo's own order, so that a document
exported here diffs cleanly against one selvo wrote."""

import json

from . import block

VERSION = 1
_DITHER_NAMES = {"NONE": "none", "BAYER4": "bayer4", "BAYER8": "bayer8"}


def any_chosen(props):
    """Whether an extra is chosen that can change a frame; without one the
    add-on hands selvo no document, and every output is as before."""
    return (props.use_transparency or props.matching != "RGB" or any(props.use_outline)
            or any(props.ordered_dither(band) != "NONE" for band in range(block.RANGE_COUNT)))


def transparent_index(props):
    """The index transparent pixels take: their own, or ID 0's From."""
    return props.transparent_index if props.use_transparent_index else props.range_from[0]


def document(props):
    ids = {}
    for band in range(block.RANGE_COUNT):
        dither = props.ordered_dither(band)
        if props.use_outline[band] or dither != "NONE":
            ids[str(band)] = {
                "outline": props.outline_index[band] if props.use_outline[band] else None,
                "dither": _DITHER_NAMES[dither]}
    return {
        "version": VERSION,
        "matching": props.matching.lower(),
        "transparency": {
            "enabled": props.use_transparency,
            # A float property holds single precision: the threshold as typed.
            "alphaThreshold": float(f"{props.alpha_threshold:.6g}"),
            "index": props.transparent_index if props.use_transparent_index else None,
            "ids": props.transparent_id_list()},
        "outlines": {"neighbours": int(props.outline_neighbours),
                     "backgroundOnly": props.outline_background_only},
        "ids": ids,
    }


def to_json(props):
    return json.dumps(document(props), indent=2) + "\n"


def write(path, props):
    block.write_atomically(path, to_json(props).encode("ascii"))
