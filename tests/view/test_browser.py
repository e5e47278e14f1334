"""The page in headless Chromium against korvane-view hosting the simulated
camera: what it draws, how fast, and what its controls do to the camera."""
import base64
import os
import time

import numpy as np
import pytest

from conftest import ARTIFACTS, GRAB_TOOL, start_view, stop_view, wait_for


def ramp(n, width, height):
    """The simulator's frame number n: (x + 2y + 3n) mod 256."""
    y, x = np.mgrid[0:height, 0:width]
    return ((x + 2 * y + 3 * n) % 256).astype(np.uint8)


def drawn_frame(browser):
    f = browser.execute_script("return window.korvaneView.frame();")
    data = np.frombuffer(base64.b64decode(f["data"]), dtype=np.uint8)
    return f["seq"], data.reshape(f["height"], f["width"])


def stats(browser):
    return browser.execute_script("return window.korvaneView.stats();")


def open_page(browser, view, stream=None):
    browser.get(view.url)
    wait_for(lambda: browser.execute_script("return !!window.korvaneView;"), what="the page")
    if stream:
        # The stream's own controls: the same path a user takes.
        browser.execute_script(
            "const f = document.getElementById('format'); f.value = arguments[0];"
            "document.getElementById('maxFps').value = arguments[1];"
            "f.dispatchEvent(new Event('change'));", stream[0], stream[1])
    first = stats(browser)["received"]
    wait_for(lambda: stats(browser)["drawn"] > 0 and stats(browser)["received"] > first + 1,
             what="frames drawn")


class TestLiveImage:
    def test_lossless_frame_is_the_ramp_of_its_number(self, browser, host_view):
        open_page(browser, host_view, ("png", "5"))
        time.sleep(0.5)
        seq, pixels = drawn_frame(browser)
        assert pixels.shape == (960, 1280)
        assert seq > 0
        expected = ramp(seq, 1280, 960)
        wrong = np.count_nonzero(pixels != expected)
        assert wrong == 0, "%d pixels differ from the ramp of frame %d" % (wrong, seq)

    def test_jpeg_frame_is_the_ramp_within_its_error(self, browser, host_view):
        open_page(browser, host_view, ("jpeg", "0"))
        seq, pixels = drawn_frame(browser)
        err = np.abs(pixels.astype(int) - ramp(seq, 1280, 960).astype(int))
        # JPEG blurs the ramp's steps from 255 to 0 (one diagonal line in
        # every 128 pixels); everywhere else it is within a few levels.
        assert err.mean() < 4.0, err.mean()
        assert np.count_nonzero(err > 16) / err.size < 0.03
        # The ramp of the neighbouring frame is 3 levels away everywhere:
        # the error bound above is tight enough to tell frames apart.
        other = np.abs(pixels.astype(int) - ramp(seq + 1, 1280, 960).astype(int))
        assert other.mean() > err.mean() + 1.5

    def test_continuous_grabbing_keeps_drawing_new_frames(self, browser, host_view):
        # The page's frame rate is a figure of bench/view/view_bench.py; here
        # the page must keep drawing newer frames and report what it counts.
        open_page(browser, host_view, ("jpeg", "0"))
        start = stats(browser)
        first_seq, _ = drawn_frame(browser)
        time.sleep(2)
        end = stats(browser)
        later_seq, _ = drawn_frame(browser)
        assert end["drawn"] >= start["drawn"] + 5, (start, end)
        assert later_seq > first_seq
        assert end["fps"] > 0
        # Latency from the camera's callback to the drawn image is measured
        # on the same clock: a stamp from another clock would be off by
        # hours or years, not seconds.
        assert 0 < end["latencyMs"] < 10000, end["latencyMs"]

    def test_screenshot_of_the_page(self, browser, host_view):
        open_page(browser, host_view, ("jpeg", "0"))
        time.sleep(1.5)  # statistics and histogram refresh twice a second
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, "korvane-view.png")
        assert browser.save_screenshot(path)
        with open(path, "rb") as f:
            assert f.read(8) == b"\x89PNG\r\n\x1a\n"
        assert os.path.getsize(path) > 20000


def ramp_number(pixels):
    """The frame number n (mod 256) whose ramp starts with pixels[0, 0]."""
    return (int(pixels[0, 0]) * 171) % 256  # 171 is 3's inverse mod 256


def setting(browser, name, value):
    from selenium.webdriver.common.by import By
    field = browser.find_element(By.ID, "set-" + name)
    field.clear()
    field.send_keys(str(value))
    before = browser.find_element(By.ID, "settingAnswer").text
    browser.find_element(By.ID, "apply-" + name).click()
    return wait_for(lambda: (lambda t: t if t and t != before else None)(
        browser.find_element(By.ID, "settingAnswer").text), what="the driver's answer")


def text_of(browser, element_id):
    from selenium.webdriver.common.by import By
    return browser.find_element(By.ID, element_id).text


class TestControls:
    def test_gain_set_in_the_page_reaches_the_driver(self, browser, host_view):
        open_page(browser, host_view)
        for gain in (12, 40):
            answer = setting(browser, "Gain", gain)
            assert "Gain=%d: accepted, now %d" % (gain, gain) in answer
            gains = [p["value"] for p in host_view.json("/api/info")["properties"]
                     if p["name"] == "Gain"]
            assert gains == [gain]

    def test_refused_values_show_the_drivers_message(self, browser, host_view):
        open_page(browser, host_view)
        # The driver refuses a height below its limit ...
        answer = setting(browser, "Height", 5)
        assert "refused" in answer
        assert "Height=5 refused, out of range [10, 960]" in answer
        info = host_view.json("/api/info")
        assert [p["value"] for p in info["properties"] if p["name"] == "Height"] == [960]
        # ... and the camera a gain above its own: the driver passes it on
        # and logs the camera's error, which the page shows as a refusal.
        answer = setting(browser, "Gain", 300)
        assert "refused" in answer and "300" in answer and "ERROR" in answer

    def test_settings_show_ranges_and_when_they_take_effect(self, browser, host_view):
        from selenium.webdriver.common.by import By
        open_page(browser, host_view)
        rows = {r.get_attribute("data-name"): r.text
                for r in browser.find_elements(By.CSS_SELECTOR, "#settings tbody tr")}
        assert "0 .. 255 (driver)" in rows["Gain"] and "at once" in rows["Gain"]
        assert "10 .. 960 (catalogue)" in rows["Height"] and "next open" in rows["Height"]
        assert "next open" in rows["LogLevel"]

    def test_histogram_marks_the_saturated_share(self, browser, host_view):
        # The ramp has each grey level in exactly 1/256 of its pixels.
        open_page(browser, host_view, ("png", "5"))
        wait_for(lambda: "0.39 %" in text_of(browser, "saturation"), what="the lossless histogram")
        assert " ".join(text_of(browser, "saturation").split()) == \
            "black (0): 0.39 % white (255): 0.39 %"

    def test_log_lines_arrive_and_filter_by_level(self, browser, host_view):
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import Select
        open_page(browser, host_view)
        setting(browser, "Height", 4)  # an error line of the driver
        wait_for(lambda: "Height=4 refused" in text_of(browser, "log"), what="the error line")
        assert "MilDigitizer::Open" in text_of(browser, "log")
        Select(browser.find_element(By.ID, "logLevel")).select_by_value("error")
        shown = text_of(browser, "log")
        assert "Height=4 refused" in shown and "MilDigitizer::Open" not in shown

    def test_grab_buttons_pixel_readout_zoom_and_snapshot(self, browser, host_view):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        open_page(browser, host_view)
        grabbed = lambda: host_view.json("/api/stats")["grabbed"]
        try:
            browser.find_element(By.ID, "grabStop").click()
            wait_for(lambda: "stop: accepted" in text_of(browser, "grabAnswer"), what="stop")
            time.sleep(0.3)
            stopped = grabbed()
            time.sleep(0.5)
            assert grabbed() == stopped
            browser.find_element(By.ID, "grabSingle").click()
            wait_for(lambda: grabbed() == stopped + 1, what="one frame")
            wait_for(lambda: stats(browser)["seq"] == host_view.json("/api/stats")["published"],
                     what="the single frame drawn")
            time.sleep(0.5)
            assert grabbed() == stopped + 1
            seq, pixels = drawn_frame(browser)
            # Single pixels at 4x, the value under the pointer.
            browser.find_element(By.ID, "zoom1").click()
            browser.find_element(By.ID, "zoomIn").click()
            browser.find_element(By.ID, "zoomIn").click()
            canvas = browser.find_element(By.ID, "frame")
            assert canvas.value_of_css_property("width") == "5120px"
            browser.execute_script("document.getElementById('viewport').scrollTo(0, 0);")
            # Scrolled to the top left, the viewport shows pixel (0, 0) in
            # its corner; offsets count from the viewport's centre.
            viewport = browser.find_element(By.ID, "viewport")
            ActionChains(browser).move_to_element_with_offset(
                viewport, -(viewport.size["width"] // 2) + 4 * 37 + 2,
                -(viewport.size["height"] // 2) + 4 * 11 + 2).perform()
            assert text_of(browser, "pixel") == "x 37, y 11: %d" % pixels[11, 37]
            browser.find_element(By.ID, "zoomFit").click()
            # The snapshot link downloads the frame on show, as PGM.
            href = browser.find_element(By.ID, "snapPgm").get_attribute("href")
            status, body = host_view.request(href[len(host_view.base):], token=False)
            assert status == 200
            header = b"P5\n1280 960\n255\n"
            assert body.startswith(header)
            snap = np.frombuffer(body[len(header):], dtype=np.uint8).reshape(960, 1280)
            # The frame on show, exactly (the page itself drew it as JPEG).
            assert np.array_equal(snap, ramp(seq, 1280, 960))
            status, body = host_view.request("/api/snapshot?format=png")
            assert status == 200 and body[:8] == b"\x89PNG\r\n\x1a\n"
            assert body[16:24] == (1280).to_bytes(4, "big") + (960).to_bytes(4, "big")
        finally:
            browser.find_element(By.ID, "grabContinuous").click()
        wait_for(lambda: "continuous: accepted" in text_of(browser, "grabAnswer"), what="restart")
        before = grabbed()
        wait_for(lambda: grabbed() > before + 10, what="continuous grabbing again")

    def test_several_tabs_get_frames_and_a_closed_tab_frees_its_stream(self, browser, host_view):
        open_page(browser, host_view)
        first = browser.current_window_handle
        base = host_view.json("/api/stats")["streams"]
        browser.switch_to.new_window("tab")
        open_page(browser, host_view)
        second = browser.current_window_handle
        wait_for(lambda: host_view.json("/api/stats")["streams"] == base + 1, what="two streams")
        # Both tabs draw frames at once.
        a = stats(browser)["drawn"]
        browser.switch_to.window(first)
        b = stats(browser)["drawn"]
        time.sleep(1)
        assert stats(browser)["drawn"] > b
        browser.switch_to.window(second)
        assert stats(browser)["drawn"] > a
        browser.close()
        browser.switch_to.window(first)
        wait_for(lambda: host_view.json("/api/stats")["streams"] == base, timeout=10,
                 what="the closed tab's stream to end")


@pytest.fixture(scope="module")
def shared_camera(workdir, sim_env):
    """korvane-grab sharing Camera 2 as ViewShare, and a viewer of it."""
    if not GRAB_TOOL:
        pytest.skip("KORVANE_GRAB_TOOL is not set")
    data = os.path.join(workdir, "share-data")
    os.makedirs(data, exist_ok=True)
    with open(os.path.join(data, "Korvane.ini"), "w") as f:
        f.write("[Camera 2]\nShareCamera=1\nShareName=ViewShare\n")
    import subprocess
    grab = subprocess.Popen([GRAB_TOOL, "--quiet", "--system-path", data, "--camera", "Camera 2",
                             "--continuous", "--seconds", "60"], env=sim_env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    view = start_view(workdir, ["--share", "ViewShare"], sim_env)
    yield view
    code = stop_view(view)
    grab.terminate()
    grab.wait(timeout=15)
    assert code == 0


class TestShareMode:
    def test_shows_the_shared_cameras_frames_read_only(self, browser, shared_camera):
        from selenium.webdriver.common.by import By
        open_page(browser, shared_camera, ("png", "10"))
        info = shared_camera.json("/api/info")
        assert info["mode"] == "share" and info["readOnly"] and info["width"] == 1280
        _, pixels = drawn_frame(browser)
        n = ramp_number(pixels)
        assert np.array_equal(pixels, ramp(n, 1280, 960))
        before = stats(browser)["drawn"]
        wait_for(lambda: stats(browser)["drawn"] > before + 5, what="more shared frames")
        assert not browser.find_element(By.ID, "settings").is_displayed()
        assert "connected, 1280 x 960" in text_of(browser, "shareState")
        status, _ = shared_camera.request("/api/grab?mode=stop", "POST")
        assert status == 403
