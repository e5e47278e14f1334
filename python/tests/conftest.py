"""Fixtures: a system path with a simulator configuration per test, and a
check that no test leaves threads behind."""

from __future__ import annotations

import os
import threading
from pathlib import Path
from typing import Callable, Iterator

import numpy as np
import pytest

import korvane


def sim_config(cameras: int = 2, width: int = 64, height: int = 16, bits: int = 8, extra: str = "") -> str:
    """A one-board simulator configuration with cameras alike."""
    text = (
        "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\n"
        f"Digitizers={cameras}\n"
    )
    for i in range(cameras):
        text += (
            f"[System0.Digitizer{i}]\nWidth={width}\nHeight={height}\nBits={bits}\n"
            f"FrameTimeMs=0\n{extra}"
        )
    return text


def ramp8(width: int, height: int, n: int) -> np.ndarray:
    """The simulator's 8-bit frame number n (grabs counted from 1)."""
    y, x = np.mgrid[0:height, 0:width]
    return ((x + 2 * y + 3 * n) % 256).astype(np.uint8)


def ramp16(width: int, height: int, n: int) -> np.ndarray:
    """The simulator's 16-bit sensor values of frame n."""
    y, x = np.mgrid[0:height, 0:width]
    return ((37 * x + 101 * y + 1009 * n) % 65536).astype(np.int64)


def task_count() -> int:
    """Threads of this process, the driver's C threads included."""
    return len(os.listdir("/proc/self/task"))


@pytest.fixture
def system_path(tmp_path: Path, monkeypatch: pytest.MonkeyPatch) -> Callable[..., str]:
    """Writes KorvaneSim.ini (and Korvane.ini) into a fresh system path."""
    monkeypatch.delenv("KORVANE_SIM_CONFIG", raising=False)
    monkeypatch.delenv("KORVANE_MIL", raising=False)
    monkeypatch.delenv("KORVANE_DIALOG_SCRIPT", raising=False)

    def make(sim: str = sim_config(), ini: str = "") -> str:
        path = tmp_path / "system"
        path.mkdir(exist_ok=True)
        (path / "KorvaneSim.ini").write_text(sim)
        if ini:
            (path / "Korvane.ini").write_text(ini)
        return str(path)

    return make


@pytest.fixture
def driver(system_path: Callable[..., str]) -> Iterator[korvane.Driver]:
    with korvane.Driver(system_path()) as opened:
        yield opened


@pytest.fixture(autouse=True)
def no_threads_left() -> Iterator[None]:
    """Every test ends with the Python threads and OS threads it began with."""
    python_before = set(threading.enumerate())
    tasks_before = task_count()
    yield
    # A driver thread that logged through Python shows up as a _DummyThread,
    # which Python never removes; whether OS threads outlive the test is
    # what the task count checks.
    left = [
        t
        for t in threading.enumerate()
        if t not in python_before and not isinstance(t, threading._DummyThread)
    ]
    assert not left, f"threads left behind: {left}"
    assert task_count() <= tasks_before, "driver threads left behind"
