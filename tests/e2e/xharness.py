"""A private X server and a small X client for driving the viewer from outside.

Everything here talks to the server the way any other X client would: the
viewer is found by its _NET_WM_PID, its caption is read as raw bytes from
_NET_WM_NAME (or WM_NAME), it is closed with WM_DELETE_WINDOW, and the screen
is read back with PIL. Every process started here dies with the Python process
that started it (PR_SET_PDEATHSIG), so an interrupted run leaves nothing behind.
"""

import ctypes
import ctypes.util
import os
import select
import signal
import subprocess
import time

from PIL import ImageGrab

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def start_process(argv, env=None, **kwargs):
    """Starts a child that is killed when this process dies."""
    return subprocess.Popen(argv, env=env, preexec_fn=_die_with_parent, **kwargs)


def stop_process(process, grace=2.0):
    """Ends a child started here, politely first; returns its exit code."""
    if process is None or process.poll() is not None:
        return None if process is None else process.returncode
    process.terminate()
    try:
        return process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        return process.wait(grace)


def wait_until(predicate, timeout, what, interval=0.02):
    """Polls predicate until it returns something true; raises after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


class XvfbServer:
    """An Xvfb on a display number the server picks itself (-displayfd)."""

    def __init__(self, width=1280, height=1024, depth=24):
        self.size = (width, height)
        read_end, write_end = os.pipe()
        try:
            self.process = start_process(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx%d" % (width, height, depth), "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not select.select([read_end], [], [], remaining)[0]:
                    raise TimeoutError("Xvfb did not report its display number")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("Xvfb exited with %r" % self.process.wait())
                number += chunk
        except BaseException:
            if write_end >= 0:
                os.close(write_end)
            os.close(read_end)
            stop_process(getattr(self, "process", None))
            raise
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        # NO_AT_BRIDGE: GTK clients need no accessibility bus here.
        self.env = dict(os.environ, DISPLAY=self.display, NO_AT_BRIDGE="1")
        for name in ("WAYLAND_DISPLAY", "XAUTHORITY"):
            self.env.pop(name, None)

    def stop(self):
        stop_process(self.process)


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _XClientMessageEvent),
                ("pad", ctypes.c_long * 24)]


class _XAnyEvent(ctypes.Structure):
    # The fields every event begins with, then the first two window-sized fields:
    # (window, atom) for PropertyNotify, (parent, window) for CreateNotify.
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("first", ctypes.c_ulong), ("second", ctypes.c_ulong)]


class _XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_IS_VIEWABLE = 2
_Z_PIXMAP = 2

_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)

CREATE_NOTIFY = 16
PROPERTY_NOTIFY = 28
PROPERTY_CHANGE_MASK = 1 << 22
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
CLIENT_MESSAGE = 33


class XClient:
    """A connection to the display through libX11, for what xprop and xdotool
    cannot give exactly: raw caption bytes, WM_DELETE_WINDOW and events."""

    _x = None

    def __init__(self, display):
        if XClient._x is None:
            x = ctypes.CDLL(ctypes.util.find_library("X11"))
            x.XOpenDisplay.restype = ctypes.c_void_p
            x.XOpenDisplay.argtypes = [ctypes.c_char_p]
            x.XDefaultRootWindow.restype = ctypes.c_ulong
            x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            x.XInternAtom.restype = ctypes.c_ulong
            x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
            x.XGetWindowProperty.argtypes = [
                ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
                ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
            x.XQueryTree.argtypes = [
                ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p),
                ctypes.POINTER(ctypes.c_uint)]
            x.XGetGeometry.argtypes = [
                ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint),
                ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint)]
            x.XTranslateCoordinates.argtypes = [
                ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                ctypes.POINTER(ctypes.c_ulong)]
            x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                               ctypes.POINTER(_XWindowAttributes)]
            x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                     ctypes.c_long, ctypes.POINTER(_XEvent)]
            x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
            x.XResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint,
                                        ctypes.c_uint]
            x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
            x.XGetImage.restype = ctypes.c_void_p
            x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
            x.XGetPixel.restype = ctypes.c_ulong
            x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
            x.XDestroyImage.argtypes = [ctypes.c_void_p]
            for name in ("XFlush", "XPending", "XConnectionNumber", "XCloseDisplay"):
                getattr(x, name).argtypes = [ctypes.c_void_p]
            x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x.XFree.argtypes = [ctypes.c_void_p]
            x.XSetErrorHandler.restype = ctypes.c_void_p
            x.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
            # A window can vanish between two requests; such errors are answered
            # by the caller seeing "no property", not by Xlib ending the process.
            XClient._ignore_errors = _ERROR_HANDLER(lambda display, event: 0)
            x.XSetErrorHandler(XClient._ignore_errors)
            XClient._x = x
        self.x = XClient._x
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display)
        self.root = self.x.XDefaultRootWindow(self.display)
        self._atoms = {}

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.display)
            self.display = None

    def atom(self, name):
        if name not in self._atoms:
            self._atoms[name] = self.x.XInternAtom(self.display, name.encode(), 0)
        return self._atoms[name]

    def property_bytes(self, window, name):
        """The raw bytes of a window property, or None when it is not set."""
        actual_type = ctypes.c_ulong()
        actual_format = ctypes.c_int()
        count = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        status = self.x.XGetWindowProperty(
            self.display, window, self.atom(name), 0, 1 << 20, 0, 0,
            ctypes.byref(actual_type), ctypes.byref(actual_format), ctypes.byref(count),
            ctypes.byref(after), ctypes.byref(data))
        if status != 0 or not data.value:
            return None
        try:
            if actual_format.value == 8:
                return ctypes.string_at(data.value, count.value)
            if actual_format.value == 32:  # Xlib hands 32-bit items over as longs
                longs = ctypes.cast(data.value, ctypes.POINTER(ctypes.c_ulong))
                return [longs[i] for i in range(count.value)]
            return None
        finally:
            self.x.XFree(data)

    def caption(self, window):
        """The window caption as bytes (UTF-8), preferring _NET_WM_NAME."""
        for name in ("_NET_WM_NAME", "WM_NAME"):
            value = self.property_bytes(window, name)
            if isinstance(value, bytes):
                return value
        return None

    def top_level_windows(self):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children = ctypes.c_void_p()
        count = ctypes.c_uint()
        if not self.x.XQueryTree(self.display, self.root, ctypes.byref(root),
                                 ctypes.byref(parent), ctypes.byref(children),
                                 ctypes.byref(count)):
            return []
        try:
            windows = ctypes.cast(children, ctypes.POINTER(ctypes.c_ulong))
            return [windows[i] for i in range(count.value)]
        finally:
            if children.value:
                self.x.XFree(children)

    def viewable(self, window):
        attributes = _XWindowAttributes()
        return bool(self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes))
                    and attributes.map_state == _IS_VIEWABLE)

    def windows_of(self, pid):
        """The shown top-level windows whose _NET_WM_PID is pid, bottom first."""
        found = []
        for window in self.top_level_windows():
            owner = self.property_bytes(window, "_NET_WM_PID")
            if owner and owner[0] == pid and self.viewable(window):
                found.append(window)
        return found

    def geometry(self, window):
        """(x, y, width, height) of the window's inside, x and y on the screen."""
        root = ctypes.c_ulong()
        x, y = ctypes.c_int(), ctypes.c_int()
        width, height = ctypes.c_uint(), ctypes.c_uint()
        border, depth = ctypes.c_uint(), ctypes.c_uint()
        if not self.x.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(x),
                                   ctypes.byref(y), ctypes.byref(width), ctypes.byref(height),
                                   ctypes.byref(border), ctypes.byref(depth)):
            return None
        screen_x, screen_y = ctypes.c_int(), ctypes.c_int()
        child = ctypes.c_ulong()
        self.x.XTranslateCoordinates(self.display, window, self.root, 0, 0,
                                     ctypes.byref(screen_x), ctypes.byref(screen_y),
                                     ctypes.byref(child))
        return (screen_x.value, screen_y.value, width.value, height.value)

    def pixel(self, x, y):
        """The colour (r, g, b) of one pixel of the screen, or None off the
        screen. One small request: far cheaper than a screenshot, which fetches
        the whole screen, when polling for a paint. The screen is Xvfb's, 24
        bits deep with red in the high byte."""
        image = self.x.XGetImage(self.display, self.root, x, y, 1, 1, 0xFFFFFFFF, _Z_PIXMAP)
        if not image:
            return None
        try:
            value = self.x.XGetPixel(image, 0, 0)
        finally:
            self.x.XDestroyImage(image)
        return (value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF)

    def resize(self, window, width, height):
        self.x.XResizeWindow(self.display, window, width, height)
        self.x.XFlush(self.display)

    def request_close(self, window):
        """Asks the window to close the way a window manager's close box does."""
        event = _XEvent()
        event.xclient.type = CLIENT_MESSAGE
        event.xclient.window = window
        event.xclient.message_type = self.atom("WM_PROTOCOLS")
        event.xclient.format = 32
        event.xclient.data[0] = self.atom("WM_DELETE_WINDOW")
        event.xclient.data[1] = 0  # CurrentTime
        self.x.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.x.XFlush(self.display)

    def select_input(self, window, mask):
        self.x.XSelectInput(self.display, window, mask)
        self.x.XFlush(self.display)

    def next_events(self, timeout):
        """Waits up to timeout seconds; yields (type, first, second) of each event."""
        if not self.x.XPending(self.display):
            fd = self.x.XConnectionNumber(self.display)
            select.select([fd], [], [], max(0.0, timeout))
        event = _XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))
            head = ctypes.cast(ctypes.byref(event), ctypes.POINTER(_XAnyEvent)).contents
            yield head.type, head.first, head.second


def screenshot(display, box=None):
    """The screen (or the box (left, top, right, bottom) of it) as an RGB image."""
    image = ImageGrab.grab(bbox=box, xdisplay=display)
    return image.convert("RGB")


def run_tool(env, *argv, timeout=10):
    """Runs a short-lived X tool such as xdotool and returns its output."""
    result = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=timeout,
                            preexec_fn=_die_with_parent)
    if result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(argv), result.returncode,
                                                   result.stderr.strip()))
    return result.stdout


def read_line(process, timeout, what):
    """The next line a child writes to its stdout pipe (opened in binary mode,
    unbuffered), or TimeoutError; an empty string when the child has ended."""
    fd = process.stdout.fileno()
    line = b""
    deadline = time.monotonic() + timeout
    while not line.endswith(b"\n"):
        remaining = deadline - time.monotonic()
        if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
            raise TimeoutError("timed out after %.1f s waiting for %s" % (timeout, what))
        byte = os.read(fd, 1)
        if not byte:
            break
        line += byte
    return line.decode()
