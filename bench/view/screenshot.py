#!/usr/bin/python3
"""Saves the page as docs/view.png shows it: korvane-view grabbing the
simulated camera, Gain set to 12, the pointer over the image at fit.
Usage: screenshot.py BUILD_DIR OUT.png"""
import os
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "view"))
import conftest  # noqa: E402


def main():
    build, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    conftest.TOOL = os.path.join(build, "bin", "korvane-view")
    work = tempfile.mkdtemp(prefix="korvane-view-shot-")
    with open(os.path.join(work, "sim.ini"), "w") as f:
        f.write(conftest.SIM_INI)
    env = dict(os.environ, KORVANE_SIM_CONFIG=os.path.join(work, "sim.ini"), XDG_RUNTIME_DIR=work)
    view = conftest.start_view(work, ["--system-path", os.path.join(work, "data"),
                                      "--continuous"], env)
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    options = conftest.chrome_options()
    browser = webdriver.Chrome(service=Service(conftest.CHROMEDRIVER), options=options)
    try:
        browser.set_window_size(1600, 1150)
        browser.get(view.url)
        conftest.wait_for(lambda: browser.execute_script(
            "return window.korvaneView && window.korvaneView.stats().drawn > 5"))
        field = browser.find_element(By.ID, "set-Gain")
        field.clear()
        field.send_keys("12")
        browser.find_element(By.ID, "apply-Gain").click()
        time.sleep(3)
        canvas = browser.find_element(By.ID, "frame")
        ActionChains(browser).move_to_element_with_offset(canvas, 40, 25).perform()
        time.sleep(0.3)
        browser.save_screenshot(out)
    finally:
        browser.quit()
        conftest.stop_view(view)


if __name__ == "__main__":
    main()
