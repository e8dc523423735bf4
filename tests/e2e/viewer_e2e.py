"""The viewer as a person sees it: a real window on a private X server.

Usage: viewer_e2e.py --viewer PATH [--bmpgen PATH] [--screenshot PNG] [--work DIR]

Each test starts the real viewer under Xvfb, reads its caption and window
manager hints as bytes, looks at the screen pixel by pixel, drives it with
xdotool (resizes, a real drag and drop from a GTK client) and closes it the way
a window manager's close box does. Every wait polls with a bounded timeout.
"""

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # leave the source folder as it is
sys.path.insert(0, HERE)

import bmpfile  # noqa: E402
import viewer_run  # noqa: E402
import xharness  # noqa: E402

OPTIONS = None
SESSION = None

TITLE_CAPTION = b"Rastelle ver 0.1"
ERROR_CAPTION = "エラー".encode("utf-8")  # error
PROMPT = "ビットマップファイルをドラッグアンドドロップしてください"  # please drag and drop a bitmap file
FALLBACK_FONT = os.path.join(HERE, "..", "..", "src", "res", "fonts", "rastelle-fallback.ttf")
LATIN_FONT_FOLDER = "/usr/share/fonts/truetype/dejavu"

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)
GREEN = (0, 255, 0)
BLUE = (0, 0, 255)
ORANGE = (255, 160, 0)
PURPLE = (128, 0, 160)
TEAL = (0, 128, 128)
OLIVE = (128, 128, 0)
PINK = (255, 96, 160)

START_TIMEOUT = viewer_run.START_TIMEOUT
STEP_TIMEOUT = viewer_run.STEP_TIMEOUT


def fit_to_client(client_width, client_height, width, height):
    """zoom, dw, dh, x, y for an image of width x height in the client area."""
    width_ratio = client_width / width
    height_ratio = client_height / height
    zoom = width_ratio if height_ratio >= width_ratio else height_ratio
    dw = int(width * zoom)
    dh = int(height * zoom)
    return zoom, dw, dh, int((client_width - dw) / 2), int((client_height - dh) / 2)


def zoom_caption(zoom):
    """The zoom caption as the desktop shows it: the program's caption ends in
    a line feed, which the title handed to the desktop leaves out."""
    return ("%g %%" % (zoom * 100)).encode("ascii")


class Picture:
    """A test bitmap: a file with four coloured quadrants of a known size."""

    def __init__(self, name, width, height, colours):
        self.width, self.height, self.colours = width, height, colours
        self.path = os.path.join(SESSION.work, name)
        bmpfile.write_bmp24(self.path, bmpfile.quadrants(width, height, *colours))


def picture_mismatches(image, picture, dw, dh, x, y, limit=8, client=None):
    """Compares the client area with the fitted picture on white with its frame.

    Inside the destination rectangle every pixel must be one of the picture's
    colours, and the quadrant colour away from the split lines; outside it the
    outermost rows and columns are black and the rest is white. The image may
    be the top left part of a client area of the given size.
    """
    width, height = image.size
    last_column, last_row = (client[0] - 1, client[1] - 1) if client else (width - 1, height - 1)
    pixels = image.load()
    split_x = x + picture.width // 2 * dw / picture.width
    split_y = y + picture.height // 2 * dh / picture.height
    top_left, top_right, bottom_left, bottom_right = picture.colours
    found = []
    for py in range(height):
        for px in range(width):
            actual = pixels[px, py]
            if x <= px < x + dw and y <= py < y + dh:
                if abs(px + 0.5 - split_x) < 2 or abs(py + 0.5 - split_y) < 2:
                    if actual in picture.colours:
                        continue
                    expected = "one of the picture's colours"
                else:
                    top, left = py < split_y, px < split_x
                    expected = ((top_left if left else top_right) if top else
                                (bottom_left if left else bottom_right))
            elif px in (0, last_column) or py in (0, last_row):
                expected = BLACK
            else:
                expected = WHITE
            if actual != expected:
                found.append("(%d, %d) is %s, expected %s" % (px, py, actual, expected))
                if len(found) >= limit:
                    return found
    return found


def prompt_mismatches(image, full_width=False):
    """Checks the picture of the window without an image: white, the frame, and
    dark text pixels that begin near (10, 10) and nothing of any picture.

    In a font whose kana are all full width, 28 characters of 16 pixels from
    x = 10 reach the last column, and the text's opaque white box covers the
    frame there; full_width allows that."""
    width, height = image.size
    pixels = image.load()
    found = []
    dark = []
    for py in range(height):
        for px in range(width):
            actual = pixels[px, py]
            if full_width and px == width - 1 and 10 <= py < 10 + 48 and actual == WHITE:
                continue
            if px in (0, width - 1) or py in (0, height - 1):
                if actual != BLACK:
                    found.append("frame (%d, %d) is %s" % (px, py, actual))
            elif not (10 <= px and 10 <= py < 10 + 48):
                if actual != WHITE:  # away from the text only the white fill
                    found.append("(%d, %d) is %s, expected white" % (px, py, actual))
            elif max(actual) - min(actual) > 40:
                found.append("(%d, %d) is coloured: %s" % (px, py, actual))
            elif sum(actual) < 3 * 128:
                dark.append((px, py))
            if len(found) >= 8:
                return found
    if len(dark) < 200:
        found.append("only %d dark pixels: no prompt text" % len(dark))
    else:
        left = min(px for px, _ in dark)
        top = min(py for _, py in dark)
        bottom = max(py for _, py in dark)
        if not (10 <= left <= 16 and 10 <= top <= 20 and bottom < 10 + 48):
            found.append("text spans x >= %d, y %d..%d; expected it to start at (10, 10)"
                         % (left, top, bottom))
    return found


class Viewer(viewer_run.ViewerRun):
    """One run of the viewer on the private display."""

    def __init__(self, *arguments, env=None):
        self.x = SESSION.client
        super().__init__(OPTIONS.viewer, arguments, dict(SESSION.server.env, **(env or {})),
                         SESSION.work)

    @property
    def window(self):
        """The viewer's window, looked up afresh: a toolkit may replace its
        first window while it sets up drawing."""
        windows = self.x.windows_of(self.process.pid)
        return windows[-1] if windows else None

    def caption(self):
        window = self.window
        return self.x.caption(window) if window else None

    def client_rect(self):
        window = self.window
        return window and self.x.geometry(window)

    def client_size(self):
        return self.geometry()[2:]

    def check_titles(self):
        # Both of the window manager's titles, without a character it would
        # draw as a box.
        for name in ("_NET_WM_NAME", "WM_NAME"):
            title = self.x.property_bytes(self.window, name)
            if not isinstance(title, bytes) or viewer_run.control_characters(title):
                raise AssertionError("%s is %r" % (name, title))

    def screenshot(self):
        """The client area, as far as it lies on the screen."""
        left, top, width, height = self.geometry()
        screen_width, screen_height = SESSION.server.size
        return xharness.screenshot(SESSION.server.display,
                                   (left, top, min(left + width, screen_width),
                                    min(top + height, screen_height)))

    def request_size(self, width, height):
        xharness.run_tool(SESSION.server.env, "xdotool", "windowsize", str(self.window),
                          str(width), str(height))

    def request_close(self):
        self.x.request_close(self.window)


class Session:
    def __init__(self):
        self.work = OPTIONS.work or tempfile.mkdtemp(prefix="rastelle-e2e-")
        os.makedirs(self.work, exist_ok=True)
        self.server = xharness.XvfbServer(1280, 1024, 24)
        try:
            self.client = xharness.XClient(self.server.display)
        except BaseException:
            self.server.stop()
            raise

    def stop(self):
        self.client.close()
        self.server.stop()
        if not OPTIONS.work:
            shutil.rmtree(self.work, ignore_errors=True)


def setUpModule():
    global SESSION
    SESSION = Session()


def tearDownModule():
    if SESSION:
        SESSION.stop()


class ViewerTestCase(unittest.TestCase):
    def start_viewer(self, *arguments, env=None):
        viewer = Viewer(*arguments, env=env)
        self.addCleanup(viewer.kill)
        return viewer

    def assert_fitted(self, viewer, picture, client=None):
        width, height = client or viewer.client_size()
        zoom, dw, dh, x, y = fit_to_client(width, height, picture.width, picture.height)
        viewer.wait_caption(zoom_caption(zoom))
        viewer.wait_picture(
            lambda image: picture_mismatches(image, picture, dw, dh, x, y, client=(width, height)),
            "%s-%dx%d" % (self.id().rsplit(".", 1)[-1], width, height))

    def close_normally(self, viewer):
        self.assertEqual(viewer.close(), 0, "exit code after closing the window")


class StartWithFile(ViewerTestCase):
    def test_shows_the_file_fitted_with_the_zoom_caption_and_exits_0(self):
        picture = Picture("start file.bmp", 97, 50, (RED, GREEN, BLUE, ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture)
        self.assertTrue(viewer.caption().endswith(b" %"), viewer.caption())
        self.close_normally(viewer)

    def test_each_resize_refits_and_recaptions(self):
        picture = Picture("resize.bmp", 97, 50, (RED, GREEN, BLUE, ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture)
        # client, caption, destination dw x dh at (x, y)
        cases = [
            ((100, 100), b"103.093 %", (99, 51, 0, 24)),  # truncation leaves dw one short
            ((194, 100), b"200 %", (194, 100, 0, 0)),     # equal ratios: frame fully covered
            ((300, 400), b"309.278 %", (300, 154, 0, 123)),
            ((640, 160), b"320 %", (310, 160, 165, 0)),   # height decides: side lines show
            ((150, 77), b"154 %", (149, 77, 0, 0)),       # right frame line left uncovered
        ]
        for client, caption, (dw, dh, x, y) in cases:
            with self.subTest(client=client):
                viewer.resize(*client)
                viewer.wait_caption(caption)
                viewer.wait_picture(
                    lambda image: picture_mismatches(image, picture, dw, dh, x, y),
                    "resize-%dx%d" % client)
        self.close_normally(viewer)

    def test_a_client_area_larger_than_the_screen_and_back(self):
        # The client area is presented through memory shared with the X
        # server, as large as the screen; a larger one is shown another way,
        # and the next that fits goes through that memory again.
        picture = Picture("larger.bmp", 97, 50, (RED, GREEN, BLUE, ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture)
        screen_width, screen_height = SESSION.server.size
        for client in [(2 * screen_width, 2 * screen_height), (150, 77)]:
            with self.subTest(client=client):
                viewer.resize(*client)
                self.assert_fitted(viewer, picture, client)
        self.close_normally(viewer)

    def test_esc_and_enter_do_not_close_the_window(self):
        picture = Picture("keys.bmp", 97, 50, (RED, GREEN, BLUE, ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture)
        left, top, width, height = viewer.geometry()
        xharness.run_tool(SESSION.server.env, "xdotool", "mousemove", str(left + width // 2),
                          str(top + height // 2), "key", "--delay", "20", "Escape", "Return")
        # Events are handled in order: a repaint after a later resize shows that
        # the keys were handled and the window is still there.
        viewer.resize(194, 100)
        viewer.wait_caption(b"200 %")
        self.assertIsNone(viewer.process.poll(), "the viewer ended after Esc or Enter")
        self.close_normally(viewer)

    def test_nothing_it_started_is_left_after_close_without_a_session_bus(self):
        # Every run has no session bus, and every close checks that nothing
        # the viewer started is left (viewer_run.py); here that alone.
        picture = Picture("alone.bmp", 97, 50, (RED, GREEN, BLUE, ORANGE))
        viewer = self.start_viewer(picture.path)
        self.assert_fitted(viewer, picture)
        self.close_normally(viewer)
        self.assertEqual(viewer.left_behind(), [])

    def test_a_file_that_fails_to_load_shows_the_error_caption(self):
        not_a_bitmap = os.path.join(SESSION.work, "start.txt")
        with open(not_a_bitmap, "w") as out:
            out.write("not a bitmap\n")
        viewer = self.start_viewer(not_a_bitmap)
        viewer.wait_caption(ERROR_CAPTION)
        viewer.wait_picture(prompt_mismatches, "start-failed")
        self.close_normally(viewer)


# _MOTIF_WM_HINTS: flags saying which fields count, the functions the window
# manager offers, the decorations it draws.
MWM_HINTS_FUNCTIONS, MWM_HINTS_DECORATIONS = 1, 2
MWM_FUNC_RESIZE, MWM_FUNC_MOVE, MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE, MWM_FUNC_CLOSE = (
    2, 4, 8, 16, 32)
MWM_DECOR_BORDER, MWM_DECOR_RESIZEH, MWM_DECOR_TITLE, MWM_DECOR_MENU = 2, 4, 8, 16
MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 32, 64


class Frame(ViewerTestCase):
    def test_the_window_manager_is_asked_for_the_templates_frame_without_minimise(self):
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        hints = viewer.x.property_bytes(viewer.window, "_MOTIF_WM_HINTS")
        # The template: a caption, a system menu, a thick frame and a maximise
        # box; no minimise box.
        self.assertEqual(hints, [
            MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS,
            MWM_FUNC_RESIZE | MWM_FUNC_MOVE | MWM_FUNC_MAXIMIZE | MWM_FUNC_CLOSE,
            MWM_DECOR_BORDER | MWM_DECOR_RESIZEH | MWM_DECOR_TITLE | MWM_DECOR_MENU
            | MWM_DECOR_MAXIMIZE,
            0, 0])
        self.close_normally(viewer)


class Dragging(ViewerTestCase):
    """Real drags from another X client, over XDND."""

    SOURCE = (700, 100, 200, 120)  # where the drag source window stands

    def drag(self, viewer, *paths):
        x, y, width, height = self.SOURCE
        source = xharness.start_process(
            ["/usr/bin/python3", os.path.join(HERE, "drag_source.py"), str(x), str(y),
             str(width), str(height), *paths],
            env=SESSION.server.env, stdout=subprocess.PIPE, bufsize=0)
        self.addCleanup(source.stdout.close)
        self.addCleanup(xharness.stop_process, source)
        line = xharness.read_line(source, START_TIMEOUT, "the drag source window")
        self.assertEqual(line.strip(), "ready")
        left, top, client_width, client_height = viewer.geometry()
        start = (x + width // 2, y + height // 2)
        end = (left + client_width // 2, top + client_height // 2)
        steps = ["mousemove", str(start[0]), str(start[1]), "sleep", "0.1", "mousedown", "1"]
        for step in range(1, 21):
            steps += ["mousemove", str(start[0] + (end[0] - start[0]) * step // 20),
                      str(start[1] + (end[1] - start[1]) * step // 20), "sleep", "0.03"]
        xharness.run_tool(SESSION.server.env, "xdotool", *steps)
        # Let go only once the viewer has answered that it takes the drop; a
        # small move now and then gives the source a fresh position to send.
        deadline = time.monotonic() + STEP_TIMEOUT
        while True:
            try:
                line = xharness.read_line(source, 0.5, "the viewer to accept the drag")
            except TimeoutError:
                if time.monotonic() >= deadline:
                    raise
                wiggle = end[0] + (1 if int(time.monotonic() * 2) % 2 else -1)
                xharness.run_tool(SESSION.server.env, "xdotool", "mousemove", str(wiggle),
                                  str(end[1]))
                continue
            self.assertEqual(line.strip(), "accepted", "the drag source reported %r" % line)
            break
        xharness.run_tool(SESSION.server.env, "xdotool", "mouseup", "1")
        return source

    def finish_drag(self, source):
        line = "accepted"
        while line.strip() == "accepted":
            line = xharness.read_line(source, STEP_TIMEOUT, "the end of the drag")
        self.assertEqual(line.strip(), "done", "the drag source reported %r" % line)
        source.wait(STEP_TIMEOUT)

class Drops(Dragging):
    def test_drops_load_the_first_file_and_failures_show_the_error_caption(self):
        first = Picture("drop-first.bmp", 60, 80, (PURPLE, TEAL, OLIVE, PINK))
        # A blank and non-ASCII letters travel percent-encoded in the URI list.
        second = Picture("二枚目 drop.bmp", 80, 40, (RED, GREEN, BLUE, ORANGE))
        not_a_bitmap = os.path.join(SESSION.work, "notes.txt")
        with open(not_a_bitmap, "w") as out:
            out.write("BM is not enough to make a bitmap\n")

        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        viewer.wait_picture(prompt_mismatches, "drops-empty")

        with self.subTest("a bitmap, then a text file: the bitmap is shown"):
            self.finish_drag(self.drag(viewer, first.path, not_a_bitmap))
            self.assert_fitted(viewer, first)

        with self.subTest("a text file, then a bitmap: error caption and the prompt"):
            source = self.drag(viewer, not_a_bitmap, second.path)
            viewer.wait_caption(ERROR_CAPTION)
            self.finish_drag(source)
            self.assertEqual(viewer.caption(), ERROR_CAPTION)
            viewer.wait_picture(prompt_mismatches, "drops-error")

        with self.subTest("the next good drop brings the zoom caption back"):
            self.finish_drag(self.drag(viewer, second.path))
            self.assert_fitted(viewer, second)

        self.close_normally(viewer)

    def test_uris_as_file_managers_and_browsers_send_them(self):
        picture = Picture("drop localhost.bmp", 60, 80, (PURPLE, TEAL, OLIVE, PINK))
        viewer = self.start_viewer()
        viewer.wait_caption(TITLE_CAPTION)
        with self.subTest("file://localhost/...: a file of this machine, shown"):
            self.finish_drag(self.drag(viewer, "file://localhost" + urllib.parse.quote(picture.path)))
            self.assert_fitted(viewer, picture)
        with self.subTest("http://...: no file, so the error caption and the prompt"):
            source = self.drag(viewer, "http://example.invalid/picture.bmp")
            viewer.wait_caption(ERROR_CAPTION)
            self.finish_drag(source)
            viewer.wait_picture(prompt_mismatches, "drops-http")
        self.close_normally(viewer)


def impossible_bitmap(path, width, height):
    """A small 24-bit file that declares width x height pixels: more than any
    surface can hold."""
    with open(path, "wb") as out:
        out.write(bmpfile.bmp24_bytes(bmpfile.quadrants(4, 4, RED, GREEN, BLUE, ORANGE)))
        out.seek(18)
        out.write(struct.pack("<ii", width, height))


class LoadsThatCannotWork(Dragging):
    """Paths that deliver nothing, and images no surface can hold, end as
    failures the user can see, and the window goes on."""

    def silent_fifo(self, name):
        path = os.path.join(SESSION.work, name)
        if os.path.exists(path):
            os.remove(path)
        os.mkfifo(path)
        return path

    def test_a_silent_fifo_on_the_command_line_gives_the_window_with_the_error(self):
        viewer = self.start_viewer(self.silent_fifo("silent start.bmp"))
        viewer.wait_caption(ERROR_CAPTION)
        viewer.wait_picture(prompt_mismatches, "silent-start")
        self.close_normally(viewer)

    def test_a_silent_fifo_or_an_impossible_image_dropped_shows_the_error(self):
        picture = Picture("before-silence.bmp", 60, 80, (PURPLE, TEAL, OLIVE, PINK))
        impossible = os.path.join(SESSION.work, "impossible.bmp")
        impossible_bitmap(impossible, 20000, 20000)
        for name, path in (("a silent fifo", self.silent_fifo("silent drop.bmp")),
                           ("an image of 20000 x 20000", impossible)):
            with self.subTest(name):
                viewer = self.start_viewer(picture.path)
                self.assert_fitted(viewer, picture)
                source = self.drag(viewer, path)
                viewer.wait_caption(ERROR_CAPTION)
                self.finish_drag(source)
                viewer.wait_picture(prompt_mismatches, "dropped-" + name.replace(" ", "-"))
                # It still answers: a resize repaints, and the close box ends it.
                viewer.resize(520, 240)
                viewer.wait_picture(prompt_mismatches, "after-" + name.replace(" ", "-"))
                self.assertEqual(viewer.caption(), ERROR_CAPTION)
                self.close_normally(viewer)


class HighDensity(ViewerTestCase):
    def test_the_desktops_density_scales_the_window_and_its_prompt(self):
        # The window is 458 x 272 at 96 dots per inch; a denser screen gets it
        # as large to the eye, drawn in its own pixels: the frame one pixel
        # wide, the prompt at (10, 10) and larger.
        for name, env, resources, client in (
                ("GDK_SCALE=2", {"GDK_SCALE": "2"}, None, (916, 544)),
                ("Xft.dpi: 144", {}, "Xft.dpi:\t144\n", (687, 408))):
            with self.subTest(name):
                if resources:
                    xharness.run_tool(SESSION.server.env, "xprop", "-root", "-f",
                                      "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                                      resources)
                    self.addCleanup(xharness.run_tool, SESSION.server.env, "xprop", "-root",
                                    "-remove", "RESOURCE_MANAGER")
                viewer = self.start_viewer(env=env)
                viewer.wait_caption(TITLE_CAPTION)
                self.assertEqual(viewer.client_size(), client)
                image = viewer.wait_picture(prompt_mismatches, "density-" + name.split("=")[0])
                text = ink(image.crop((1, 1, client[0] - 1, 10 + 48)))
                # 16 pixels at 96 dots per inch: about 15 of ink at scale 1.
                self.assertGreaterEqual(text.size[1], 12 * client[0] / 458,
                                        "the prompt's ink is %dx%d" % text.size)
                self.close_normally(viewer)


def ink(image, threshold=128):
    """The dark pixels of an image as a 1-bit mask cropped to their bounding
    box, or None when there are none."""
    mask = image.convert("L").point(lambda v: 255 if v < threshold else 0).convert("1")
    box = mask.getbbox()
    return mask.crop(box) if box else None


def mask_similarity(seen, reference):
    """The correlation of two ink masks, scaled to the same box and blurred a
    little, so that a pixel's shift by hinting or rounding costs little."""
    blur = ImageFilter.GaussianBlur(1.5)
    a = list(seen.convert("L").filter(blur).getdata())
    b = list(reference.resize(seen.size, Image.NEAREST).convert("L").filter(blur).getdata())
    mean_a, mean_b = sum(a) / len(a), sum(b) / len(b)
    covariance = sum((x - mean_a) * (y - mean_b) for x, y in zip(a, b))
    spread = math.sqrt(sum((x - mean_a) ** 2 for x in a) * sum((y - mean_b) ** 2 for y in b))
    return covariance / spread if spread else 0.0


def render_text(text, font_path, pixel_size):
    font = ImageFont.truetype(font_path, pixel_size)
    box = font.getbbox(text)
    image = Image.new("L", (box[2] + 4, box[3] + 4), 255)
    ImageDraw.Draw(image).text((2, 2), text, font=font, fill=0)
    return image


def japanese_fonts():
    output = subprocess.run(["fc-list", ":lang=ja", "file"], capture_output=True, text=True,
                            check=True).stdout
    return sorted({line.split(":")[0].strip() for line in output.splitlines() if line.strip()})


def latin_font():
    return subprocess.run(["fc-match", "-f", "%{file}", "DejaVu Sans"], capture_output=True,
                          text=True, check=True).stdout.strip()


def best_similarity(seen, text, fonts, height):
    """The best agreement of seen with text rendered in any of fonts, at pixel
    sizes around the one that gives the height of ink that was seen."""
    best = (0.0, "no rendering of a like size")
    for font in fonts:
        for size in range(max(6, height - 6), height + 10):
            reference = ink(render_text(text, font, size))
            if reference is None or abs(reference.size[1] - seen.size[1]) > 3:
                continue
            if abs(reference.size[0] - seen.size[0]) > 0.2 * seen.size[0]:
                continue
            best = max(best, (mask_similarity(seen, reference), "%s at %d px" % (font, size)))
    return best


def fonts_conf(name, *folders):
    """A fontconfig configuration that knows only the fonts in folders."""
    path = os.path.join(SESSION.work, name + ".conf")
    with open(path, "w") as out:
        out.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                  "<fontconfig>\n")
        out.writelines("  <dir>%s</dir>\n" % folder for folder in folders)
        out.write("  <cachedir>%s</cachedir>\n</fontconfig>\n"
                  % os.path.join(SESSION.work, "fontconfig-cache"))
    return path


class Prompt(ViewerTestCase):
    def assert_prompt_in(self, viewer, fonts, latin, name, full_width=False):
        """The prompt's ink looks like the prompt in one of fonts, far more than
        like what a broken text path would show: the prompt's bytes read as
        Latin-1 (in the Latin font), or one empty box per character."""
        viewer.wait_caption(TITLE_CAPTION)
        image = viewer.wait_picture(lambda image: prompt_mismatches(image, full_width), name)
        width, height = image.size
        text_area = image.crop((1, 1, width - 1, min(height - 1, 10 + 48)))
        seen = ink(text_area)
        right = best_similarity(seen, PROMPT, fonts, seen.size[1])
        wrong = max(
            best_similarity(seen, PROMPT.encode("cp932").decode("latin-1"), [latin],
                            seen.size[1]),
            best_similarity(seen, "\u25af" * len(PROMPT), [latin, *fonts], seen.size[1]),
            best_similarity(seen, "\ufffd" * len(PROMPT), [latin, *fonts], seen.size[1]))
        message = "%s: prompt ink %dx%d; as Japanese %.2f (%s); as boxes or mojibake %.2f (%s)" % (
            (name,) + seen.size + right + wrong)
        print(message, file=sys.stderr)
        self.assertGreaterEqual(right[0], 0.6, message)
        self.assertGreater(right[0], wrong[0] + 0.2, message)

    def test_the_prompt_is_drawn_as_japanese_glyphs(self):
        viewer = self.start_viewer()
        fonts = japanese_fonts()
        self.assertTrue(fonts, "no font with Japanese glyphs is installed")
        self.assert_prompt_in(viewer, fonts, latin_font(), "prompt")
        self.close_normally(viewer)

    def test_without_a_japanese_font_the_prompt_is_drawn_in_the_embedded_one(self):
        latin = os.path.join(LATIN_FONT_FOLDER, "DejaVuSans.ttf")
        self.assertTrue(os.path.exists(latin), "DejaVu Sans (fonts-dejavu-core) is not installed")
        for name, folders in (("no fonts", ()), ("only Latin fonts", (LATIN_FONT_FOLDER,))):
            with self.subTest(name):
                conf = fonts_conf(name.replace(" ", "-"), *folders)
                viewer = self.start_viewer(env={"FONTCONFIG_FILE": conf})
                self.assert_prompt_in(viewer, [FALLBACK_FONT], latin,
                                      "prompt-" + name.replace(" ", "-"), full_width=True)
                self.close_normally(viewer)


def stretched_mismatches(image, expected, dw, dh, x, y):
    """Compares the client area with expected (a picture already scaled to
    dw x dh) at (x, y) on white with the frame. Sampling may pick a neighbouring
    source pixel at places, so inside the picture the test is statistical."""
    width, height = image.size
    pixels = image.load()
    found = []
    for py in range(height):
        for px in range(width):
            if x <= px < x + dw and y <= py < y + dh:
                continue
            wanted = BLACK if px in (0, width - 1) or py in (0, height - 1) else WHITE
            if pixels[px, py] != wanted:
                found.append("(%d, %d) is %s, expected %s" % (px, py, pixels[px, py], wanted))
                if len(found) >= 8:
                    return found
    shown = image.crop((x, y, x + dw, y + dh))
    differences = [max(abs(a - b) for a, b in zip(p, q))
                   for p, q in zip(shown.getdata(), expected.getdata())]
    close = sum(d <= 24 for d in differences) / len(differences)
    mean = sum(differences) / len(differences)
    if close < 0.95 or mean > 8:
        found.append("the picture differs from the reference: %.1f%% of pixels close, mean "
                     "difference %.1f" % (100 * close, mean))
    return found


class Sample(ViewerTestCase):
    def test_sample_bitmap_screenshot(self):
        if not OPTIONS.bmpgen:
            self.skipTest("no bitmap generator given")
        sample = os.path.join(SESSION.work, "sample.bmp")
        xharness.run_tool(SESSION.server.env, OPTIONS.bmpgen, "--sample", sample, timeout=60)
        reference = Image.open(sample).convert("RGB")  # PIL's own reading of the file
        viewer = self.start_viewer(sample)
        width, height = viewer.client_size()
        zoom, dw, dh, x, y = fit_to_client(width, height, *reference.size)
        viewer.wait_caption(zoom_caption(zoom))
        expected = reference.resize((dw, dh), Image.NEAREST)
        image = viewer.wait_picture(
            lambda image: stretched_mismatches(image, expected, dw, dh, x, y), "sample")
        if OPTIONS.screenshot:
            os.makedirs(os.path.dirname(OPTIONS.screenshot), exist_ok=True)
            image.save(OPTIONS.screenshot, optimize=True)
        self.close_normally(viewer)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--viewer", required=True)
    parser.add_argument("--bmpgen")
    parser.add_argument("--screenshot", help="where to save the sample's screenshot")
    parser.add_argument("--work", help="folder for files and failure screenshots (kept)")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.viewer = os.path.abspath(OPTIONS.viewer)
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
