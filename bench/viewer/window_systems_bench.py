"""The viewer on X11 and natively on Wayland, side by side, with one file.

Usage: window_systems_bench.py --viewer PATH --bmpgen PATH [--width 3000]
                               [--height 2000] [--runs 5] [--work DIR]

Writes a 24-bit file of the size given and starts the viewer with it, runs
times on a private Xvfb and runs times on a private headless sway (the
harnesses of the end-to-end tests). Per window system it prints, for each run
and as medians: the time from starting the process to its window being mapped
(listed by the X server or in sway's tree), to the zoom caption, and the
viewer's peak resident memory (VmHWM) and threads a second after the caption.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave the source folder as it is
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

import wlharness  # noqa: E402
import xharness  # noqa: E402


def status(pid, field):
    with open("/proc/%d/status" % pid) as lines:
        for line in lines:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return None


def measure(viewer, path, env, window_of, caption_of):
    """(seconds to map, seconds to the zoom caption, peak MiB, threads)"""
    started = time.monotonic()
    process = xharness.start_process([viewer, path], env=env)
    try:
        window = xharness.wait_until(lambda: window_of(process.pid), 30, "the window", 0.002)
        mapped = time.monotonic() - started
        xharness.wait_until(lambda: (caption_of(process.pid, window) or "").endswith("%"), 30,
                            "the zoom caption", 0.002)
        captioned = time.monotonic() - started
        time.sleep(1)
        return mapped, captioned, status(process.pid, "VmHWM") / 1024, status(process.pid,
                                                                              "Threads")
    finally:
        xharness.stop_process(process)


def on_x11(options, path):
    server = xharness.XvfbServer(1280, 1024, 24)
    client = xharness.XClient(server.display)
    try:
        def window_of(pid):
            windows = client.windows_of(pid)
            return windows[-1] if windows else None

        def caption_of(pid, window):
            caption = client.caption(window_of(pid) or window)
            return caption.decode(errors="replace") if caption else None

        return [measure(options.viewer, path, server.env, window_of, caption_of)
                for _ in range(options.runs)]
    finally:
        client.close()
        server.stop()


def on_wayland(options, path):
    server = wlharness.SwayServer()
    try:
        def caption_of(pid, window):
            found = server.window_of(pid)
            return found and found["name"]

        return [measure(options.viewer, path, server.env, server.window_of, caption_of)
                for _ in range(options.runs)]
    finally:
        server.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--bmpgen", required=True)
    parser.add_argument("--width", type=int, default=3000)
    parser.add_argument("--height", type=int, default=2000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="build/window-systems-bench")
    options = parser.parse_args()
    options.viewer = os.path.abspath(options.viewer)
    os.makedirs(options.work, exist_ok=True)
    path = os.path.abspath(os.path.join(options.work, "rgb24-%dx%d.bmp" % (options.width,
                                                                          options.height)))
    if not os.path.exists(path):
        xharness.run_tool(os.environ, options.bmpgen, "--layout", "rgb24", "--width",
                          str(options.width), "--height", str(options.height), "--out", path,
                          timeout=120)
    print("%s, %d x %d 24-bit, %d runs each" % (options.viewer, options.width, options.height,
                                                options.runs))
    for name, run in (("X11 (Xvfb)", on_x11), ("Wayland (headless sway)", on_wayland)):
        results = run(options, path)
        mapped, captioned, peak, threads = zip(*results)
        print("%s: mapped %s s, median %.3f; zoom caption median %.3f s; peak memory %s MiB, "
              "median %.1f; threads %d" % (
                  name, " ".join("%.3f" % value for value in mapped), statistics.median(mapped),
                  statistics.median(captioned), " ".join("%.1f" % value for value in peak),
                  statistics.median(peak), max(threads)))


if __name__ == "__main__":
    main()
