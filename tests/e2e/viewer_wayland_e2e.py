"""The viewer as a person sees it on Wayland: a real window on headless sway.

Usage: viewer_wayland_e2e.py --viewer PATH [--work DIR]

The viewer runs natively, with only WAYLAND_DISPLAY to find a display (no X
server anywhere). Each test reads the window's title, app id and size from
sway's tree, looks at the screen pixel by pixel (grim), drives it (resizes,
a real drag and drop from a GTK client moved by a virtual pointer) and closes
it as a close box does. One case runs on an output of scale 2. The checks of
what the window shows are the X11 test's (viewer_e2e.py).
"""

import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave the source folder as it is
sys.path.insert(0, HERE)

import viewer_e2e as shown  # noqa: E402  the X11 test's checks of the window's pixels
import viewer_run  # noqa: E402
import wlharness  # noqa: E402
import xharness  # noqa: E402

OPTIONS = None
SERVER = None

DESKTOP_ID = "io.github.rastelle.Rastelle"
DESKTOP_FILES = os.path.join(HERE, "..", "..", "share", "applications")
TITLE_CAPTION = shown.TITLE_CAPTION
START_TIMEOUT = shown.START_TIMEOUT
STEP_TIMEOUT = shown.STEP_TIMEOUT


class Viewer(viewer_run.ViewerRun):
    """One run of the viewer on the private compositor."""

    screenshot_prefix = "wayland-"

    def __init__(self, *arguments):
        super().__init__(OPTIONS.viewer, arguments, SERVER.env, OPTIONS.work)

    @property
    def window(self):
        return SERVER.window_of(self.process.pid)

    def caption(self):
        window = self.window
        return window["name"].encode() if window and window["name"] is not None else None

    def client_rect(self):
        """The window's place and size in sway's layout, logical pixels."""
        window = self.window
        return window and window["rect"]

    def rect(self):
        return self.geometry()

    def client_size(self):
        """The client area in device pixels."""
        width, height = self.rect()[2:]
        return width * SERVER.scale, height * SERVER.scale

    def screenshot(self):
        return SERVER.screenshot(self.rect())

    def request_size(self, width, height):
        SERVER.command("[pid=%d]" % self.process.pid, "resize", "set", "width", "%d px" % width,
                       "height", "%d px" % height)

    def request_close(self):
        SERVER.command("[pid=%d]" % self.process.pid, "kill")


class Session:
    """What the X11 test's picture helpers expect of theirs."""

    def __init__(self, work):
        self.work = work


def setUpModule():
    global SERVER
    os.makedirs(OPTIONS.work, exist_ok=True)
    shown.SESSION = Session(OPTIONS.work)
    SERVER = wlharness.SwayServer()


def tearDownModule():
    if SERVER:
        SERVER.stop()
    if OPTIONS.temporary:
        shutil.rmtree(OPTIONS.work, ignore_errors=True)


def transition_widths(image):
    """The mean number of grey pixels between a light and a dark one, along the
    rows and the columns of the prompt's lines inside the frame: under one for
    text drawn at the screen's own pixels, twice as many for text enlarged
    afterwards."""
    width, height = image.size
    grey = image.crop((1, 1, width - 1, height // 4)).convert("L")
    pixels = grey.load()
    width, height = grey.size
    widths = []
    lines = [[(x, y) for x in range(width)] for y in range(height)]
    lines += [[(x, y) for y in range(height)] for x in range(width)]
    for line in lines:
        last_extreme, greys = None, 0
        for point in line:
            value = pixels[point]
            if value <= 48 or value >= 208:
                extreme = value <= 48
                if last_extreme is not None and extreme != last_extreme:
                    widths.append(greys)
                last_extreme, greys = extreme, 0
            else:
                greys += 1
    return sum(widths) / len(widths) if widths else float("inf")


def uniform_blocks(image):
    """The share of the aligned 2 x 2 blocks with ink in the prompt's lines that
    are one colour: all of them for text drawn at scale 1 and enlarged by
    repeating pixels, as sway enlarges a surface of scale 1."""
    width, height = image.size
    grey = image.crop((2, 2, width - 2, height // 4)).convert("L")
    pixels = grey.load()
    inked = uniform = 0
    for y in range(0, grey.size[1] - 1, 2):
        for x in range(0, grey.size[0] - 1, 2):
            block = [pixels[x, y], pixels[x + 1, y], pixels[x, y + 1], pixels[x + 1, y + 1]]
            if min(block) < 208:
                inked += 1
                uniform += max(block) - min(block) <= 8
    return uniform / inked if inked else 1.0


class WaylandViewer(unittest.TestCase):
    def start_viewer(self, *arguments):
        viewer = Viewer(*arguments)
        self.addCleanup(viewer.kill)
        return viewer

    def assert_fitted(self, viewer, picture, name):
        width, height = viewer.client_size()
        zoom, dw, dh, x, y = shown.fit_to_client(width, height, picture.width, picture.height)
        viewer.wait_caption(shown.zoom_caption(zoom))
        viewer.wait_picture(
            lambda image: shown.picture_mismatches(image, picture, dw, dh, x, y), name)

    def close_normally(self, viewer):
        self.assertEqual(viewer.close(), 0, "exit code after closing the window")

    def test_the_first_window_shows_the_prompt_under_the_desktop_id(self):
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        # The compositor finds the desktop entry, and through it the icon, by
        # the app id.
        self.assertEqual(viewer.window["app_id"], DESKTOP_ID)
        self.assertTrue(os.path.exists(os.path.join(DESKTOP_FILES, DESKTOP_ID + ".desktop")))
        self.assertEqual(viewer.rect()[2:], (458, 272))  # the template's size at scale 1
        viewer.wait_picture(shown.prompt_mismatches, "prompt")
        self.close_normally(viewer)

    def test_a_window_that_cannot_be_presented_is_reported_and_ends_with_1(self):
        # Files of at most 64 KiB: the window's first buffer (458 x 272 pixels,
        # 4 bytes each) cannot be made. The signal the system sends then is
        # ignored, so the call reports the error instead.
        def small_files():
            resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

        try:
            result = subprocess.run([OPTIONS.viewer], env=SERVER.env, capture_output=True,
                                    timeout=STEP_TIMEOUT, preexec_fn=small_files)
        except subprocess.TimeoutExpired:
            self.fail("the viewer was still running %d s after its window failed" % STEP_TIMEOUT)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr, b"rastelle: cannot show the window "
                         b"(cannot make a buffer: File too large)\n")

    def test_when_the_compositor_goes_the_viewer_ends_with_1(self):
        # As an X client ends when its server does; on a compositor of its own.
        server = wlharness.SwayServer()
        self.addCleanup(server.stop)
        errors = tempfile.TemporaryFile(dir=OPTIONS.work)
        self.addCleanup(errors.close)
        process = xharness.start_process([OPTIONS.viewer], env=server.env, stderr=errors)
        self.addCleanup(xharness.stop_process, process)
        xharness.wait_until(lambda: server.window_of(process.pid), START_TIMEOUT, "the window")
        server.stop()
        try:
            self.assertEqual(process.wait(STEP_TIMEOUT), 1)
        except subprocess.TimeoutExpired:
            self.fail("the viewer was still running %d s after its compositor ended"
                      % STEP_TIMEOUT)
        errors.seek(0)
        self.assertTrue(errors.read().startswith(
            b"rastelle: cannot show the window (the connection to the compositor failed"))

    def test_a_file_is_shown_fitted_and_each_resize_refits(self):
        picture = shown.Picture("wayland start.bmp", 97, 50, (shown.RED, shown.GREEN, shown.BLUE, shown.ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture, "start")
        for client in [(194, 100), (300, 400), (640, 160)]:
            with self.subTest(client=client):
                viewer.resize(*client)
                self.assert_fitted(viewer, picture, "resize-%dx%d" % client)
        self.close_normally(viewer)

    def drop(self, viewer, item):
        """Drags item (a path or a URI) from a GTK window onto the viewer's
        with a virtual pointer, and lets go once the viewer takes it."""
        pointer = wlharness.VirtualPointer(SERVER, os.path.join(HERE, "virtual_pointer.py"))
        self.addCleanup(pointer.stop)
        source = xharness.start_process(
            ["/usr/bin/python3", os.path.join(HERE, "drag_source.py"), "0", "0", "200", "120", item],
            env=dict(SERVER.env, GDK_BACKEND="wayland"), stdout=subprocess.PIPE, bufsize=0)
        self.addCleanup(source.stdout.close)
        self.addCleanup(xharness.stop_process, source)
        self.assertEqual(xharness.read_line(source, START_TIMEOUT, "the drag source").strip(),
                         "ready")
        place = (700, 100, 200, 120)
        xharness.wait_until(lambda: SERVER.window_of(source.pid), STEP_TIMEOUT,
                            "the drag source's window")
        SERVER.command("[pid=%d]" % source.pid, "move", "position", "%d px" % place[0],
                       "%d px" % place[1])
        xharness.wait_until(lambda: (SERVER.window_of(source.pid) or {}).get("rect") == place,
                            STEP_TIMEOUT, "the drag source in its place")
        left, top, width, height = viewer.rect()
        start = (place[0] + place[2] // 2, place[1] + place[3] // 2)
        end = (left + width // 2, top + height // 2)
        pointer.move(*start)
        pointer.press()
        for step in range(1, 21):
            pointer.move(start[0] + (end[0] - start[0]) * step // 20,
                         start[1] + (end[1] - start[1]) * step // 20)
        # Let go once the viewer has taken the drag; small moves give the
        # source fresh positions to send meanwhile.
        deadline = time.monotonic() + STEP_TIMEOUT
        while True:
            try:
                line = xharness.read_line(source, 0.5, "the viewer to accept the drag")
                break
            except TimeoutError:
                if time.monotonic() >= deadline:
                    raise
                pointer.move(end[0] + (1 if int(time.monotonic() * 2) % 2 else -1), end[1])
        self.assertEqual(line.strip(), "accepted", "the drag source reported %r" % line)
        pointer.release()
        pointer.move(0, 0)  # the cursor, which screenshots show, off the window
        source.wait(STEP_TIMEOUT)
        pointer.stop()

    def test_a_drop_through_the_compositor_loads_the_file(self):
        picture = shown.Picture("wayland drop.bmp", 60, 80,
                                (shown.PURPLE, shown.TEAL, shown.OLIVE, shown.PINK))
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        with self.subTest("a path, as GTK sends it"):
            self.drop(viewer, picture.path)
            self.assert_fitted(viewer, picture, "drop")
        with self.subTest("http://...: no file, so the error caption and the prompt"):
            self.drop(viewer, "http://example.invalid/picture.bmp")
            viewer.wait_caption(shown.ERROR_CAPTION)
            viewer.wait_picture(shown.prompt_mismatches, "drop-http")
        with self.subTest("file://localhost/...: a file of this machine, shown"):
            self.drop(viewer, "file://localhost" + urllib.parse.quote(picture.path))
            self.assert_fitted(viewer, picture, "drop-localhost")
        self.close_normally(viewer)

    def test_on_a_scale_2_output_the_window_is_drawn_in_device_pixels(self):
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        first = viewer.wait_picture(shown.prompt_mismatches, "prompt-1x")
        sharp_at_1, text_at_1 = transition_widths(first), shown.ink(first)
        self.close_normally(viewer)

        SERVER.set_scale(2)
        self.addCleanup(SERVER.set_scale, 1)
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        # As large to the eye as at scale 1, so twice the device pixels; the
        # frame one device pixel wide and the text at (10, 10) show that the
        # window was drawn at that size rather than enlarged.
        self.assertEqual(viewer.rect()[2:], (458, 272))
        self.assertEqual(viewer.client_size(), (916, 544))
        image = viewer.wait_picture(shown.prompt_mismatches, "prompt-2x")
        self.assertEqual(image.size, (916, 544))
        text_at_2 = shown.ink(image)
        self.assertLessEqual(abs(text_at_2.size[1] - 2 * text_at_1.size[1]), 3,
                             "prompt ink %s at scale 2, %s at scale 1"
                             % (text_at_2.size, text_at_1.size))
        # Glyph edges as crisp as at scale 1: text enlarged by repeating pixels
        # comes in blocks of 2 x 2, and text enlarged smoothly has about twice
        # as many grey pixels across each edge.
        sharp_at_2, blocks = transition_widths(image), uniform_blocks(image)
        message = ("grey pixels across an edge: %.2f at scale 2, %.2f at scale 1; "
                   "one-colour blocks %.0f%%" % (sharp_at_2, sharp_at_1, 100 * blocks))
        print(message, file=sys.stderr)
        self.assertLess(blocks, 0.5, message)
        self.assertLess(sharp_at_2, 1.5 * sharp_at_1, message)
        self.close_normally(viewer)

        # The picture fills the device pixels, and the zoom counts them.
        picture = shown.Picture("wayland scale 2.bmp", 97, 50, (shown.RED, shown.GREEN, shown.BLUE, shown.ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture, "picture-2x")
        self.close_normally(viewer)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--work", help="folder for files and failure screenshots (kept)")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.viewer = os.path.abspath(OPTIONS.viewer)
    OPTIONS.temporary = not OPTIONS.work
    OPTIONS.work = OPTIONS.work or tempfile.mkdtemp(prefix="rastelle-wayland-e2e-")
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
