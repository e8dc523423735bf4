"""One run of the real viewer, driven from outside: what the X11 and the
Wayland end-to-end tests share.

A run starts the program, waits for its window, reads its caption, polls
screenshots of its client area until a check finds nothing wrong, resizes it
and closes it as a close box does; once it has ended, no process it started
may be left (it runs without a session bus, where a library that wanted one
would start a daemon of its own). How each of these reaches the window is
the display system's: a subclass says how to find the window, read its
caption and its client area's place, take a screenshot, ask for a size and
ask for the close. Every wait polls with a bounded timeout.
"""

import glob
import os
import secrets
import subprocess
import sys
import tempfile
import time

import xharness

START_TIMEOUT = 30
STEP_TIMEOUT = 15


def control_characters(title):
    return [byte for byte in title if byte < 0x20 or byte == 0x7F]


class ViewerRun:
    """The viewer started with arguments in an environment; failure
    screenshots go to the work folder, each under a prefix."""

    screenshot_prefix = ""

    def __init__(self, viewer, arguments, env, work):
        self.work = work
        # Every process the run starts inherits the mark, which tells them
        # from any other afterwards.
        self.mark = "RASTELLE_E2E_RUN=" + secrets.token_hex(8)
        env = dict(env, RASTELLE_E2E_RUN=self.mark.split("=")[1])
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        started = time.monotonic()
        self.errors = tempfile.TemporaryFile(dir=work)  # closed when collected
        self.process = xharness.start_process([viewer, *arguments], env=env, stderr=self.errors)
        try:
            xharness.wait_until(lambda: self.process.poll() is not None or self.window,
                                START_TIMEOUT, "the viewer window")
        except TimeoutError:
            self.kill()
            raise AssertionError("no window within %d s; standard error: %r"
                                 % (START_TIMEOUT, self.error_output()))
        if self.process.poll() is not None:
            raise AssertionError("the viewer exited with %d before showing a window: %r"
                                 % (self.process.returncode, self.error_output()))
        # For the record, not a check: how long a window took to appear here.
        print("window shown %.2f s after start" % (time.monotonic() - started), file=sys.stderr)

    # What a display system's run says.

    @property
    def window(self):
        """The viewer's window, looked up afresh, or None."""
        raise NotImplementedError

    def caption(self):
        """The caption as the desktop shows it, as bytes, or None."""
        raise NotImplementedError

    def client_rect(self):
        """(x, y, width, height) of the client area, or None while unknown."""
        raise NotImplementedError

    def client_size(self):
        """The client area's size in device pixels."""
        raise NotImplementedError

    def screenshot(self):
        """The client area as an RGB image in device pixels."""
        raise NotImplementedError

    def request_size(self, width, height):
        raise NotImplementedError

    def request_close(self):
        raise NotImplementedError

    def check_titles(self):
        """What else a caption must be, beyond what caption() reads."""

    # What every run does with that.

    def error_output(self):
        self.errors.seek(0)
        return self.errors.read().decode(errors="replace")

    def geometry(self):
        return xharness.wait_until(self.client_rect, STEP_TIMEOUT, "the window's geometry")

    def wait_caption(self, expected, timeout=STEP_TIMEOUT):
        try:
            xharness.wait_until(lambda: self.caption() == expected, timeout,
                                "the caption %r" % expected)
        except TimeoutError:
            raise AssertionError("caption is %r, expected %r" % (self.caption(), expected))
        if control_characters(self.caption()):
            raise AssertionError("the caption %r has control characters" % self.caption())
        self.check_titles()

    def wait_picture(self, check, name, timeout=STEP_TIMEOUT):
        """Polls screenshots until check(image) finds nothing wrong."""
        deadline = time.monotonic() + timeout
        while True:
            image = self.screenshot()
            found = check(image)
            if not found or time.monotonic() >= deadline:
                break
            time.sleep(0.05)
        if found:
            saved = os.path.join(self.work, self.screenshot_prefix + name + ".png")
            image.save(saved)
            raise AssertionError("%s (screenshot: %s):\n  %s" % (name, saved, "\n  ".join(found)))
        return image

    def resize(self, width, height):
        self.request_size(width, height)
        xharness.wait_until(lambda: self.geometry()[2:] == (width, height), STEP_TIMEOUT,
                            "the window to become %dx%d" % (width, height))

    def close(self, timeout=STEP_TIMEOUT):
        """Closes the window as its close box would; returns the exit code.
        Whatever the run started must have ended with it."""
        self.request_close()
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("the viewer did not end within %d s of closing" % timeout)
        try:
            xharness.wait_until(lambda: not self.left_behind(), 2, "the run's processes to end")
        except TimeoutError:
            left = self.left_behind()
            self.kill()
            raise AssertionError("left behind by the viewer: %s" % left)
        return code

    def left_behind(self):
        """The processes other than the viewer that carry the run's mark:
        (pid, command) pairs."""
        found = []
        for environ in glob.glob("/proc/[0-9]*/environ"):
            pid = int(environ.split("/")[2])
            if pid == self.process.pid:
                continue
            try:
                with open(environ, "rb") as variables:
                    if self.mark.encode() not in variables.read().split(b"\0"):
                        continue
                with open("/proc/%d/cmdline" % pid, "rb") as command:
                    found.append((pid, command.read().replace(b"\0", b" ").decode(errors="replace")))
            except OSError:  # gone meanwhile, or another user's
                continue
        return found

    def kill(self):
        xharness.stop_process(self.process)
        for pid, _ in self.left_behind():
            try:
                os.kill(pid, 9)
            except OSError:
                pass
