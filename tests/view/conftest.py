"""Fixtures of the browser tests: korvane-view started on a simulated camera
in a scratch folder, and a headless Chromium driven through chromedriver."""
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.request

import pytest

TOOL = os.environ.get("KORVANE_VIEW_TOOL", "")
GRAB_TOOL = os.environ.get("KORVANE_GRAB_TOOL", "")
ARTIFACTS = os.environ.get("KORVANE_VIEW_ARTIFACTS", tempfile.gettempdir())
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

# Two 1280 x 960 cameras grabbing a frame every 20 ms: the rate a line
# camera gives, and slow enough that one core serves both the camera and
# the page.
SIM_INI = """[System0]
Descriptor=M_SYSTEM_SOLIOS
Serial=SIM-VIEW
AsyncSupport=1
Digitizers=2
[System0.Digitizer0]
FrameTimeMs=20
[System0.Digitizer1]
FrameTimeMs=20
"""


class View:
    """One running korvane-view: its URL, port and token."""

    def __init__(self, proc, url, out_path):
        self.proc = proc
        self.url = url
        self.out_path = out_path
        m = re.match(r"http://([^/]+):(\d+)/\?token=([0-9a-f]+)$", url)
        assert m, url
        self.host, self.port, self.token = m.group(1), int(m.group(2)), m.group(3)
        self.base = "http://%s:%d" % (self.host, self.port)

    def request(self, path, method="GET", token=True, headers=None, timeout=10):
        req = urllib.request.Request(self.base + path, method=method,
                                     data=b"" if method == "POST" else None)
        if token:
            req.add_header("X-Korvane-Token", self.token)
        for k, v in (headers or {}).items():
            req.add_header(k, v)
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                return r.status, r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.read()

    def json(self, path, method="GET"):
        import json
        status, body = self.request(path, method)
        assert status == 200, (path, status, body)
        return json.loads(body)


def start_view(workdir, args, env):
    out_path = os.path.join(workdir, "view.out")
    out = open(out_path, "w")
    proc = subprocess.Popen([TOOL, "--http-port", "0"] + args, stdout=out,
                            stderr=subprocess.STDOUT, env=env, cwd=workdir)
    deadline = time.time() + 20
    while time.time() < deadline:
        with open(out_path) as f:
            m = re.search(r"(http://\S+)", f.read())
        if m:
            return View(proc, m.group(1), out_path)
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    proc.kill()
    with open(out_path) as f:
        raise AssertionError("korvane-view printed no URL:\n" + f.read())


def stop_view(view):
    if view.proc.poll() is None:
        view.proc.send_signal(signal.SIGTERM)
        try:
            view.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            view.proc.kill()
            view.proc.wait()
            raise AssertionError("korvane-view did not stop on SIGTERM")
    return view.proc.returncode


@pytest.fixture(scope="session")
def workdir():
    d = tempfile.mkdtemp(prefix="korvane-view-test-")
    yield d
    shutil.rmtree(d, ignore_errors=True)


@pytest.fixture(scope="session")
def sim_env(workdir):
    with open(os.path.join(workdir, "sim.ini"), "w") as f:
        f.write(SIM_INI)
    env = dict(os.environ)
    env["KORVANE_SIM_CONFIG"] = os.path.join(workdir, "sim.ini")
    env.pop("KORVANE_MIL", None)
    # Shares of this run live in a folder of their own.
    runtime = os.path.join(workdir, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env["XDG_RUNTIME_DIR"] = runtime
    return env


@pytest.fixture(scope="session")
def host_view(workdir, sim_env):
    """Host mode on Camera 1, grabbing continuously from the start."""
    if not TOOL:
        pytest.skip("KORVANE_VIEW_TOOL is not set")
    data = os.path.join(workdir, "host-data")
    view = start_view(workdir, ["--system-path", data, "--camera", "Camera 1",
                                "--continuous"], sim_env)
    yield view
    assert stop_view(view) == 0


def chrome_options():
    from selenium.webdriver.chrome.options import Options
    o = Options()
    o.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--window-size=1600,1000"):
        o.add_argument(flag)
    o.add_argument("--user-data-dir=" + tempfile.mkdtemp(prefix="korvane-view-chrome-"))
    return o


@pytest.fixture(scope="session")
def browser():
    if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
        pytest.skip("chromium and chromium-driver are not installed")
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=chrome_options())
    driver.set_page_load_timeout(20)
    driver.set_script_timeout(20)
    yield driver
    driver.quit()


def wait_for(predicate, timeout=15, interval=0.1, what="condition"):
    deadline = time.time() + timeout
    last = None
    while time.time() < deadline:
        last = predicate()
        if last:
            return last
        time.sleep(interval)
    raise AssertionError("timed out waiting for %s (last: %r)" % (what, last))
