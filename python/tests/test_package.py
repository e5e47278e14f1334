"""The package as a user meets it: where libraries are found, the PNG
writer, an offline pip install, and the examples."""

from __future__ import annotations

import os
import shutil
import struct
import subprocess
import sys
import uuid
import zlib
from pathlib import Path

import numpy as np
import pytest

import korvane
from korvane import _native
from conftest import ramp8, sim_config
from test_share import tools_dir

PYTHON_DIR = Path(__file__).resolve().parents[1]
EXAMPLES = PYTHON_DIR / "examples"


def decode_grey_png(data: bytes) -> np.ndarray:
    """Reads back what encode_png writes: checks every chunk's CRC."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, chunks = 8, {}
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind = data[pos + 4 : pos + 8]
        body = data[pos + 8 : pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length : pos + 12 + length])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, kind
        chunks.setdefault(kind, b"")
        chunks[kind] += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    assert (depth, colour, interlace) == (8, 0, 0)
    assert b"IEND" in chunks
    rows = np.frombuffer(zlib.decompress(chunks[b"IDAT"]), dtype=np.uint8).reshape(height, width + 1)
    assert (rows[:, 0] == 0).all(), "filter type none on every row"
    return rows[:, 1:]


def test_png_round_trip_and_refusals(tmp_path):
    image = ramp8(37, 11, 5)
    path = tmp_path / "ramp.png"
    korvane.save_png(path, image)
    np.testing.assert_array_equal(decode_grey_png(path.read_bytes()), image)
    # A non-contiguous view is written as the pixels it shows.
    view = ramp8(40, 20, 1)[::2, 3:30]
    np.testing.assert_array_equal(decode_grey_png(korvane.encode_png(view)), view)
    for bad in (np.zeros((4, 4), np.uint16), np.zeros((4, 4, 3), np.uint8), np.zeros((0, 4), np.uint8)):
        with pytest.raises(ValueError):
            korvane.encode_png(bad)


def test_library_search_order(monkeypatch, tmp_path):
    monkeypatch.setenv("KORVANE_LOADER_LIBRARY", "/explicit/loader.so")
    monkeypatch.setenv("KORVANE_LIBRARY", str(tmp_path / "lib" / "libKorvane.so"))
    places = _native.candidates("KORVANE_LOADER_LIBRARY", "libKorvaneLoader.so", "LOADER_LIBRARY", "KorvaneLoader")
    package = Path(_native.__file__).resolve().parent
    assert places[0] == "/explicit/loader.so"
    assert places[1] == str(package / "libKorvaneLoader.so")
    assert places[3] == str(tmp_path / "lib" / "libKorvaneLoader.so")
    assert places[-1] == "libKorvaneLoader.so"
    monkeypatch.delenv("KORVANE_LOADER_LIBRARY")
    assert _native.candidates("KORVANE_LOADER_LIBRARY", "x.so", "LOADER_LIBRARY", "x")[0] == str(package / "x.so")


def installed_lib(tmp_path: Path) -> Path:
    """The libraries side by side, as `cmake --install` leaves them in lib/."""
    lib = tmp_path / "lib"
    lib.mkdir()
    loader = Path(_native.loader()._name)
    share = Path(_native.share_library()._name)
    from korvane import _build_paths  # type: ignore[attr-defined]

    for source in (Path(_build_paths.DRIVER_LIBRARY), loader, share):
        shutil.copy2(source, lib / source.name)
    return lib


def clean_env(**extra: str) -> dict:
    env = {k: v for k, v in os.environ.items() if not k.startswith(("KORVANE_", "PYTHON"))}
    env.update(extra)
    return env


def test_offline_install_then_the_grab_example(tmp_path):
    source = tmp_path / "src"
    shutil.copytree(PYTHON_DIR, source, ignore=shutil.ignore_patterns("tests", "build", "*.egg-info", "__pycache__"))
    venv = tmp_path / "venv"
    subprocess.run(
        [sys.executable, "-m", "venv", "--system-site-packages", "--without-pip", str(venv)],
        check=True,
        timeout=120,
    )
    python = str(venv / "bin" / "python")
    install = subprocess.run(
        [python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--quiet", str(source)],
        capture_output=True,
        text=True,
        timeout=240,
        env=clean_env(),
    )
    assert install.returncode == 0, install.stdout + install.stderr
    lib = installed_lib(tmp_path)
    system = tmp_path / "system"
    system.mkdir()
    (system / "KorvaneSim.ini").write_text(sim_config(cameras=1, width=96, height=32))
    out = tmp_path / "frame.png"
    # Run from an unrelated folder: nothing but the install and the library.
    run = subprocess.run(
        [python, str(EXAMPLES / "grab.py"), "--system-path", str(system), "--out", str(out)],
        capture_output=True,
        text=True,
        timeout=60,
        cwd=tmp_path,
        env=clean_env(KORVANE_LIBRARY=str(lib / "libKorvane.so")),
    )
    assert run.returncode == 0, run.stdout + run.stderr
    lines = run.stdout.splitlines()
    assert lines[0] == f"Camera 1: 96 x 32, mean {ramp8(96, 32, 1).mean():.1f}, saved {out}"
    counts = [int(line.split()[1]) for line in lines[1:]]
    expected = np.bincount(ramp8(96, 32, 1).ravel(), minlength=256).reshape(16, -1).sum(axis=1)
    assert counts == expected.tolist()
    np.testing.assert_array_equal(decode_grey_png(out.read_bytes()), ramp8(96, 32, 1))
    where = subprocess.run(
        [python, "-c", "import korvane; print(korvane.__file__)"],
        capture_output=True,
        text=True,
        timeout=60,
        cwd=tmp_path,
        env=clean_env(),
    )
    assert where.stdout.startswith(str(venv)), where.stdout + where.stderr


def test_grab_example_reports_a_missing_camera(tmp_path):
    system = tmp_path / "system"
    system.mkdir()
    (system / "KorvaneSim.ini").write_text(sim_config(cameras=1))
    run = subprocess.run(
        [sys.executable, str(EXAMPLES / "grab.py"), "--system-path", str(system), "--camera", "Camera 5"],
        capture_output=True,
        text=True,
        timeout=60,
        cwd=tmp_path,
    )
    assert run.returncode == 1
    assert "openXELPort: ERROR: cannot find camera by name:Camera 5" in run.stderr


def test_share_example_counts_frames_until_sharing_stops(tmp_path):
    name = f"PyExample{os.getpid()}{uuid.uuid4().hex[:6]}"
    system = tmp_path / "system"
    system.mkdir()
    (system / "KorvaneSim.ini").write_text(sim_config(cameras=1, width=128, height=64))
    (system / "Korvane.ini").write_text(f"[Camera 1]\nShareCamera=1\nShareName={name}\n")
    publisher = subprocess.Popen(
        [str(tools_dir() / "korvane-grab"), "--quiet", "--system-path", str(system), "--continuous", "--seconds", "3"],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    try:
        run = subprocess.run(
            [sys.executable, str(EXAMPLES / "share_to_numpy.py"), "--name", name, "--connect-timeout", "10"],
            capture_output=True,
            text=True,
            timeout=60,
        )
    finally:
        publisher.wait(timeout=30)
    assert run.returncode == 0, run.stdout + run.stderr
    lines = run.stdout.splitlines()
    assert lines[0] == f"{name}: 128 x 64"
    last = lines[-1]
    assert "frames received (the camera stopped sharing)" in last, last
    assert int(last.split()[0]) > 10
