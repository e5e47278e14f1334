#!/usr/bin/python3
"""korvane-view's speed on the simulated camera (1280 x 960, a frame every
20 ms), all in one run so that the figures share the machine's load:

  - frames per second drawn by a headless Chromium page (JPEG stream),
    and the page's latency from the grab callback to the drawn frame;
  - the CPU the tool uses meanwhile (cores), and Chromium's per drawn frame;
  - the camera's grab rate with no viewer, with the page, and with the page
    plus a stalled viewer (a connection that asks for the stream and never
    reads), each over the same time.

Usage: view_bench.py BUILD_DIR [seconds per phase, default 8]
"""
import json
import os
import socket
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "view"))
import conftest  # noqa: E402  the tests' start-up of the tool and the browser


def cpu_seconds(pids):
    total = 0
    tick = os.sysconf("SC_CLK_TCK")
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / tick
        except OSError:
            pass
    return total


def descendants(pid):
    out = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            if ppid == pid:
                out.append(int(entry))
                out += descendants(int(entry))
    return out


def stats(view):
    with urllib.request.urlopen(urllib.request.Request(
            view.base + "/api/stats", headers={"X-Korvane-Token": view.token}), timeout=10) as r:
        return json.loads(r.read())


def grab_rate(view, seconds):
    a, t0 = stats(view)["grabbed"], time.time()
    time.sleep(seconds)
    return (stats(view)["grabbed"] - a) / (time.time() - t0)


def main():
    build = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 8.0
    conftest.TOOL = os.path.join(build, "bin", "korvane-view")
    work = tempfile.mkdtemp(prefix="korvane-view-bench-")
    with open(os.path.join(work, "sim.ini"), "w") as f:
        f.write(conftest.SIM_INI)
    env = dict(os.environ, KORVANE_SIM_CONFIG=os.path.join(work, "sim.ini"),
               XDG_RUNTIME_DIR=work)
    view = conftest.start_view(work, ["--system-path", os.path.join(work, "data"),
                                      "--continuous"], env)
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    try:
        time.sleep(1)
        alone = grab_rate(view, seconds)
        service = Service(conftest.CHROMEDRIVER)
        browser = webdriver.Chrome(service=service, options=conftest.chrome_options())
        try:
            browser.get(view.url)
            conftest.wait_for(lambda: browser.execute_script(
                "return window.korvaneView && window.korvaneView.stats().drawn > 10"))
            chrome = descendants(service.process.pid)
            s0 = browser.execute_script("return window.korvaneView.stats()")
            c0, b0, t0 = cpu_seconds([view.proc.pid]), cpu_seconds(chrome), time.time()
            g0 = stats(view)["grabbed"]
            time.sleep(seconds)
            s1 = browser.execute_script("return window.korvaneView.stats()")
            c1, b1, t1 = cpu_seconds([view.proc.pid]), cpu_seconds(chrome), time.time()
            with_page = (stats(view)["grabbed"] - g0) / (t1 - t0)
            drawn = s1["drawn"] - s0["drawn"]
            page_fps = drawn / (t1 - t0)
            tool_cores = (c1 - c0) / (t1 - t0)
            chrome_ms = 1000 * (b1 - b0) / max(drawn, 1)
            # Without and with a stalled viewer, alternately, so that a
            # change in the machine's load shows as spread, not as a result.
            without, with_stalled = [with_page], []
            for _ in range(2):
                stalled = socket.create_connection(("127.0.0.1", view.port))
                stalled.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                stalled.sendall(("GET /stream HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                                 "X-Korvane-Token: %s\r\n\r\n" % (view.port, view.token)).encode())
                time.sleep(0.5)
                with_stalled.append(grab_rate(view, seconds / 2))
                page_fps_stalled = browser.execute_script("return window.korvaneView.stats().fps")
                stalled.close()
                without.append(grab_rate(view, seconds / 2))
        finally:
            browser.quit()
        with open("/proc/loadavg") as f:
            load = f.read().split()[0]
        print("load average %s; %.0f s per phase" % (load, seconds))
        print("page: %.1f frames/s drawn, latency median %.1f ms, %d dropped of %d received"
              % (page_fps, s1["latencyMs"], s1["dropped"], s1["received"]))
        print("tool CPU: %.2f cores; Chromium %.1f ms CPU per drawn frame"
              % (tool_cores, chrome_ms))
        w = sum(without) / len(without)
        st = sum(with_stalled) / len(with_stalled)
        print("grab rate: %.2f frames/s with no viewer; with the page %s, mean %.2f; with the "
              "page and a stalled viewer %s, mean %.2f (%+.1f %%); page meanwhile %.1f frames/s"
              % (alone, " ".join("%.2f" % r for r in without), w,
                 " ".join("%.2f" % r for r in with_stalled), st, 100 * (st / w - 1),
                 page_fps_stalled))
    finally:
        conftest.stop_view(view)


if __name__ == "__main__":
    main()
