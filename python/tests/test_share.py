"""Share client: frames against the ramp, the end when sharing stops,
connecting, and a publisher in another process."""

from __future__ import annotations

import os
import subprocess
import time
import uuid
from pathlib import Path

import numpy as np
import pytest

import korvane
from conftest import ramp8, sim_config


def share_name() -> str:
    # Shares are named per machine: tests running side by side must differ.
    return f"PyTest{os.getpid()}{uuid.uuid4().hex[:8]}"


def shared_ini(name: str) -> str:
    return f"[Camera 1]\nShareCamera=1\nShareName={name}\n"


def tools_dir() -> Path:
    if os.environ.get("KORVANE_TOOLS_DIR"):
        return Path(os.environ["KORVANE_TOOLS_DIR"])
    from korvane import _build_paths  # type: ignore[attr-defined]

    return Path(_build_paths.TOOLS_DIR)


def test_each_grabbed_frame_reaches_the_client_and_the_end_is_seen(system_path):
    name = share_name()
    sim = sim_config(cameras=1, width=320, height=240)
    with korvane.Driver(system_path(sim, shared_ini(name))) as driver:
        camera = driver.open("Camera 1")
        with korvane.ShareClient(name, connect_timeout=2) as share:
            assert share.dimensions == (320, 240)
            assert share.shape == (240, 320)
            for n in (1, 2, 3):
                grabbed = camera.grab()
                assert share.wait_frame(timeout=2)
                image = share.read()
                np.testing.assert_array_equal(image, ramp8(320, 240, n))
                np.testing.assert_array_equal(image, grabbed)
            out = np.zeros((240, 320), dtype=np.uint8)
            assert share.read(out=out) is out
            np.testing.assert_array_equal(out, ramp8(320, 240, 3))
            camera.grab()
            (reused,) = list(share.frames(count=1, timeout=2, out=out))
            assert reused is out
            np.testing.assert_array_equal(out, ramp8(320, 240, 4))
            with pytest.raises(ValueError):
                share.read(out=np.zeros((320, 240), dtype=np.uint8))
            # Closing the camera stops the share: the iteration ends.
            camera.close()
            assert list(share.frames(timeout=3)) == []
            assert share.ended
        assert not share.connected
        with pytest.raises(korvane.KorvaneError, match="closed"):
            share.wait_frame(0)


def test_connecting_to_no_share_fails_after_the_timeout():
    start = time.monotonic()
    with pytest.raises(korvane.KorvaneError, match="cannot connect"):
        korvane.ShareClient(share_name(), connect_timeout=0.3)
    assert time.monotonic() - start >= 0.3
    with pytest.raises(korvane.KorvaneError, match="cannot connect"):
        korvane.ShareClient(share_name())


def test_client_waits_for_a_camera_that_starts_sharing_later(system_path, tmp_path):
    name = share_name()
    path = system_path(sim_config(cameras=1), shared_ini(name))
    publisher = subprocess.Popen(
        [
            str(tools_dir() / "korvane-grab"),
            "--quiet",
            "--system-path",
            path,
            "--continuous",
            "--seconds",
            "3",
        ],
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
    )
    try:
        with korvane.ShareClient(name, connect_timeout=10) as share:
            assert share.dimensions == (64, 16)
            count = 0
            for image in share.frames(timeout=5):
                # Whole frames, each the ramp of some frame number (mod 256:
                # thousands of small frames a second wrap it quickly).
                n = (int(image[0, 0]) * 171) % 256
                np.testing.assert_array_equal(image, ramp8(64, 16, n))
                count += 1
            # The tool stopped after its time: the iteration ended by itself.
            assert share.ended
            assert count > 10
    finally:
        output, _ = publisher.communicate(timeout=30)
    assert publisher.returncode == 0, output.decode(errors="replace")
