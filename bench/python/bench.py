#!/usr/bin/env python3
"""The Python package against the C tools, in one run.

1. Row delivery: Camera.grab(out=...) of a 1280 x 960 frame, the time of its
   one-call row copy (Camera.last_read_seconds) against the row delivery
   time korvane-grab measures (its mean per frame) right before or after.
   Also shown: grab() into a new array per frame, and the whole grab() call.
2. Sharing: ShareClient.frames() against korvane-share, both receiving from
   the same korvane-grab publisher one after the other.

Every ratio is the median over repetitions of such pairs.

Run with Debian's python3 from the repository root after a build:

    PYTHONPATH=build/python /usr/bin/python3 bench/python/bench.py

Prints both ratios; exits 1 when one misses its target (row copy at most
1.3x the tool's, share frames/s at least 0.8x the tool's).
"""

from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import korvane

WIDTH, HEIGHT = 1280, 960
ROW_TARGET = 1.3
SHARE_TARGET = 0.8


def sim_ini(frame_time_ms: int = 0) -> str:
    return (
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\nDigitizers=1\n"
        f"[System0.Digitizer0]\nWidth={WIDTH}\nHeight={HEIGHT}\nBits=8\nFrameTimeMs={frame_time_ms}\n"
    )


def system_path(root: Path, name: str, ini: str = "") -> str:
    path = root / name
    path.mkdir()
    (path / "KorvaneSim.ini").write_text(sim_ini())
    if ini:
        (path / "Korvane.ini").write_text(ini)
    return str(path)


def tool_row_us(tools: Path, path: str, frames: int) -> float:
    """The row delivery time per frame korvane-grab reports, in microseconds."""
    run = subprocess.run(
        [str(tools / "korvane-grab"), "--quiet", "--system-path", path, "--frames", str(frames)],
        capture_output=True,
        text=True,
        timeout=120,
    )
    match = re.search(r"row delivery ([0-9.]+) MB/s", run.stdout)
    if run.returncode != 0 or not match:
        raise SystemExit(f"korvane-grab failed: {run.stdout}{run.stderr}")
    return WIDTH * HEIGHT / (float(match.group(1)) * 1e6) * 1e6


def python_rows(path: str, frames: int) -> dict:
    """Mean row copy, new-array row copy and whole grab() times in microseconds."""
    with korvane.Driver(path) as driver:
        with driver.open(driver.cameras[0]) as camera:
            buffer = np.empty(camera.shape, dtype=np.uint8)
            camera.grab(out=buffer)  # warm up
            reused, fresh, whole = [], [], []
            for _ in range(frames):
                start = time.perf_counter()
                camera.grab(out=buffer)
                whole.append(time.perf_counter() - start)
                reused.append(camera.last_read_seconds)
            for _ in range(frames):
                camera.grab()
                fresh.append(camera.last_read_seconds)
    mean_us = lambda values: statistics.fmean(values) * 1e6  # noqa: E731
    return {"reused": mean_us(reused), "fresh": mean_us(fresh), "grab": mean_us(whole)}


def tool_share_fps(tools: Path, name: str, frames: int) -> float:
    run = subprocess.run(
        [
            str(tools / "korvane-share"),
            "--name",
            name,
            "--frames",
            str(frames),
            "--quiet",
            "--connect-timeout",
            "10000",
        ],
        capture_output=True,
        text=True,
        timeout=120,
    )
    match = re.search(r"received (\d+) frames in [0-9.]+ s, ([0-9.]+) fps", run.stdout)
    if run.returncode != 0 or not match or int(match.group(1)) != frames:
        raise SystemExit(f"korvane-share failed: {run.stdout}{run.stderr}")
    return float(match.group(2))


def python_share_fps(name: str, frames: int, reuse: bool) -> float:
    with korvane.ShareClient(name, connect_timeout=10) as share:
        out = np.empty(share.shape, dtype=np.uint8) if reuse else None
        # Timed from the first frame on, as the tool times from its first wait.
        start = time.perf_counter()
        received = sum(1 for _ in share.frames(count=frames, timeout=10, out=out))
        elapsed = time.perf_counter() - start
    if received != frames:
        raise SystemExit(f"the share ended after {received} of {frames} frames")
    return frames / elapsed


def median_ratio(pairs) -> float:
    return statistics.median(ours / theirs for ours, theirs in pairs)


def main() -> int:
    parser = argparse.ArgumentParser(description="Python package against korvane-grab and korvane-share")
    parser.add_argument("--tools-dir", help="folder of korvane-grab and korvane-share (default: the build's)")
    parser.add_argument("--frames", type=int, default=200, help="frames per row measurement")
    parser.add_argument("--share-frames", type=int, default=1500, help="frames per share measurement")
    parser.add_argument("--repetitions", type=int, default=5, help="tool/package pairs; ratios are their medians")
    args = parser.parse_args()
    if args.tools_dir:
        tools = Path(args.tools_dir)
    else:
        from korvane import _build_paths  # type: ignore[attr-defined]

        tools = Path(_build_paths.TOOLS_DIR)

    # Each repetition measures the tool and the package back to back (the
    # order alternating), so that a shared machine's load falls on both.
    with tempfile.TemporaryDirectory(prefix="korvane-pybench-") as scratch:
        root = Path(scratch)
        rows, fresh_rows, whole = [], [], []
        for rep in range(args.repetitions):
            path = system_path(root, f"rows{rep}")
            if rep % 2 == 0:
                tool = tool_row_us(tools, path, args.frames)
                ours = python_rows(path, args.frames)
            else:
                ours = python_rows(path, args.frames)
                tool = tool_row_us(tools, path, args.frames)
            rows.append((ours["reused"], tool))
            fresh_rows.append((ours["fresh"], tool))
            whole.append(ours["grab"])
        row_ratio = median_ratio(rows)
        print(f"row delivery of a {WIDTH} x {HEIGHT} frame, medians of {args.repetitions} pairs:")
        print(f"  korvane-grab                     {statistics.median(t for _, t in rows):8.1f} us")
        print(f"  grab(out=buffer), its row copy   {statistics.median(o for o, _ in rows):8.1f} us"
              f"  ratio {row_ratio:.2f} (target <= {ROW_TARGET})")
        print(f"  grab() into a new array          {statistics.median(o for o, _ in fresh_rows):8.1f} us"
              f"  ratio {median_ratio(fresh_rows):.2f}")
        print(f"  whole grab(out=buffer) call      {statistics.median(whole):8.1f} us")

        name = f"PyBench{os.getpid()}"
        publisher = subprocess.Popen(
            [
                str(tools / "korvane-grab"),
                "--quiet",
                "--system-path",
                system_path(root, "share", f"[Camera 1]\nShareCamera=1\nShareName={name}\n"),
                "--continuous",
                "--seconds",
                "600",
            ],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        fresh, reused = [], []
        try:
            for rep in range(args.repetitions):
                measures = [
                    lambda: tool_share_fps(tools, name, args.share_frames),
                    lambda: python_share_fps(name, args.share_frames, reuse=False),
                    lambda: python_share_fps(name, args.share_frames, reuse=True),
                ]
                order = [0, 1, 2] if rep % 2 == 0 else [1, 2, 0]
                results = {i: measures[i]() for i in order}
                fresh.append((results[1], results[0]))
                reused.append((results[2], results[0]))
        finally:
            publisher.terminate()
            publisher.wait(timeout=30)
        share_ratio = median_ratio(fresh)
        print(f"sharing {WIDTH} x {HEIGHT} frames from korvane-grab, medians of {args.repetitions} triples:")
        print(f"  korvane-share                    {statistics.median(t for _, t in fresh):8.0f} frames/s")
        print(f"  ShareClient.frames(), new arrays {statistics.median(o for o, _ in fresh):8.0f} frames/s"
              f"  ratio {share_ratio:.2f} (target >= {SHARE_TARGET})")
        print(f"  ShareClient.frames(out=buffer)   {statistics.median(o for o, _ in reused):8.0f} frames/s"
              f"  ratio {median_ratio(reused):.2f}")

    met = row_ratio <= ROW_TARGET and share_ratio >= SHARE_TARGET
    print("both targets met" if met else "a target was missed")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
