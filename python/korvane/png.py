"""Writing 8-bit grey images as PNG with the standard library only."""

from __future__ import annotations

import os
import struct
import zlib

import numpy as np


def _chunk(kind: bytes, data: bytes) -> bytes:
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode_png(image: np.ndarray, level: int = 6) -> bytes:
    """The PNG file of a 2-D uint8 array (grey, 8 bits per pixel)."""
    if image.ndim != 2 or image.dtype != np.uint8:
        raise ValueError("encode_png needs a 2-D uint8 array")
    height, width = image.shape
    if width == 0 or height == 0:
        raise ValueError("a PNG image has at least one pixel")
    # Every row starts with its filter type; 0 (none) keeps this simple and
    # exact, zlib does the compressing.
    rows = np.zeros((height, width + 1), dtype=np.uint8)
    rows[:, 1:] = image
    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + _chunk(b"IHDR", header)
        + _chunk(b"IDAT", zlib.compress(rows.tobytes(), level))
        + _chunk(b"IEND", b"")
    )


def save_png(path: "os.PathLike[str] | str", image: np.ndarray) -> None:
    """Writes image (2-D uint8) to path as a grey PNG."""
    data = encode_png(image)
    with open(path, "wb") as out:
        out.write(data)
