"""A GTK 3 window that offers files as text/uri-list when dragged from.

Usage: drag_source.py X Y WIDTH HEIGHT FILE-OR-URI...
It opens an undecorated window at (X, Y) (on Wayland, where clients do not
place their windows, wherever the compositor puts it) and prints, one a line:
"ready" once
the window is on screen, "accepted" when the window under a drag accepts it,
"failed" when a drag ends without a drop, "done" when a drag has ended (and
then quits).
"""

import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import GLib, Gdk, Gtk  # noqa: E402


def main():
    x, y, width, height = (int(value) for value in sys.argv[1:5])
    # A path becomes the file URI GLib writes for it; a URI (anything with a
    # scheme, "file://localhost/..." or "http://...") is offered as it is.
    uris = [item if "://" in item else GLib.filename_to_uri(item, None) for item in sys.argv[5:]]

    if os.environ.get("GDK_BACKEND") == "wayland":
        window = Gtk.Window(type=Gtk.WindowType.TOPLEVEL)
        window.set_decorated(False)
    else:
        window = Gtk.Window(type=Gtk.WindowType.POPUP)
        window.move(x, y)
    window.set_default_size(width, height)
    area = Gtk.EventBox()
    area.add(Gtk.Label(label="drag me"))
    window.add(area)

    area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    area.drag_source_add_uri_targets()

    def on_drag_data_get(widget, context, selection, info, time):
        selection.set_uris(uris)

    def on_action_changed(context, action):
        if action:
            print("accepted", flush=True)

    def on_drag_begin(widget, context):
        context.connect("action-changed", on_action_changed)

    def on_drag_failed(widget, context, result):
        print("failed", flush=True)
        return False

    def on_drag_end(widget, context):
        print("done", flush=True)
        # Leave time for the target to fetch the data and answer before quitting.
        GLib.timeout_add(500, Gtk.main_quit)

    def on_mapped(widget, event):
        print("ready", flush=True)
        return False

    area.connect("drag-data-get", on_drag_data_get)
    area.connect("drag-begin", on_drag_begin)
    area.connect("drag-failed", on_drag_failed)
    area.connect("drag-end", on_drag_end)
    window.connect("map-event", on_mapped)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
