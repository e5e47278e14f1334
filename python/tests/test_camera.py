"""Camera: frames against the ramp, 16-bit conversions, properties, commands."""

from __future__ import annotations

import numpy as np
import pytest

import korvane
from conftest import ramp8, ramp16, sim_config


def test_every_pixel_of_successive_grabs_is_the_ramp(system_path):
    with korvane.Driver(system_path(sim_config(width=1280, height=960))) as driver:
        with driver.open("Camera 1") as camera:
            for n in (1, 2, 3):
                frame = camera.grab()
                assert frame.dtype == np.uint8 and frame.shape == (960, 1280)
                assert frame.flags.c_contiguous
                np.testing.assert_array_equal(frame, ramp8(1280, 960, n))


def test_grab_into_a_given_array_reuses_it(driver):
    with driver.open("Camera 1") as camera:
        buffer = np.zeros((16, 64), dtype=np.uint8)
        for n in (1, 2):
            assert camera.grab(out=buffer) is buffer
            np.testing.assert_array_equal(buffer, ramp8(64, 16, n))
            assert camera.last_read_seconds > 0
        with pytest.raises(ValueError):
            camera.grab(out=np.zeros((15, 64), dtype=np.uint8))


def test_read_into_a_strided_array_leaves_the_margin(driver):
    with driver.open("Camera 1") as camera:
        camera.grab()
        wide = np.full((16, 80), 0x55, dtype=np.uint8)
        view = wide[:, 8:72]
        assert camera.read(out=view) is view
        np.testing.assert_array_equal(view, ramp8(64, 16, 1))
        assert (wide[:, :8] == 0x55).all() and (wide[:, 72:] == 0x55).all()
        with pytest.raises(ValueError):
            camera.read(out=np.empty((16, 64), dtype=np.uint16))
        with pytest.raises(ValueError):
            camera.read(out=np.empty((64, 16), dtype=np.uint8).T)


def test_sixteen_bit_shift_saturates_and_low_byte_wraps(system_path):
    sim = sim_config(cameras=1, width=128, height=8, bits=16)
    with korvane.Driver(system_path(sim, "[Camera 1]\nUse16bit=1\nShift16bit=4\n")) as driver:
        with driver.open("Camera 1") as camera:
            assert camera.properties["Use16bit"] == 1
            np.testing.assert_array_equal(
                camera.grab(), np.minimum(ramp16(128, 8, 1) >> 4, 255).astype(np.uint8)
            )
            camera.properties["Shift16bit"] = 0
            np.testing.assert_array_equal(camera.grab(), (ramp16(128, 8, 2) & 0xFF).astype(np.uint8))
            camera.properties["Shift16bit"] = 2
            np.testing.assert_array_equal(
                camera.grab(), np.minimum(ramp16(128, 8, 3) >> 2, 255).astype(np.uint8)
            )


def test_sixteen_bit_sensor_in_an_eight_bit_buffer_gives_its_high_byte(system_path):
    sim = sim_config(cameras=1, width=64, height=4, bits=16)
    with korvane.Driver(system_path(sim)) as driver:
        with driver.open("Camera 1") as camera:
            np.testing.assert_array_equal(camera.grab(), (ramp16(64, 4, 1) >> 8).astype(np.uint8))


def test_eight_bit_shift_darkens(system_path):
    with korvane.Driver(system_path(ini="[Camera 1]\nShift16bit=2\n")) as driver:
        with driver.open("Camera 1") as camera:
            np.testing.assert_array_equal(camera.grab(), ramp8(64, 16, 1) >> 2)


def test_properties_read_write_and_ranges(driver):
    with driver.open("Camera 1") as camera:
        props = camera.properties
        assert props["PixelSize"] == 8
        props["Gain"] = 12
        assert props["Gain"] == 12
        assert props["gain"] == 12, "names ignore letter case"
        assert props.range("Gain") == (0, 255)
        assert props.range("Shift16bit") == (0, 8)
        low, high = props.range("Exposure")
        assert 0 <= low < high
        props["Exposure"] = 2500
        assert props["Exposure"] == 2500
        snapshot = dict(props)
        assert snapshot["Gain"] == 12 and snapshot["Width"] == 64 and snapshot["Height"] == 16
        assert "Gain" in props and "TriggerSource" not in props
        assert len(props) == len(snapshot)


def test_refused_properties_raise(driver):
    with driver.open("Camera 1") as camera:
        props = camera.properties
        with pytest.raises(korvane.PropertyError):
            props["TriggerSource"]
        with pytest.raises(KeyError):
            props["NoSuchName"] = 1
        with pytest.raises(korvane.PropertyError, match="refused"):
            props["PixelSize"] = 8  # read-only
        with pytest.raises(korvane.PropertyError, match="no range"):
            props.range("Width")
        with pytest.raises(korvane.PropertyError):
            props["Height"] = 5  # below 10
        with pytest.raises(TypeError):
            props["Gain"] = 1.5
        with pytest.raises(TypeError):
            del props["Gain"]
        assert props["Height"] == 16
    with pytest.raises(korvane.PropertyError, match="closed"):
        camera.properties["Gain"]


def test_a_smaller_height_and_width_limit_the_frame(system_path):
    with korvane.Driver(system_path(sim_config(width=1280, height=960))) as driver:
        with driver.open("Camera 1") as camera:
            camera.properties["Height"] = 100
            assert camera.size == (1280, 100)
            frame = camera.grab()
            assert frame.shape == (100, 1280)
            np.testing.assert_array_equal(frame, ramp8(1280, 100, 1))


def test_exec_cmd_results(driver):
    with driver.open("Camera 1") as camera:
        assert camera.exec_cmd("MdigControl", "ControlType=4019;ControlValue=12") == "ok"
        # The digitizer now answers 12 for the gain control.
        camera.properties["StoreValue"] = 4019
        assert camera.properties["MdigInquire"] == 12
        assert camera.exec_cmd("mdigcontrol", {"ControlType": 4019, "ControlValue": 40}) == "ok"
        assert camera.properties["MdigInquire"] == 40
        with pytest.raises(korvane.CommandError) as unknown:
            camera.exec_cmd("Reboot", "")
        assert unknown.value.result == "unknowncmd"
        with pytest.raises(korvane.CommandError) as missing:
            camera.exec_cmd("MdigControl", "ControlType=4019")
        assert missing.value.result == "unknowncmd"


def test_exec_cmd_refused_control_fails(system_path):
    sim = sim_config(cameras=1, extra="FailControl=4019\n")
    with korvane.Driver(system_path(sim)) as driver:
        with driver.open("Camera 1") as camera:
            with pytest.raises(korvane.CommandError) as refused:
                camera.exec_cmd("MdigControl", "ControlType=4019;ControlValue=3")
            assert refused.value.result == "fail"


def test_grab_on_a_closed_camera_raises_the_driver_text(driver):
    camera = driver.open("Camera 1", port=3)
    camera.close()
    with pytest.raises(korvane.KorvaneError) as closed:
        camera.grab()
    assert closed.value.driver_line == "MilApp::GetByPort: ERROR: could not find camera on port 3"


def test_a_grab_the_library_fails_times_out(system_path):
    sim = sim_config(cameras=1, extra="FailGrabEvery=2\n")
    with korvane.Driver(system_path(sim)) as driver:
        with driver.open("Camera 1") as camera:
            np.testing.assert_array_equal(camera.grab(), ramp8(64, 16, 1))
            with pytest.raises(korvane.KorvaneTimeout):
                camera.grab(timeout=0.3)
            assert "grab failed" in (driver.last_error or "")
