"""Compares Rastelle with the image viewers Linux users would use instead.

Usage: /usr/bin/python3 bench/viewers/viewers_bench.py [--rounds 5] [--only IMAGES]
           [--viewers LIST] [--viewer build/release/rastelle] [--extra NAME=PATH]...
           [--display x11|wayland|both] [--work DIR] [--keep-going]

On X11, every viewer runs on one private Xvfb (1920x1080x24) with a tiny
window manager of this script's own: it places every top-level window at
(0, 0) and makes it 1200x900 before mapping it, and keeps it so when the
client asks for another size. Rastelle has no size option, so the size is the
window manager's for every viewer alike: each window is 1200x900 from its
first frame on. Peers that take a window size are given the same one, so that
they fit the picture to the window they get. The window manager gives each
new window the input focus, like a desktop's.

On Wayland, every viewer runs natively on a private headless sway (the
end-to-end tests' compositor: wlroots' headless backend, software rendering,
no input devices, no XWayland) whose one output is 1200x900, where the one
window is tiled without border or title bar and so fills the output. sway
1.7 sends a new window's first configure without a size (the client picks
its own) and the tiled size once the client has committed its first buffer;
it shows the window only when the client has answered that (or gives up
waiting after 200 ms), so the first frame on the screen is 1200x900 too.
Rastelle (and every --extra build) gets WAYLAND_DISPLAY alone; GTK peers
GDK_BACKEND=wayland, qimgv QT_QPA_PLATFORM=wayland, imv its Wayland build.
feh, nsxiv, viewnior and gpicview run on X11 only and are left out there.
--display both runs X11 first, then Wayland, and reports each.

For each viewer and picture, a run measures:
- start to final picture: from starting the process to the last change of
  the screen (the window's area, read back whole) after which the screen
  stays the same for the settle time (1.5 s) while the viewer's processes use
  almost no processor time. A quick or partial picture shown first (a
  preview) is a change before the last one and does not count; "screens" in
  the table counts the different screens a run showed, the final one
  included. On X11 the resolution is one poll: 5 ms asleep and under 1 ms
  reading. On Wayland the compositor hands over each output frame that
  changed pixels, with the time of the commit that put it out (wlscreen.py),
  so the time is exact; it includes any wait for the output's next frame
  (up to 16.7 ms at 60 Hz), as on a real screen.
- peak memory: VmHWM of the viewer's process and every process under it,
  summed, read at rest just before the viewer is ended; at the same time, the
  threads of them all, and the graphics libraries mapped in them (EGL, GL,
  GBM, Mesa's drivers).
- on Wayland, the time to the window being mapped (sway's window event), and
  the size and place of the viewer's windows in sway's tree at rest. The
  untimed first run of each viewer logs its protocol (WAYLAND_DEBUG) to the
  work folder, from which the table takes the sizes of its first configures.
- what is left behind: once the viewer's process group is ended, any process
  that still carries the run's mark in its environment (a bus daemon that
  left the viewer's session, say) is named in the run's line and the table,
  and killed.
- PSNR at rest: the final screen against the exact area average of the
  picture (each displayed pixel the mean of the source area it covers, in
  double precision), computed at the size and place the viewer shows it. The
  image rectangle is where the screens of the two contents differ; the size
  and place within a pixel of it that match best are taken, and the pixels on
  the rectangle's edge are left out. Rounding the exact average to 8 bits
  alone scores about 59 dB where the averages fall anywhere between levels
  (the zone plate), more on the gradient.

--extra NAME=PATH adds another Rastelle binary as a viewer named NAME, run
exactly as Rastelle is, so that two builds are measured in one run, taking
turns with the peers; the comparison lines give the ratios of each.

Pictures (written once into the work folder by pictures.py, each alone in a
folder of its own so that viewers listing the folder find nothing else, and
read once before each run so that they come from the page cache): 24-bit
8192x8192, 8-bit palette 8192x8192, 8-bit run-length 8192x8192, 32-bit
8192x4096, 24-bit 1920x1080 (the everyday photograph) and 24-bit 1024x1024,
each with fine detail (a zone plate) and smooth content (a gradient). Medians
are over the rounds and both contents.

Memory: the pictures take 1.1 GB of disk (and of page cache); the script
itself needs about 1.6 GB at its peak (a picture whole and its area averages
in double precision), and a viewer up to about 1.5 GB more: have 4 GB free.
The other viewers come from `scripts/setup.sh viewers`. Never run by ctest or
CI: it is for comparing by hand.
"""

import argparse
import ctypes
import ctypes.util
import itertools
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True  # leave the source folder as it is
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import pictures  # noqa: E402
import wlharness  # noqa: E402
import wlscreen  # noqa: E402
import xharness  # noqa: E402

SCREEN = (1920, 1080)
WINDOW = (1200, 900)
MiB = 1024 * 1024

# name: (the program, the arguments before the file). A peer that takes a
# window size is given the one the window manager makes its window anyway,
# and each is told to fit the picture to its window where that is not its
# default; everything else (filtering, backgrounds, panels) is the viewer's
# own default.
PEERS = {
    "feh": ("feh", ["--geometry", "1200x900", "--scale-down"]),
    "nsxiv": ("nsxiv", ["-g", "1200x900", "-s", "d"]),
    "eog": ("eog", ["--new-instance"]),
    "ristretto": ("ristretto", []),
    "imv": ("imv-x11", []),
    "qimgv": ("qimgv", []),
    "viewnior": ("viewnior", []),
    "gpicview": ("gpicview", []),
    "geeqie": ("geeqie", []),
}
# Settings files written into a peer's home (under its configuration folder)
# where its command line has no such option.
SETTINGS = {
    "imv": ("imv/config", "[options]\nwidth = 1200\nheight = 900\nscaling_mode = shrink\n"),
}
# The peers that run natively on Wayland: name: (the program where the
# Wayland build is another one, the variables that keep the toolkit off X11).
WAYLAND_PEERS = {
    "eog": (None, {"GDK_BACKEND": "wayland"}),
    "ristretto": (None, {"GDK_BACKEND": "wayland"}),
    "geeqie": (None, {"GDK_BACKEND": "wayland"}),
    "qimgv": (None, {"QT_QPA_PLATFORM": "wayland"}),
    "imv": ("imv-wayland", {}),
}
# The compositor's configuration: the window is tiled, the only one on the
# output, so its size is the output's; dialogs float at the size they ask.
# The output draws at most 60 frames a second, as an ordinary screen.
SWAY_CONFIG = """\
output HEADLESS-1 mode {width}x{height}@60Hz position 0 0
default_border none
default_floating_border none
focus_follows_mouse no
xwayland disable
"""
# The libraries of drawing through a graphics driver: EGL, GL and GLX with
# their dispatch, GBM, Vulkan, Mesa's shared parts and its drivers.
GRAPHICS_LIBRARY = re.compile(r"/(lib(?:EGL|GL|GLX|GLdispatch|GLESv[12]|OpenGL|gbm|glapi|gallium|vulkan)"
                              r"[._-][^/]*|[^/]*_dri\.so)$")


# ----------------------------------------------------------------------------
# The window manager, run as a process of its own (--window-manager) so that
# it answers at once whatever the measuring side is doing.

class _MapRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("parent", ctypes.c_ulong),
                ("window", ctypes.c_ulong)]


class _ConfigureRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("parent", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("above", ctypes.c_ulong),
                ("detail", ctypes.c_int), ("value_mask", ctypes.c_ulong)]


class _ConfigureNotify(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("above", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class _WindowChanges(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("sibling", ctypes.c_ulong), ("stack_mode", ctypes.c_int)]


_MAP_REQUEST, _CONFIGURE_REQUEST, _CONFIGURE_NOTIFY = 20, 23, 22
_SUBSTRUCTURE_REDIRECT_MASK = 1 << 20
_STRUCTURE_NOTIFY_MASK = 1 << 17
_CW_GEOMETRY = 0x1F  # CWX | CWY | CWWidth | CWHeight | CWBorderWidth


def window_manager():
    """Places every top-level window that is not a dialog at (0, 0), WINDOW in
    size, without a frame; dialogs keep what they ask for."""
    client = xharness.XClient(os.environ["DISPLAY"])
    x, display = client.x, client.display
    x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XConfigureWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint,
                                   ctypes.POINTER(_WindowChanges)]
    x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x.XGetTransientForHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                       ctypes.POINTER(ctypes.c_ulong)]
    x.XSelectInput(display, client.root, _SUBSTRUCTURE_REDIRECT_MASK)
    x.XSync(display, 0)
    print("ready", flush=True)

    def is_dialog(window):
        owner = ctypes.c_ulong()
        return bool(x.XGetTransientForHint(display, window, ctypes.byref(owner)))

    def place(window, request=None):
        changes = _WindowChanges(0, 0, WINDOW[0], WINDOW[1], 0, 0, 0)
        mask = _CW_GEOMETRY
        if request is not None:  # keep what it asks about stacking
            changes.sibling, changes.stack_mode = request.above, request.detail
            mask |= request.value_mask & 0x60
        x.XConfigureWindow(display, window, mask, ctypes.byref(changes))
        # A client whose request was turned down learns its real size from a
        # synthetic ConfigureNotify.
        event = xharness._XEvent()
        notify = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_ConfigureNotify)).contents
        notify.type, notify.send_event, notify.event, notify.window = _CONFIGURE_NOTIFY, 1, window, window
        notify.width, notify.height = WINDOW
        x.XSendEvent(display, window, 0, _STRUCTURE_NOTIFY_MASK, ctypes.byref(event))

    event = xharness._XEvent()
    while True:
        x.XNextEvent(display, ctypes.byref(event))
        if event.type == _MAP_REQUEST:
            window = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_MapRequest)).contents.window
            if not is_dialog(window):
                place(window)
            x.XMapWindow(display, window)
            x.XSetInputFocus(display, window, 1, 0)  # RevertToPointerRoot, CurrentTime
        elif event.type == _CONFIGURE_REQUEST:
            request = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_ConfigureRequest)).contents
            if is_dialog(request.window):
                changes = _WindowChanges(request.x, request.y, request.width, request.height,
                                         request.border_width, request.above, request.detail)
                x.XConfigureWindow(display, request.window, request.value_mask, ctypes.byref(changes))
            else:
                place(request.window, request)
        x.XFlush(display)


# ----------------------------------------------------------------------------
# The screens, read back whole: X11's here, Wayland's in wlscreen.py.

class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class _XShmSegmentInfo(ctypes.Structure):
    _fields_ = [("shmseg", ctypes.c_ulong), ("shmid", ctypes.c_int),
                ("shmaddr", ctypes.c_void_p), ("readOnly", ctypes.c_int)]


class XScreen:
    """Reads the window's area of the screen as raw bytes (Xvfb: 32 bits a
    pixel, blue first), through shared memory (MIT-SHM): a read over the
    connection takes about 30 ms on Xvfb, this one under 1 ms."""

    def __init__(self, display):
        self.client = xharness.XClient(display)
        x, libc = self.client.x, ctypes.CDLL(None, use_errno=True)
        xext = ctypes.CDLL(ctypes.util.find_library("Xext"))
        x.XDefaultVisual.restype = ctypes.c_void_p
        x.XDefaultVisual.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XDefaultDepth.argtypes = [ctypes.c_void_p, ctypes.c_int]
        xext.XShmCreateImage.restype = ctypes.c_void_p
        xext.XShmCreateImage.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                         ctypes.c_void_p, ctypes.POINTER(_XShmSegmentInfo),
                                         ctypes.c_uint, ctypes.c_uint]
        xext.XShmAttach.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XShmSegmentInfo)]
        xext.XShmGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int,
                                      ctypes.c_int, ctypes.c_ulong]
        libc.shmat.restype = ctypes.c_void_p
        libc.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
        libc.shmctl.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
        self.xext, self.info = xext, _XShmSegmentInfo()
        display = self.client.display
        self.image = xext.XShmCreateImage(display, x.XDefaultVisual(display, 0),
                                          x.XDefaultDepth(display, 0), 2, None,  # ZPixmap
                                          ctypes.byref(self.info), WINDOW[0], WINDOW[1])
        header = ctypes.cast(self.image, ctypes.POINTER(_XImage)).contents
        self.size = header.bytes_per_line * header.height
        self.info.shmid = libc.shmget(0, self.size, 0o1600)  # IPC_PRIVATE, IPC_CREAT | 0600
        self.info.shmaddr = header.data = libc.shmat(self.info.shmid, None, 0)
        if self.info.shmid < 0 or self.info.shmaddr in (None, ctypes.c_void_p(-1).value):
            raise RuntimeError("no shared memory for the screen")
        self.info.readOnly = 0
        xext.XShmAttach(display, ctypes.byref(self.info))
        x.XSync(display, 0)
        libc.shmctl(self.info.shmid, 0, None)  # IPC_RMID: gone once both sides detach

    def grab(self):
        if not self.xext.XShmGetImage(self.client.display, self.client.root, self.image, 0, 0,
                                      0xFFFFFFFF):
            raise RuntimeError("cannot read the screen")
        return ctypes.string_at(self.info.shmaddr, self.size)


def rgb(frame):
    """A frame of either screen (32 bits a pixel, blue first) as (height,
    width, 3) uint8, r g b."""
    pixels = np.frombuffer(frame, np.uint8).reshape(WINDOW[1], -1, 4)[:, :WINDOW[0]]
    return np.ascontiguousarray(pixels[:, :, 2::-1])


# ----------------------------------------------------------------------------
# The two window systems, each with its screen.

class X11:
    """The private Xvfb with this script's window manager; the screen is
    polled."""

    name = "x11"

    def __init__(self, options):
        self.poll = options.poll / 1000
        self.server = xharness.XvfbServer(SCREEN[0], SCREEN[1], 24)
        self.manager = None
        try:
            self.manager = xharness.start_process([sys.executable, os.path.abspath(__file__),
                                                   "--window-manager"], env=self.server.env,
                                                  stdout=subprocess.PIPE)
            if xharness.read_line(self.manager, 10, "the window manager").strip() != "ready":
                raise RuntimeError("the window manager did not start")
            xharness.run_tool(self.server.env, "xdotool", "mousemove", str(SCREEN[0] - 1),
                              str(SCREEN[1] - 1))
            self.screen = XScreen(self.server.display)
        except BaseException:
            self.close()
            raise
        self.env = self.server.env
        self.blank = self.screen.grab()

    def next_change(self, previous, until):
        """(when, frame) of the first poll that finds the screen other than
        previous, or None at the monotonic time until."""
        while True:
            now = time.monotonic()
            frame = self.screen.grab()
            if frame != previous:
                return now, frame
            if now >= until:
                return None
            time.sleep(self.poll)

    def wait_for(self, frame, until):
        while self.screen.grab() != frame and time.monotonic() < until:
            time.sleep(0.02)

    def connect(self, env):
        pass  # DISPLAY names the server wherever the viewer's runtime folder is

    def mapped(self, pids, since):
        return None  # timed on Wayland alone

    def windows(self, pids):
        return None  # the window manager makes them all WINDOW in size

    def close(self):
        xharness.stop_process(self.manager)
        self.server.stop()


class Wayland:
    """The private headless sway; the screen is handed over frame by frame."""

    name = "wayland"

    def __init__(self, options):
        wlharness.CONFIG = SWAY_CONFIG  # the tests' compositor, set up for this comparison
        self.server = wlharness.SwayServer(*WINDOW)
        self.screen = self.events = None
        try:
            self.socket = os.path.join(self.server.runtime, self.server.env["WAYLAND_DISPLAY"])
            self.screen = wlscreen.Screen(self.socket)
            self.events = wlscreen.WindowEvents(self.server.env["SWAYSOCK"])
            first = self.screen.next_change(None, time.monotonic() + 10)
            if first is None:
                raise RuntimeError("the compositor showed no frame")
        except BaseException:
            self.close()
            raise
        self.env = self.server.env
        self.blank = first[1]

    def next_change(self, previous, until):
        return self.screen.next_change(previous, until, self.events)

    def wait_for(self, frame, until):
        shown = self.screen.latest
        while shown != frame:
            got = self.next_change(shown, until)
            if got is None:
                return
            shown = got[1]

    def connect(self, env):
        """Puts the compositor's socket into the viewer's runtime folder,
        where WAYLAND_DISPLAY names it."""
        link = os.path.join(env["XDG_RUNTIME_DIR"], env["WAYLAND_DISPLAY"])
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(self.socket, link)

    def mapped(self, pids, since):
        return self.events.mapped(pids, since)

    def windows(self, pids):
        """(x, y, width, height) of each of pids' windows in sway's tree."""
        return [window["rect"] for window in self.server.windows() if window["pid"] in pids]

    def close(self):
        for part in (self.events, self.screen):
            if part:
                part.close()
        self.server.stop()


# ----------------------------------------------------------------------------
# Processes.

def process_tree(pid):
    """pid and every process under it."""
    found, pending = [], [pid]
    while pending:
        current = pending.pop()
        found.append(current)
        try:
            for task in os.listdir("/proc/%d/task" % current):
                with open("/proc/%d/task/%s/children" % (current, task)) as children:
                    pending.extend(int(child) for child in children.read().split())
        except OSError:
            pass
    return found


def processor_seconds(pid):
    """Processor time used so far by pid and every process under it."""
    total = 0
    for member in process_tree(pid):
        try:
            with open("/proc/%d/stat" % member) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, IndexError):
            pass
    return total / os.sysconf("SC_CLK_TCK")


def at_rest(pid):
    """(VmHWM in bytes, threads, graphics libraries mapped) of pid and every
    process under it, the first two summed."""
    peak, threads, libraries = 0, 0, set()
    for member in process_tree(pid):
        try:
            with open("/proc/%d/status" % member) as status:
                for line in status:
                    if line.startswith("VmHWM:"):
                        peak += int(line.split()[1]) * 1024
                    elif line.startswith("Threads:"):
                        threads += int(line.split()[1])
            with open("/proc/%d/maps" % member) as maps:
                for line in maps:
                    found = GRAPHICS_LIBRARY.search(line.rstrip("\n"))
                    if found:
                        libraries.add(found.group(1).split(".so")[0])
        except OSError:
            pass
    return peak, threads, sorted(libraries)


def end_group(process):
    """Ends the viewer and whatever it started (it leads its own session)."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            process.poll()  # reaps the leader, which leaves the group then
            try:
                os.killpg(process.pid, 0)
            except ProcessLookupError:
                return
            time.sleep(0.05)


# Every run's processes carry a mark of the run's own in their environment,
# which a daemon keeps when it leaves the viewer's session and process group.
MARK = "VIEWERS_BENCH_RUN"


def marked(mark):
    """(pid, name) of every process whose environment holds the mark."""
    wanted = ("%s=%s" % (MARK, mark)).encode()
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/environ" % entry, "rb") as environ:
                    if wanted not in environ.read().split(b"\0"):
                        continue
                with open("/proc/%s/comm" % entry) as comm:
                    found.append((int(entry), comm.read().strip()))
            except OSError:
                pass  # gone meanwhile
    return found


def end_left_behind(mark):
    """Kills, by their ids, the processes of a run that outlived its group;
    returns their names."""
    left = marked(mark)
    for pid, _ in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + 3
    while marked(mark) and time.monotonic() < deadline:
        time.sleep(0.05)
    return sorted(name for _, name in left)


# ----------------------------------------------------------------------------
# One run.

class Failed(Exception):
    pass


_RUNS = itertools.count(1)  # numbers the runs' marks


def run_once(options, display, env, argv, path, log=None):
    """Starts argv + [path] on display; returns (record, final frame, note),
    the record a dict of seconds (to the final picture), peak (bytes),
    screens (shown), threads, graphics (libraries), mapped (seconds, or
    None), windows (their rectangles, or None) and left (the names of the
    processes left behind). log takes the viewer's output (geeqie writes
    its standard error through its standard output)."""
    with open(path, "rb") as warm:  # the page cache, not the disk
        while warm.read(16 * MiB):
            pass
    mark = "%d-%d" % (os.getpid(), next(_RUNS))
    record = {"screens": 0}
    note = ""
    start = time.monotonic()
    process = xharness.start_process(argv + [path], env=dict(env, **{MARK: mark}),
                                     start_new_session=True, stdout=log or subprocess.DEVNULL,
                                     stderr=log or subprocess.DEVNULL)
    previous = display.blank
    try:
        changed, check_at, processor_mark = None, None, None
        deadline = start + options.timeout
        while True:
            # Waits end now and then, to notice a viewer that exits.
            got = display.next_change(previous, min(check_at or deadline, deadline,
                                                    time.monotonic() + 0.25))
            now = time.monotonic()
            if got is not None:
                changed, previous = got
                record["screens"] += 1
                check_at = changed + options.settle
                processor_mark = (now, processor_seconds(process.pid))
            elif check_at is not None and now >= check_at:
                used = processor_seconds(process.pid)
                if (used - processor_mark[1]) / (now - processor_mark[0]) < 0.05:
                    break
                check_at = now + options.settle  # still working: look again later
                processor_mark = (now, used)
            if process.poll() is not None:
                raise Failed("exited with %d before settling" % process.returncode)
            if now - start > options.timeout:
                if changed is None:
                    raise Failed("showed nothing within %d s" % options.timeout)
                note = "never idle"
                break
        pids = set(process_tree(process.pid))
        record["seconds"] = changed - start
        record["peak"], record["threads"], record["graphics"] = at_rest(process.pid)
        mapped = display.mapped(pids, start)
        record["mapped"] = None if mapped is None else mapped - start
        record["windows"] = display.windows(pids)
        return record, rgb(previous), note
    finally:
        end_group(process)
        record["left"] = end_left_behind(mark)
        if record["left"]:
            print("left behind and killed: %s" % ", ".join(record["left"]), flush=True)
        # The next run starts from an empty screen.
        display.wait_for(display.blank, time.monotonic() + 10)


def first_configures(log):
    """The sizes the first configures of a toplevel window asked for, in a
    client's protocol log (WAYLAND_DEBUG), repeats left out."""
    sizes = []
    with open(log, errors="replace") as lines:
        for line in lines:
            found = re.match(r"\[[\d. ]+\]\s+xdg_toplevel@\d+\.configure\((-?\d+), (-?\d+),", line)
            if found and (not sizes or sizes[-1] != found.groups()):
                sizes.append(found.groups())
    return ", ".join("%sx%s" % size for size in sizes[:3]) or "none logged"


# ----------------------------------------------------------------------------
# The picture at rest against the exact area average.

def longest_run(mask):
    best, begin = (0, 0), None
    for index, value in enumerate(list(mask) + [False]):
        if value and begin is None:
            begin = index
        elif not value and begin is not None:
            if index - begin > best[1] - best[0]:
                best = (begin, index)
            begin = None
    return best


def image_rectangle(detail, smooth):
    """(left, top, right, bottom) of where the two contents' screens differ."""
    differs = (detail != smooth).any(axis=2)
    columns = differs.mean(axis=0)
    left, right = longest_run(columns >= 0.5 * columns.max())
    rows = differs[:, left:right].mean(axis=1)
    top, bottom = longest_run(rows >= 0.5 * rows.max())
    return left, top, right, bottom


def psnr(shown, exact):
    """PSNR of shown against exact, the outermost pixels left out."""
    error = shown[1:-1, 1:-1].astype(np.float64) - exact[1:-1, 1:-1]
    mse = float(np.mean(error * error))
    return float("inf") if mse == 0 else 10 * np.log10(255 * 255 / mse)


def candidate_sizes(name, rectangle):
    """The sizes within a pixel of the rectangle's that keep the picture's
    aspect ratio to within a pixel; none when the rectangle is not the whole
    picture at its aspect ratio."""
    _, width, height = pictures.IMAGES[name]
    left, top, right, bottom = rectangle
    found_width, found_height = right - left, bottom - top
    if found_width < 16 or found_height < 16 or abs(
            found_width * height - found_height * width) > 3 * max(width, height):
        return []
    return [(shown_width, shown_height)
            for shown_width in (found_width - 1, found_width, found_width + 1)
            for shown_height in (found_height - 1, found_height, found_height + 1)
            if abs(shown_width * height - shown_height * width) <= 0.75 * max(width, height)]


def picture_quality(image, frames):
    """{viewer: (PSNR detail, PSNR smooth, (left, top, width, height))} for the
    viewers that show the picture whole at its aspect ratio, given
    {viewer: (detail frame, smooth frame)}. Of the sizes and places within a
    pixel of the rectangle where the two screens differ, the one that matches
    the detail best is taken, for both contents."""
    rectangles = {name: image_rectangle(*pair) for name, pair in frames.items()}
    candidates = {name: candidate_sizes(image, rectangle) for name, rectangle in rectangles.items()}
    exact = pictures.area_averages(image, "detail", {size for sizes in candidates.values()
                                                      for size in sizes})
    chosen = {}
    for name, sizes in candidates.items():
        detail = frames[name][0]
        left, top = rectangles[name][:2]
        best = None
        for shown_width, shown_height in sizes:
            for x in range(max(0, left - 1), left + 2):
                for y in range(max(0, top - 1), top + 2):
                    area = detail[y:y + shown_height, x:x + shown_width]
                    if area.shape[:2] != (shown_height, shown_width):
                        continue
                    score = psnr(area, exact[shown_width, shown_height])
                    if best is None or score > best[0]:
                        best = (score, (x, y, shown_width, shown_height))
        if best:
            chosen[name] = best
    del exact
    exact = pictures.area_averages(image, "smooth", {place[2:] for _, place in chosen.values()})
    quality = {}
    for name, (score, (x, y, shown_width, shown_height)) in chosen.items():
        smooth = frames[name][1][y:y + shown_height, x:x + shown_width]
        quality[name] = (score, psnr(smooth, exact[shown_width, shown_height]),
                         (x, y, shown_width, shown_height))
    return quality


# ----------------------------------------------------------------------------

def make_pictures(options, names):
    paths = {}
    folder = os.path.join(options.work, "pictures")
    os.makedirs(folder, exist_ok=True)
    for name in names:
        for content in pictures.CONTENTS:
            # Each file alone in its folder: viewers that list the folder
            # (thumbnail bars, file lists) find nothing else to read.
            os.makedirs(os.path.join(folder, "%s-%s" % (name, content)), exist_ok=True)
            path = os.path.join(folder, "%s-%s" % (name, content), name + ".bmp")
            if not os.path.exists(path):
                print("writing %s" % path, flush=True)
                pictures.write(name, content, path + ".part")
                os.replace(path + ".part", path)
            paths[name, content] = path
    return paths


def viewer_commands(options, display, names):
    """name: (argv without the file, variables of its own) for the viewers
    that can run on display."""
    commands = {}
    for name in names:
        if name in options.builds:  # Rastelle and the other builds, alike everywhere
            commands[name] = ([options.builds[name]], {})
            continue
        program, arguments = PEERS[name]
        variables = {}
        if display.name == "wayland":
            if name not in WAYLAND_PEERS:
                print("leaving out %s on Wayland: it runs on X11 only" % name)
                continue
            program = WAYLAND_PEERS[name][0] or program
            variables = WAYLAND_PEERS[name][1]
        found = shutil.which(program)
        if found is None:
            print("skipping %s: %s is not installed (scripts/setup.sh viewers)" % (name, program))
            continue
        commands[name] = ([found] + arguments, variables)
    return commands


def viewer_env(display, options, name, variables):
    """A home of the viewer's own (its settings start from the defaults, and
    the user's are left alone), no session bus, in-memory settings."""
    home = os.path.join(options.work, "home", name)
    runtime = os.path.join(options.work, "runtime", name)
    for folder in (home, runtime):
        os.makedirs(folder, mode=0o700, exist_ok=True)
    env = dict(display.env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_RUNTIME_DIR=runtime, GSETTINGS_BACKEND="memory",
               DBUS_SESSION_BUS_ADDRESS="disabled:", GTK_A11Y="none")
    for variable in ("XDG_SESSION_TYPE", "QT_QPA_PLATFORM", "GDK_BACKEND"):
        env.pop(variable, None)
    env.update(variables)
    display.connect(env)
    if name in SETTINGS:
        path = os.path.join(env["XDG_CONFIG_HOME"], SETTINGS[name][0])
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as settings:
            settings.write(SETTINGS[name][1])
    return env


def fmt(value, digits):
    return "-" if value is None else "%.*f" % (digits, value)


def report(display, images, names, builds, results, quality, configures):
    """The table of one window system; a peer that did not show the picture
    whole at its aspect ratio (no PSNR) stays in it but is left out of the
    comparison. After it, per viewer, what does not change with the picture."""
    print()
    print("On %s:" % {"x11": "X11 (Xvfb)", "wayland": "Wayland (headless sway)"}[display])
    print("%-16s %-10s %9s %9s %7s %15s %7s %10s %4s" % (
        "image", "viewer", "final (s)", "RSS (MiB)", "screens", "PSNR det/smo dB", "threads",
        "mapped (s)", "left"))
    runs_of = {}
    for image in images:
        medians = {}
        for name in names:
            runs = [run for content in pictures.CONTENTS
                    for run in results.get((display, name, image, content), [])]
            if not runs:
                continue
            runs_of.setdefault(name, []).extend(runs)
            time_median = statistics.median(run["seconds"] for run in runs)
            rss_median = statistics.median(run["peak"] for run in runs) / MiB
            mapped = [run["mapped"] for run in runs if run["mapped"] is not None]
            medians[name] = (time_median, rss_median)
            scores = quality.get((display, name, image))
            psnrs = "%s / %s" % (fmt(scores[0], 1), fmt(scores[1], 1)) if scores else "not fitted"
            print("%-16s %-10s %9.3f %9.1f %7g %15s %7g %10s %4d" % (
                image, name, time_median, rss_median,
                statistics.median(run["screens"] for run in runs), psnrs,
                statistics.median(run["threads"] for run in runs),
                fmt(statistics.median(mapped) if mapped else None, 3),
                sum(1 for run in runs if run["left"])))
        peers = {name: value for name, value in medians.items()
                 if name not in builds and (display, name, image) in quality}
        if peers:
            fastest = min(peers, key=lambda name: peers[name][0])
            lightest = min(peers, key=lambda name: peers[name][1])
            line = "%-16s fastest peer %s %.3f s, lowest-memory peer %s %.1f MiB" % (
                "", fastest, peers[fastest][0], lightest, peers[lightest][1])
            for build in builds:
                if build in medians:
                    line += "; %s time x%.2f, RSS x%.2f" % (
                        "Rastelle" if build == "rastelle" else build,
                        medians[build][0] / peers[fastest][0], medians[build][1] / peers[lightest][1])
            print(line)
        print()
    for name, runs in runs_of.items():
        graphics = sorted({library for run in runs for library in run["graphics"]})
        line = "%-10s graphics libraries mapped: %s" % (name, ", ".join(graphics) or "none")
        if (display, name) in configures:
            line += "; first configures %s" % configures[display, name]
        rects = {tuple(rect) for run in runs for rect in run["windows"] or []}
        if rects and rects != {(0, 0) + WINDOW}:
            line += "; windows at rest %s" % ", ".join("%d,%d %dx%d" % rect for rect in sorted(rects))
        elif display == "wayland":
            line += "; every window %dx%d at 0,0" % WINDOW
        left = sorted({process for run in runs for process in run["left"]})
        if left:
            line += "; left behind: %s" % ", ".join(left)
        print(line)


def measure(options, display_kind, images, names, paths, results, configures):
    """Runs the rounds on one window system, adding to results {(display,
    viewer, image, content): [records]} (see run_once) and, on Wayland, to
    configures {(display, viewer): first configures}. The final screens of
    the last round go to the work folder's screens."""
    display = display_kind(options)
    shots = os.path.join(options.work, "screens", display.name)
    os.makedirs(shots, exist_ok=True)
    try:
        commands = viewer_commands(options, display, names)
        names = [name for name in names if name in commands]
        envs = {name: viewer_env(display, options, name, commands[name][1]) for name in names}
        print("%s: %d cores, load average %.2f %.2f %.2f; %d rounds; viewers %s" % (
            display.name, os.cpu_count(), *os.getloadavg(), options.rounds, ", ".join(names)),
            flush=True)

        # One run of each viewer untimed: its files in the page cache, its
        # settings written; on Wayland, its protocol logged.
        logs = os.path.join(options.work, "wayland-logs")
        os.makedirs(logs, exist_ok=True)
        for name in list(names):
            env, log = envs[name], None
            if display.name == "wayland":
                env = dict(env, WAYLAND_DEBUG="client")
                log = open(os.path.join(logs, name + ".log"), "w")
            try:
                run_once(options, display, env, commands[name][0], paths[images[-1], "smooth"], log)
            except Failed as failure:
                print("skipping %s: %s" % (name, failure), flush=True)
                names.remove(name)
            finally:
                if log:
                    log.close()
                    configures[display.name, name] = first_configures(log.name)
        if not names:
            sys.exit("no viewer ran")

        for round_index in range(options.rounds):
            order = names[round_index % len(names):] + names[:round_index % len(names)]
            for image in images:
                for content in pictures.CONTENTS:
                    for name in order:
                        try:
                            record, frame, note = run_once(options, display, envs[name],
                                                           commands[name][0], paths[image, content])
                        except Failed as failure:
                            print("%s on %s %s: %s" % (name, image, content, failure), flush=True)
                            if not options.keep_going:
                                sys.exit(1)
                            continue
                        results.setdefault((display.name, name, image, content), []).append(record)
                        Image.fromarray(frame).save(os.path.join(shots, "%s-%s-%s.png" % (
                            name, image, content)))
                        with open(os.path.join(options.work, "runs.json"), "w") as kept:
                            json.dump({"runs": [[*key, runs] for key, runs in results.items()],
                                       "configures": [[*key, sizes] for key, sizes in
                                                      configures.items()]}, kept)
                        mapped = "" if record["mapped"] is None else "mapped %.3f s" % record["mapped"]
                        print("round %d %-16s %-6s %-10s %7.3f s %8.1f MiB %2d screens %3d threads"
                              " %s %s" % (round_index + 1, image, content, name, record["seconds"],
                                          record["peak"] / MiB, record["screens"], record["threads"],
                                          mapped, note), flush=True)
        print("load average after: %.2f %.2f %.2f" % os.getloadavg())
    finally:
        display.close()


def main():
    if "--window-manager" in sys.argv:
        window_manager()
        return
    parser = argparse.ArgumentParser(
        description=__doc__.splitlines()[0],
        epilog="Needs about 4 GB of free memory and 1.1 GB of disk in the work folder.")
    parser.add_argument("--rounds", type=int, default=5, help="rounds (default 5)")
    parser.add_argument("--only", help="comma-separated pictures, of: " + ",".join(pictures.IMAGES))
    parser.add_argument("--viewers", help="comma-separated viewers, of: rastelle," + ",".join(PEERS)
                        + " and the names of --extra")
    parser.add_argument("--viewer", default=os.path.join(ROOT, "build", "release", "rastelle"),
                        help="the Rastelle binary (default build/release/rastelle)")
    parser.add_argument("--extra", action="append", default=[], metavar="NAME=PATH",
                        help="another Rastelle binary, measured as Rastelle is under the name "
                             "NAME (repeatable); it runs whether --viewers names it or not")
    parser.add_argument("--display", choices=("x11", "wayland", "both"), default="x11",
                        help="the window system: a private Xvfb, a private headless sway, or "
                             "the one then the other (default x11)")
    parser.add_argument("--work", default=os.path.join(os.getcwd(), "viewers-bench"),
                        help="folder for the pictures, the viewers' homes and the final "
                             "screens (default ./viewers-bench)")
    parser.add_argument("--keep-going", action="store_true",
                        help="go on when a viewer fails a run, leaving that run out")
    parser.add_argument("--report", action="store_true",
                        help="run nothing: print the tables again from the runs and screens "
                             "kept in the work folder")
    parser.add_argument("--settle", type=float, default=1.5,
                        help="seconds the screen stays the same for a picture to be final")
    parser.add_argument("--poll", type=float, default=5,
                        help="milliseconds between reading the screen back (X11)")
    parser.add_argument("--timeout", type=float, default=60, help="seconds a run may take")
    options = parser.parse_args()

    images = options.only.split(",") if options.only else list(pictures.IMAGES)
    for image in images:
        if image not in pictures.IMAGES:
            parser.error("no picture %s" % image)
    options.builds = {"rastelle": os.path.abspath(options.viewer)}
    for extra in options.extra:
        name, _, path = extra.partition("=")
        if not re.fullmatch(r"[A-Za-z0-9_.-]+", name) or not path:
            parser.error("--extra %s: give NAME=PATH, NAME of letters, digits, _ . -" % extra)
        if name in options.builds or name in PEERS:
            parser.error("--extra %s: the name %s is taken" % (extra, name))
        options.builds[name] = os.path.abspath(path)
    names = options.viewers.split(",") if options.viewers else ["rastelle"] + list(PEERS)
    names += [name for name in options.builds if name != "rastelle" and name not in names]
    for name in names:
        if name not in options.builds and name not in PEERS:
            parser.error("no viewer %s" % name)
    for name, path in options.builds.items():
        if name in names and not options.report and not os.access(path, os.X_OK):
            sys.exit("no Rastelle at %s: build it first (cmake --build --preset release "
                     "--target rastelle)" % path)
    displays = ["x11", "wayland"] if options.display == "both" else [options.display]
    options.work = os.path.abspath(options.work)
    results, configures = {}, {}
    if options.report:
        with open(os.path.join(options.work, "runs.json")) as kept:
            record = json.load(kept)
        results = {tuple(entry[:4]): entry[4] for entry in record["runs"]}
        configures = {tuple(entry[:2]): entry[2] for entry in record["configures"]}
    else:
        paths = make_pictures(options, images)
        for display in displays:
            measure(options, {"x11": X11, "wayland": Wayland}[display], images, names, paths,
                    results, configures)

    for display in displays:
        quality = {}
        shots = os.path.join(options.work, "screens", display)
        for image in images:
            frames = {}
            for name in names:
                if all((display, name, image, content) in results for content in pictures.CONTENTS):
                    frames[name] = tuple(
                        np.asarray(Image.open(os.path.join(shots, "%s-%s-%s.png" % (
                            name, image, content))).convert("RGB"))
                        for content in pictures.CONTENTS)
            found = picture_quality(image, frames)
            for name in frames:
                if name in found:
                    quality[display, name, image] = found[name][:2]
                    print("%s on %s, %s: shown at %d,%d %dx%d" % ((name, display, image) + found[name][2]))
                else:
                    print("%s on %s, %s: the picture is not shown whole at its aspect ratio" % (
                        name, display, image))
        report(display, images, names, options.builds, results, quality, configures)


if __name__ == "__main__":
    main()
