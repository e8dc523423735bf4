"""A private Wayland compositor (headless sway) for driving the viewer from
outside, as xharness.py has a private X server.

sway runs on wlroots' headless backend with the software renderer, as the
user nobody when started by root (it will not run as root), with a runtime
folder of its own. Its clients, the viewer among them, connect as whoever
runs the test. Windows are read from sway's tree (title, app id, size), the
screen with grim, and closed the way a close box does (sway's kill). Every
process started here dies with the Python process that started it.
"""

import glob
import io
import json
import os
import pwd
import shutil
import subprocess
import tempfile

from PIL import Image

from xharness import read_line, run_tool, start_process, stop_process, wait_until

CONFIG = """\
output HEADLESS-1 resolution {width}x{height} position 0 0
# Every window floats at the size it asks for, without borders, centred.
default_border none
default_floating_border none
for_window [app_id=".*"] floating enable
focus_follows_mouse no
# Wayland alone: no X server for any client to fall back on.
xwayland disable
"""


class SwayServer:
    """A headless sway with one output of width x height pixels at scale 1."""

    def __init__(self, width=1280, height=1024):
        self.size = (width, height)
        self.scale = 1
        # In the system's temporary folder, which nobody can reach whoever
        # made the folders around the test's own.
        self.folder = tempfile.mkdtemp(prefix="rastelle-sway-")
        self.runtime = os.path.join(self.folder, "runtime")
        os.mkdir(self.runtime, 0o700)
        config = os.path.join(self.folder, "config")
        with open(config, "w") as out:
            out.write(CONFIG.format(width=width, height=height))
        os.chmod(self.folder, 0o755)
        os.chmod(config, 0o644)
        prefix = []
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.runtime, nobody.pw_uid, nobody.pw_gid)
            prefix = ["setpriv", "--reuid=nobody", "--regid=%d" % nobody.pw_gid, "--clear-groups"]
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "XDG_RUNTIME_DIR": self.runtime,
               "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman",
               "WLR_LIBINPUT_NO_DEVICES": "1", "HOME": self.folder}
        self.log = open(os.path.join(self.folder, "sway.log"), "wb")
        self.process = start_process([*prefix, "sway", "-c", config], env=env,
                                     stdout=self.log, stderr=self.log)
        try:
            wait_until(self._sockets, 15, "sway's sockets")
        except BaseException:
            self.stop()
            raise
        display, ipc = self._sockets()
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=display,
                        SWAYSOCK=ipc, NO_AT_BRIDGE="1")
        for name in ("DISPLAY", "XAUTHORITY", "GDK_BACKEND"):
            self.env.pop(name, None)

    def _sockets(self):
        if self.process.poll() is not None:
            with open(self.log.name, errors="replace") as log:
                lines = log.read().splitlines()[-5:]
            raise RuntimeError("sway exited with %d: %s" % (self.process.returncode,
                                                            "\n".join(lines)))
        displays = [os.path.basename(path)
                    for path in glob.glob(os.path.join(self.runtime, "wayland-*"))
                    if not path.endswith(".lock")]
        ipc = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
        return (displays[0], ipc[0]) if displays and ipc else None

    def stop(self):
        """Ends sway; a second call does nothing."""
        stop_process(self.process)
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def command(self, *words):
        """Runs one sway command; raises when sway reports a failure."""
        result = subprocess.run(["swaymsg", "--raw", " ".join(words)], env=self.env,
                                capture_output=True, text=True, timeout=10)
        try:
            replies = json.loads(result.stdout)
        except ValueError:
            replies = [{"success": False, "error": result.stderr.strip()}]
        failed = [reply.get("error", "failed") for reply in replies if not reply.get("success")]
        if failed:
            raise RuntimeError("sway: %s: %s" % (" ".join(words), "; ".join(failed)))

    def set_scale(self, scale):
        self.command("output", "HEADLESS-1", "scale", str(scale))
        self.scale = scale

    def windows(self):
        """Every window in sway's tree: dicts with pid, name (the title), app_id
        and rect (x, y, width, height on the layout, in logical pixels)."""
        tree = json.loads(run_tool(self.env, "swaymsg", "--raw", "-t", "get_tree"))
        found = []

        def walk(node):
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                if child.get("pid"):
                    rect = child["rect"]
                    found.append({"pid": child["pid"], "name": child.get("name"),
                                  "app_id": child.get("app_id"),
                                  "rect": (rect["x"], rect["y"], rect["width"], rect["height"])})
                walk(child)

        walk(tree)
        return found

    def window_of(self, pid):
        for window in self.windows():
            if window["pid"] == pid:
                return window
        return None

    def screenshot(self, box):
        """The layout's box (x, y, width, height, logical pixels) as an RGB
        image in device pixels: scale times as large."""
        x, y, width, height = box
        output = subprocess.run(["grim", "-t", "ppm", "-g", "%d,%d %dx%d" % (x, y, width, height),
                                 "-"], env=self.env, capture_output=True, timeout=10, check=True)
        return Image.open(io.BytesIO(output.stdout)).convert("RGB")


class VirtualPointer:
    """The seat's pointer, for a compositor that has no input devices."""

    def __init__(self, server, helper):
        self.server = server
        self.process = start_process(["/usr/bin/python3", helper], env=server.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        self._expect("ready")

    def _expect(self, word):
        line = read_line(self.process, 15, "the virtual pointer to answer")
        if line.strip() != word:
            raise RuntimeError("the virtual pointer said %r" % line)

    def _send(self, line):
        self.process.stdin.write((line + "\n").encode())
        self._expect("ok")

    def move(self, x, y):
        width, height = self.server.size
        scale = self.server.scale
        self._send("move %d %d %d %d" % (x, y, width // scale, height // scale))

    def press(self):
        self._send("press")

    def release(self):
        self._send("release")

    def stop(self):
        if self.process.stdin:
            self.process.stdin.close()
        stop_process(self.process)
