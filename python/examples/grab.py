#!/usr/bin/env python3
"""Grabs one frame from a Korvane camera, saves it as PNG and prints a
histogram of its grey levels.

    python3 grab.py [--system-path DIR] [--camera NAME] [--out frame.png]
"""

from __future__ import annotations

import argparse
import logging
import sys

import numpy as np

import korvane


def histogram_lines(image: np.ndarray, bins: int = 16, width: int = 50) -> list:
    """One text bar per bin of 256 / bins grey levels."""
    counts = np.bincount(image.ravel(), minlength=256).reshape(bins, -1).sum(axis=1)
    top = max(int(counts.max()), 1)
    step = 256 // bins
    return [
        f"{i * step:3d}-{i * step + step - 1:<3d} {int(c):9d} {'#' * round(width * int(c) / top)}"
        for i, c in enumerate(counts)
    ]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--system-path", default="korvane-data", help="Korvane.ini folder (created if missing)")
    parser.add_argument("--camera", help="camera name (default: the first)")
    parser.add_argument("--port", type=int, default=1)
    parser.add_argument("--out", default="frame.png", help="PNG file to write")
    parser.add_argument("--verbose", action="store_true", help="show the driver's log lines")
    args = parser.parse_args()
    logging.basicConfig(level=logging.INFO if args.verbose else logging.WARNING, format="%(name)s: %(message)s")
    try:
        with korvane.Driver(args.system_path) as driver:
            name = args.camera or driver.cameras[0]
            with driver.open(name, port=args.port) as camera:
                image = camera.grab(timeout=5)
    except korvane.KorvaneError as error:
        print(f"grab.py: {error}", file=sys.stderr)
        return 1
    korvane.save_png(args.out, image)
    height, width = image.shape
    print(f"{name}: {width} x {height}, mean {image.mean():.1f}, saved {args.out}")
    print("\n".join(histogram_lines(image)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
