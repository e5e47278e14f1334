"""Continuous grabbing: whole frames in order, drops counted for a slow
consumer, clean stops."""

from __future__ import annotations

import time

import numpy as np
import pytest

import korvane
from conftest import ramp8, sim_config


def frame_number(frame: np.ndarray) -> int:
    """n mod 256 of a ramp frame, from its first pixel (3n mod 256)."""
    # 3 * 171 = 513 = 1 (mod 256): 171 inverts 3.
    return (int(frame[0, 0]) * 171) % 256


def test_frames_are_whole_ramps_in_grab_order(driver):
    with driver.open("Camera 1") as camera:
        numbers = []
        with camera.frames(count=40, queue_size=64) as stream:
            for frame in stream:
                n = frame_number(frame)
                np.testing.assert_array_equal(frame, ramp8(64, 16, n))
                numbers.append(n)
        assert len(numbers) == 40 and stream.yielded == 40
        assert stream.closed
        # Later frames have later numbers (the count wraps at 256).
        steps = [(b - a) % 256 for a, b in zip(numbers, numbers[1:])]
        assert all(step >= 1 for step in steps), steps
        # Each frame the driver delivered was queued, dropped or discarded.
        assert stream.received >= stream.yielded + stream.dropped


def test_slow_consumer_drops_and_counts_without_blocking_the_grabs(system_path):
    with korvane.Driver(system_path(sim_config(cameras=1, extra="FrameTimeMs=1\n"))) as driver:
        with driver.open("Camera 1") as camera:
            with camera.frames(count=6, queue_size=2) as stream:
                got = []
                for frame in stream:
                    got.append(frame_number(frame))
                    time.sleep(0.05)  # far slower than a frame time
            assert stream.yielded == 6
            assert stream.dropped > 0, "a full queue must drop"
            assert stream.received >= stream.yielded + stream.dropped
            # The camera is idle again: the next single grab is the frame
            # after the last one the driver delivered.
            after = camera.grab(timeout=2)
            np.testing.assert_array_equal(after, ramp8(64, 16, stream.received + 1))


def test_breaking_out_and_closing_the_camera_stops_the_stream(driver):
    camera = driver.open("Camera 1")
    stream = camera.frames(queue_size=4)
    first = next(stream)
    np.testing.assert_array_equal(first, ramp8(64, 16, frame_number(first)))
    camera.close()
    assert stream.closed and not camera.is_open
    with pytest.raises(StopIteration):
        next(stream)


def test_stream_then_single_grabs_then_stream_again(driver):
    with driver.open("Camera 2") as camera:
        with camera.frames(count=3) as stream:
            assert len(list(stream)) == 3
        n = stream.received + 1
        np.testing.assert_array_equal(camera.grab(), ramp8(64, 16, n))
        assert camera.properties["continuous"] == 0
        with camera.frames(count=2) as again:
            frames = list(again)
        assert len(frames) == 2
        assert frame_number(frames[0]) == (n + 1) % 256


def test_one_stream_per_camera_and_no_grab_meanwhile(driver):
    with driver.open("Camera 1") as camera:
        with camera.frames(count=1):
            with pytest.raises(korvane.KorvaneError, match="already running"):
                camera.frames()
            with pytest.raises(korvane.KorvaneError, match="running"):
                camera.grab()


def test_failed_library_grabs_are_skipped_and_slow_frames_time_out(system_path):
    sim = sim_config(cameras=1, extra="FailGrabEvery=3\n")
    with korvane.Driver(system_path(sim)) as driver:
        with driver.open("Camera 1") as camera:
            with camera.frames(count=4, queue_size=8) as stream:
                numbers = [frame_number(frame) for frame in stream]
            # Every third grab fails and uses up its frame number.
            assert numbers == [1, 2, 4, 5]
            assert "failed (simulated fault)" in (driver.last_error or "")
    slow = sim_config(cameras=1, extra="FrameTimeMs=400\n")
    with korvane.Driver(system_path(slow)) as driver:
        with driver.open("Camera 1") as camera:
            with camera.frames(timeout=0.1) as stream:
                with pytest.raises(korvane.KorvaneTimeout):
                    next(stream)
            assert stream.closed


def test_stream_on_a_closed_camera_raises_the_driver_text(driver):
    camera = driver.open("Camera 1", port=6)
    camera.close()
    with pytest.raises(korvane.KorvaneError) as closed:
        camera.frames()
    assert closed.value.driver_line == "MilApp::GetByPort: ERROR: could not find camera on port 6"


def test_bad_arguments(driver):
    with driver.open("Camera 1") as camera:
        with pytest.raises(ValueError):
            camera.frames(queue_size=0)
        with pytest.raises(ValueError):
            camera.frames(count=-1)
        # Neither left a stream behind.
        assert camera.grab().shape == (16, 64)
