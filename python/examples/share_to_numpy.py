#!/usr/bin/env python3
"""Receives the frames a Korvane camera shares and prints a line per
second: frames per second and the mean grey level of the latest frame.

    python3 share_to_numpy.py --name Line1 [--frames N] [--connect-timeout S]
"""

from __future__ import annotations

import argparse
import sys
import time

import korvane


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--name", required=True, help="the camera's ShareName")
    parser.add_argument("--frames", type=int, help="stop after N frames (default: until sharing stops)")
    parser.add_argument("--connect-timeout", type=float, default=5.0, help="seconds to wait for the share")
    args = parser.parse_args()
    try:
        with korvane.ShareClient(args.name, connect_timeout=args.connect_timeout) as share:
            width, height = share.dimensions
            print(f"{args.name}: {width} x {height}")
            total = 0
            second_start, second_frames = time.monotonic(), 0
            image = None
            for image in share.frames(count=args.frames):
                total += 1
                second_frames += 1
                now = time.monotonic()
                if now - second_start >= 1.0:
                    rate = second_frames / (now - second_start)
                    print(f"{rate:.0f} frames/s, mean {image.mean():.1f}")
                    second_start, second_frames = now, 0
            ended = "the camera stopped sharing" if share.ended else "done"
    except korvane.KorvaneError as error:
        print(f"share_to_numpy.py: {error}", file=sys.stderr)
        return 1
    mean = f", last mean {image.mean():.1f}" if image is not None else ""
    print(f"{total} frames received ({ended}){mean}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
