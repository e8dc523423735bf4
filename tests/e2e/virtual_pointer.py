"""A pointer for a compositor without input devices (wlroots' virtual pointer).

Usage: virtual_pointer.py
Connects to the compositor named by WAYLAND_DISPLAY, makes a virtual pointer
on its default seat (zwlr_virtual_pointer_manager_v1), so that the seat offers
a pointer to its clients, and prints "ready". Then it reads commands, one a
line, and answers each with "ok" once the compositor has handled it:
  move X Y WIDTH HEIGHT   the pointer to (X, Y) of a layout WIDTH x HEIGHT
  press | release         the left button
It ends when its standard input closes.

Plain libwayland-client through ctypes: the two interfaces are declared here,
as a protocol scanner would write them.
"""

import ctypes
import ctypes.util
import sys


class _Message(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("signature", ctypes.c_char_p),
                ("types", ctypes.POINTER(ctypes.c_void_p))]


class _Interface(ctypes.Structure):
    pass


_Interface._fields_ = [("name", ctypes.c_char_p), ("version", ctypes.c_int),
                       ("method_count", ctypes.c_int), ("methods", ctypes.POINTER(_Message)),
                       ("event_count", ctypes.c_int), ("events", ctypes.POINTER(_Message))]

_GLOBAL = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32,
                           ctypes.c_char_p, ctypes.c_uint32)
_GLOBAL_REMOVE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32)


class _RegistryListener(ctypes.Structure):
    _fields_ = [("global_", _GLOBAL), ("global_remove", _GLOBAL_REMOVE)]


MANAGER = b"zwlr_virtual_pointer_manager_v1"
WL_DISPLAY_GET_REGISTRY = 1
WL_REGISTRY_BIND = 0
MANAGER_CREATE_VIRTUAL_POINTER = 0
POINTER_MOTION_ABSOLUTE, POINTER_BUTTON, POINTER_FRAME = 1, 2, 4
BTN_LEFT = 0x110


def _messages(*entries):
    array = (_Message * len(entries))()
    keep = []
    for i, (name, signature, types) in enumerate(entries):
        type_array = (ctypes.c_void_p * max(1, len(types)))(*types)
        keep.append(type_array)
        array[i] = _Message(name, signature, type_array)
    return array, keep


def main():
    client = ctypes.CDLL(ctypes.util.find_library("wayland-client"))
    client.wl_display_connect.restype = ctypes.c_void_p
    client.wl_display_connect.argtypes = [ctypes.c_char_p]
    client.wl_display_roundtrip.argtypes = [ctypes.c_void_p]
    client.wl_display_dispatch.argtypes = [ctypes.c_void_p]
    client.wl_display_flush.argtypes = [ctypes.c_void_p]
    client.wl_proxy_add_listener.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
    client.wl_proxy_marshal_flags.restype = ctypes.c_void_p
    seat_interface = ctypes.addressof(_Interface.in_dll(client, "wl_seat_interface"))
    registry_interface = ctypes.addressof(_Interface.in_dll(client, "wl_registry_interface"))

    pointer = _Interface()
    pointer_methods, keep_pointer = _messages(
        (b"motion", b"uff", [None] * 3), (b"motion_absolute", b"uuuuu", [None] * 5),
        (b"button", b"uuu", [None] * 3), (b"axis", b"uuf", [None] * 3), (b"frame", b"", []),
        (b"axis_source", b"u", [None]), (b"axis_stop", b"uu", [None] * 2),
        (b"axis_discrete", b"uufi", [None] * 4), (b"destroy", b"", []))
    pointer.name, pointer.version = b"zwlr_virtual_pointer_v1", 1
    pointer.method_count, pointer.methods = len(pointer_methods), pointer_methods
    manager = _Interface()
    manager_methods, keep_manager = _messages(
        (b"create_virtual_pointer", b"?on", [seat_interface, ctypes.addressof(pointer)]),
        (b"destroy", b"", []))
    manager.name, manager.version = MANAGER, 1
    manager.method_count, manager.methods = len(manager_methods), manager_methods

    display = client.wl_display_connect(None)
    if not display:
        print("cannot connect to the compositor", file=sys.stderr)
        return 1
    registry = client.wl_proxy_marshal_flags(
        ctypes.c_void_p(display), ctypes.c_uint32(WL_DISPLAY_GET_REGISTRY),
        ctypes.c_void_p(registry_interface), ctypes.c_uint32(1), ctypes.c_uint32(0),
        ctypes.c_void_p(None))
    found = {}

    def on_global(data, proxy, name, interface, version):
        if interface == MANAGER:
            found["name"] = name

    listener = _RegistryListener(_GLOBAL(on_global), _GLOBAL_REMOVE(lambda *_: None))
    client.wl_proxy_add_listener(ctypes.c_void_p(registry), ctypes.byref(listener), None)
    client.wl_display_roundtrip(ctypes.c_void_p(display))
    if "name" not in found:
        print("the compositor offers no virtual pointers", file=sys.stderr)
        return 1
    # wl_registry.bind with a new id of an interface the registry does not
    # know: name, interface name, version, then the new object.
    bound = client.wl_proxy_marshal_flags(
        ctypes.c_void_p(registry), ctypes.c_uint32(WL_REGISTRY_BIND),
        ctypes.c_void_p(ctypes.addressof(manager)), ctypes.c_uint32(1), ctypes.c_uint32(0),
        ctypes.c_uint32(found["name"]), ctypes.c_char_p(MANAGER), ctypes.c_uint32(1),
        ctypes.c_void_p(None))
    device = client.wl_proxy_marshal_flags(
        ctypes.c_void_p(bound), ctypes.c_uint32(MANAGER_CREATE_VIRTUAL_POINTER),
        ctypes.c_void_p(ctypes.addressof(pointer)), ctypes.c_uint32(1), ctypes.c_uint32(0),
        ctypes.c_void_p(None), ctypes.c_void_p(None))
    client.wl_display_roundtrip(ctypes.c_void_p(display))
    print("ready", flush=True)

    def request(opcode, *values):
        client.wl_proxy_marshal_flags(
            ctypes.c_void_p(device), ctypes.c_uint32(opcode), ctypes.c_void_p(None),
            ctypes.c_uint32(1), ctypes.c_uint32(0), *(ctypes.c_uint32(v) for v in values))

    time = 0
    for line in sys.stdin:
        words = line.split()
        time += 10
        if words[:1] == ["move"] and len(words) == 5:
            request(POINTER_MOTION_ABSOLUTE, time, *(int(w) for w in words[1:]))
        elif words in (["press"], ["release"]):
            request(POINTER_BUTTON, time, BTN_LEFT, 1 if words[0] == "press" else 0)
        else:
            print("unknown command: " + line.strip(), flush=True)
            continue
        request(POINTER_FRAME)
        client.wl_display_roundtrip(ctypes.c_void_p(display))
        print("ok", flush=True)
    del keep_pointer, keep_manager
    return 0


if __name__ == "__main__":
    sys.exit(main())
