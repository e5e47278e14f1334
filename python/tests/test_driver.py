"""Driver: initialize and finalize, cameras, opening, log forwarding, errors."""

from __future__ import annotations

import logging

import pytest

import korvane
from conftest import sim_config, task_count


def test_lists_the_simulated_cameras_and_their_library(system_path):
    with korvane.Driver(system_path(sim_config(cameras=3))) as driver:
        assert driver.cameras == ["Camera 1", "Camera 2", "Camera 3"]
        assert driver.library_path.endswith(("libKorvane.so", "Korvane.dll"))
        assert driver.initialized
    assert not driver.initialized
    with pytest.raises(korvane.KorvaneError, match="finalized"):
        driver.cameras


def test_open_answers_the_size_and_close_frees_the_port(driver):
    camera = driver.open("Camera 2", port=4)
    assert camera.size == (64, 16)
    assert camera.shape == (16, 64)
    camera.close()
    assert not camera.is_open
    # The port is free again: opening it once more works.
    with driver.open("Camera 1", port=4) as again:
        assert again.is_open
    assert not again.is_open


def test_errors_carry_the_driver_error_line(driver):
    with pytest.raises(korvane.KorvaneError) as unknown:
        driver.open("Camera 9")
    assert unknown.value.driver_line == "openXELPort: ERROR: cannot find camera by name:Camera 9"
    assert "Camera 9" in str(unknown.value)
    assert driver.last_error == unknown.value.driver_line

    driver.open("Camera 1", port=2)
    with pytest.raises(korvane.KorvaneError) as in_use:
        driver.open("Camera 2", port=2)
    assert in_use.value.driver_line == "openXELPort: ERROR: port 2 already in use"


def test_log_lines_reach_logging_with_levels(system_path, caplog):
    caplog.set_level(logging.DEBUG, logger="korvane")
    with korvane.Driver(system_path()) as driver:
        with pytest.raises(korvane.KorvaneError):
            driver.open("No such camera")
    records = [r for r in caplog.records if r.name == "korvane"]
    texts = [r.getMessage() for r in records]
    # Two calls per message are joined: no record is only a time stamp.
    assert any(t.startswith("initialize: ") for t in texts), texts
    assert all(not t.endswith("\n") and t for t in texts)
    errors = [r for r in records if r.levelno == logging.ERROR]
    assert [r.getMessage() for r in errors] == [
        "openXELPort: ERROR: cannot find camera by name:No such camera"
    ]
    assert all(hasattr(r, "korvane_stamp") and r.korvane_stamp for r in records)
    infos = [r for r in records if r.levelno == logging.INFO]
    assert infos and all("ERROR" not in r.getMessage() for r in infos)


def test_level_mapping():
    from korvane.driver import level_of

    assert level_of("openXELPort: ERROR: port 1 already in use") == logging.ERROR
    assert level_of("doXELGrab: --EXCEPTION caught  grabberNo=0 portNo=5") == logging.ERROR
    assert level_of("MilDigitizer::Grab: WARNING: grab ignored") == logging.WARNING
    assert level_of("MilApp::Init: enter") == logging.INFO


def test_context_manager_finalizes_on_exception(system_path):
    tasks = task_count()
    with pytest.raises(ValueError):
        with korvane.Driver(system_path()) as driver:
            camera = driver.open("Camera 1")
            camera.grab()
            raise ValueError("host failure")
    assert not driver.initialized
    assert not camera.is_open
    assert task_count() <= tasks
    # The driver can be initialized again afterwards, and its camera reopened.
    with korvane.Driver(system_path()) as again:
        with again.open("Camera 1") as reopened:
            assert reopened.grab().shape == (16, 64)


def test_one_driver_at_a_time(driver, system_path):
    with pytest.raises(korvane.KorvaneError, match="another korvane.Driver"):
        korvane.Driver(system_path())
    # The refused one did not disturb the first.
    assert driver.cameras == ["Camera 1", "Camera 2"]


def test_missing_library_is_named(system_path, tmp_path):
    missing = str(tmp_path / "libNothing.so")
    with pytest.raises(korvane.KorvaneError, match="libNothing.so"):
        korvane.Driver(system_path(), library=missing)


def test_configure_without_a_sheet_and_for_unknown_cameras(driver):
    # This build has no window toolkit and no dialog script: cancelled.
    assert driver.configure("Camera 1") is False
    with driver.open("Camera 2") as camera:
        assert camera.configure() is False
    with pytest.raises(korvane.KorvaneError) as unknown:
        driver.configure("Camera 7")
    assert unknown.value.driver_line == "configureCamera: ERROR: cannot find camera by name: Camera 7"
