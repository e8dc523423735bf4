"""The screen of a wlroots compositor as the viewer comparison reads it:
every frame the compositor puts out that changes something, with the time it
put it out, through wlroots' screencopy protocol (zwlr_screencopy_manager_v1,
version 2, copy_with_damage), and sway's window events from its IPC socket.

A copy with damage is answered only by an output frame that changed pixels,
so nothing is polled: waiting costs nothing, and the ready event carries the
time of the output commit that drew the frame (CLOCK_MONOTONIC, the clock of
time.monotonic()). Two buffers take turns, the next copy is asked for before
the last one is read, so that a change following closely on another is
caught by its own frame. The compositor offers shared-memory buffers of 32
bits a pixel, blue first, as Xvfb's screen is.

Plain libwayland-client through ctypes: the two screencopy interfaces are
declared here, as a protocol scanner would write them; wl_shm, wl_output
and the rest come from the library.
"""

import ctypes
import ctypes.util
import json
import mmap
import os
import select
import socket
import struct
import time

# libwayland-client's message and interface types and the registry's
# listener, declared by the end-to-end tests' virtual pointer (tests/e2e is
# on the path of the comparison).
from virtual_pointer import _GLOBAL, _GLOBAL_REMOVE, _Interface, _messages, _RegistryListener

_u32 = ctypes.c_uint32
_BUFFER = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, _u32, _u32, _u32, _u32)
_FLAGS = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, _u32)
_READY = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, _u32, _u32, _u32)
_FAILED = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)
_DAMAGE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, _u32, _u32, _u32, _u32)


class _FrameListener(ctypes.Structure):
    _fields_ = [("buffer", _BUFFER), ("flags", _FLAGS), ("ready", _READY), ("failed", _FAILED),
                ("damage", _DAMAGE)]


MANAGER = b"zwlr_screencopy_manager_v1"
_GET_REGISTRY, _BIND = 1, 0  # wl_display.get_registry, wl_registry.bind
_CAPTURE_OUTPUT, _COPY_WITH_DAMAGE, _FRAME_DESTROY = 0, 2, 1
_CREATE_POOL, _CREATE_BUFFER = 0, 0  # wl_shm.create_pool, wl_shm_pool.create_buffer


class Screen:
    """The one output of the compositor listening at socket_path, read
    whole."""

    def __init__(self, socket_path):
        lib = self.lib = ctypes.CDLL(ctypes.util.find_library("wayland-client"))
        lib.wl_display_connect.restype = ctypes.c_void_p
        lib.wl_display_connect.argtypes = [ctypes.c_char_p]
        for name in ("wl_display_roundtrip", "wl_display_dispatch_pending", "wl_display_flush",
                     "wl_display_prepare_read", "wl_display_read_events", "wl_display_get_fd"):
            getattr(lib, name).argtypes = [ctypes.c_void_p]
        lib.wl_display_cancel_read.argtypes = [ctypes.c_void_p]
        lib.wl_display_disconnect.argtypes = [ctypes.c_void_p]
        lib.wl_proxy_add_listener.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
        lib.wl_proxy_marshal_flags.restype = ctypes.c_void_p
        self._library = {name: ctypes.addressof(_Interface.in_dll(lib, name + "_interface"))
                         for name in ("wl_registry", "wl_output", "wl_shm", "wl_shm_pool",
                                      "wl_buffer")}
        self._declare()
        self.display = lib.wl_display_connect(socket_path.encode())
        if not self.display:
            raise RuntimeError("cannot connect to the compositor at " + socket_path)
        registry = self._request(self.display, _GET_REGISTRY, self._library["wl_registry"], None)
        found = {}

        def on_global(data, proxy, name, interface, version):
            found.setdefault(interface, name)

        self._registry_listener = _RegistryListener(_GLOBAL(on_global),
                                                    _GLOBAL_REMOVE(lambda *_: None))
        lib.wl_proxy_add_listener(registry, ctypes.byref(self._registry_listener), None)
        lib.wl_display_roundtrip(self.display)
        if MANAGER not in found:
            raise RuntimeError("the compositor offers no screencopy")
        self.output = self._bind(registry, found, b"wl_output", self._library["wl_output"], 1)
        self.shm = self._bind(registry, found, b"wl_shm", self._library["wl_shm"], 1)
        self.manager = self._bind(registry, found, MANAGER, ctypes.addressof(self._manager), 2)

        self._frame_listener = _FrameListener(
            _BUFFER(self._on_buffer), _FLAGS(self._on_flags), _READY(self._on_ready),
            _FAILED(self._on_failed), _DAMAGE(lambda *_: None))
        # Exceptions do not pass through the library's calls into Python:
        # what goes wrong in a handler waits in error.
        self.layout, self.pending, self.error = None, None, None
        self.latest = None  # the last frame handed over: what the output shows
        self.buffers, self.turn = [], 0
        self._capture()
        while self.layout is None and self.error is None:  # the first frame's buffer event
            self._dispatch(None)
        self._check()
        _, self.width, self.height, stride = self.layout
        self.size = stride * self.height
        memory = os.memfd_create("screen")
        os.ftruncate(memory, 2 * self.size)
        self.memory = mmap.mmap(memory, 2 * self.size)
        pool = self._request(self.shm, _CREATE_POOL, self._library["wl_shm_pool"], None,
                             ctypes.c_int32(memory), ctypes.c_int32(2 * self.size))
        os.close(memory)
        for turn in range(2):
            self.buffers.append(self._request(
                pool, _CREATE_BUFFER, self._library["wl_buffer"], None,
                ctypes.c_int32(turn * self.size), ctypes.c_int32(self.width),
                ctypes.c_int32(self.height), ctypes.c_int32(stride), _u32(self.layout[0])))
        self._copy()

    def _declare(self):
        frame, manager = _Interface(), _Interface()
        self._frame_requests, keep_frame = _messages(
            (b"copy", b"o", [self._library["wl_buffer"]]), (b"destroy", b"", []),
            (b"copy_with_damage", b"2o", [self._library["wl_buffer"]]))
        self._frame_events, keep_events = _messages(
            (b"buffer", b"uuuu", [None] * 4), (b"flags", b"u", [None]),
            (b"ready", b"uuu", [None] * 3), (b"failed", b"", []),
            (b"damage", b"2uuuu", [None] * 4))
        frame.name, frame.version = b"zwlr_screencopy_frame_v1", 2
        frame.method_count, frame.methods = 3, self._frame_requests
        frame.event_count, frame.events = 5, self._frame_events
        self._manager_requests, keep_manager = _messages(
            (b"capture_output", b"nio", [ctypes.addressof(frame), None, self._library["wl_output"]]),
            (b"capture_output_region", b"nioiiii",
             [ctypes.addressof(frame), None, self._library["wl_output"]] + [None] * 4),
            (b"destroy", b"", []))
        manager.name, manager.version = MANAGER, 2
        manager.method_count, manager.methods = 3, self._manager_requests
        self._frame, self._manager, self._keep = frame, manager, (keep_frame, keep_events,
                                                                  keep_manager)

    def _request(self, proxy, opcode, interface, *arguments):
        return self.lib.wl_proxy_marshal_flags(
            ctypes.c_void_p(proxy), _u32(opcode), ctypes.c_void_p(interface), _u32(1), _u32(0),
            *(ctypes.c_void_p(value) if value is None or isinstance(value, int) else value
              for value in arguments))

    def _bind(self, registry, found, name, interface, version):
        # wl_registry.bind of a new id whose interface the registry names:
        # the global, the interface's name, its version, then the new object.
        return self.lib.wl_proxy_marshal_flags(
            ctypes.c_void_p(registry), _u32(_BIND), ctypes.c_void_p(interface), _u32(version),
            _u32(0), _u32(found[name]), ctypes.c_char_p(name), _u32(version),
            ctypes.c_void_p(None))

    def _capture(self):
        self.frame = self._request(self.manager, _CAPTURE_OUTPUT, ctypes.addressof(self._frame),
                                   None, ctypes.c_int32(0), ctypes.c_void_p(self.output))
        self.lib.wl_proxy_add_listener(ctypes.c_void_p(self.frame),
                                       ctypes.byref(self._frame_listener), None)

    def _copy(self):
        """Asks for the next frame that changes the output into the buffer
        whose turn it is."""
        if self.buffers and self.frame is None:
            self._capture()
        self._request(self.frame, _COPY_WITH_DAMAGE, None, ctypes.c_void_p(self.buffers[self.turn]))
        self.lib.wl_display_flush(self.display)

    def _check(self):
        if self.error:
            raise RuntimeError(self.error)

    def _on_buffer(self, data, frame, pixel_format, width, height, stride):
        if pixel_format not in (0, 1):  # ARGB8888, XRGB8888: blue, green, red, unused
            self.error = "the compositor offers pixels of format %#x" % pixel_format
        elif self.layout not in (None, (pixel_format, width, height, stride)):
            self.error = "the output changed its size"
        else:
            self.layout = (pixel_format, width, height, stride)

    def _on_flags(self, data, frame, flags):
        if flags & 1:  # y_invert, which a software renderer never sets
            self.error = "the compositor copies the output upside down"

    def _on_ready(self, data, frame, seconds_high, seconds_low, nanoseconds):
        self._request(frame, _FRAME_DESTROY, None)
        self.frame = None
        offset = self.turn * self.size
        self.turn ^= 1
        self._copy()
        when = ((seconds_high << 32) + seconds_low) + nanoseconds / 1e9
        self.pending = (when, self.memory[offset:offset + self.size])

    def _on_failed(self, data, frame):
        self.error = "the compositor failed to copy the output"

    def _dispatch(self, timeout, others=()):
        """Reads and handles the compositor's events, waiting up to timeout
        seconds (None: for ever) for some; returns the other descriptors that
        are ready to read."""
        lib, display = self.lib, self.display
        while lib.wl_display_prepare_read(display) != 0:
            lib.wl_display_dispatch_pending(display)
        lib.wl_display_flush(display)
        fd = lib.wl_display_get_fd(display)
        try:
            ready = select.select([fd, *others], [], [], timeout)[0]
        except BaseException:
            lib.wl_display_cancel_read(display)
            raise
        if fd in ready:
            lib.wl_display_read_events(display)
        else:
            lib.wl_display_cancel_read(display)
        lib.wl_display_dispatch_pending(display)
        return [other for other in ready if other != fd]

    def next_change(self, previous, until, events=None):
        """(when, frame) of the first frame put out that differs from previous
        (bytes, or None for any), or None at the monotonic time until.
        events, a WindowEvents, is read meanwhile."""
        while True:
            self._check()
            if self.pending is not None:
                when, frame = self.pending
                self.pending, self.latest = None, frame
                if frame != previous:
                    return when, frame
                continue
            remaining = until - time.monotonic()
            if remaining <= 0:
                return None
            others = [events.socket] if events else []
            if self._dispatch(remaining, others):
                events.read()

    def close(self):
        if self.display:
            self.lib.wl_display_disconnect(self.display)
            self.display = None
            self.memory.close()


class WindowEvents:
    """sway's window events ("new" when a window maps, "close", ...), each
    with the monotonic time it was read, from its IPC socket (i3's protocol:
    "i3-ipc", the payload's length and its type, then JSON)."""

    _SUBSCRIBE = 2
    _HEADER = struct.Struct("=6sII")

    def __init__(self, path):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(path)
        payload = json.dumps(["window"]).encode()
        self.socket.sendall(self._HEADER.pack(b"i3-ipc", len(payload), self._SUBSCRIBE) + payload)
        self.data = b""
        self.seen = []  # (time, change, pid)
        while not self._messages():
            self.data += self.socket.recv(65536)

    def _messages(self):
        """Takes the whole messages read so far; True if the subscription was
        answered among them."""
        answered = False
        while len(self.data) >= self._HEADER.size:
            _, length, kind = self._HEADER.unpack_from(self.data)
            end = self._HEADER.size + length
            if len(self.data) < end:
                break
            message = json.loads(self.data[self._HEADER.size:end])
            self.data = self.data[end:]
            if kind & 0x80000000:
                container = message.get("container") or {}
                self.seen.append((time.monotonic(), message.get("change"), container.get("pid")))
            elif kind == self._SUBSCRIBE:
                answered = True
        return answered

    def read(self):
        self.data += self.socket.recv(65536)
        self._messages()

    def mapped(self, pids, since):
        """When the first window of one of pids mapped after since, or None."""
        for when, change, pid in self.seen:
            if change == "new" and pid in pids and when >= since:
                return when
        return None

    def close(self):
        self.socket.close()
