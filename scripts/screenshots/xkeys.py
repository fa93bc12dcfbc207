#!/usr/bin/env python3
"""Sends key presses to the X display in $DISPLAY through the XTEST
extension, for scripts/screenshots/orvshell-screenshots.sh (no xdotool needed).

    xkeys.py wait              until the display answers (10 s at most)
    xkeys.py key ctrl+o        one key, with modifiers (ctrl, shift, alt)
    xkeys.py type TEXT         the text, character by character
    xkeys.py pointer X Y       moves the pointer
    xkeys.py focus TITLE       gives the keyboard to the top-level window of
                               that title (there is no window manager to do it)
"""
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XKeycodeToKeysym.restype = ctypes.c_ulong
x11.XKeycodeToKeysym.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]

x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]



class WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


IS_VIEWABLE = 2
x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(WindowAttributes)]

MODIFIERS = {"ctrl": "Control_L", "shift": "Shift_L", "alt": "Alt_L"}


def open_display(wait=0.0):
    end = time.time() + wait
    while True:
        d = x11.XOpenDisplay(None)
        if d or time.time() >= end:
            return d
        time.sleep(0.2)


def keycode(d, name):
    ks = x11.XStringToKeysym(name.encode())
    if not ks:
        sys.exit("unknown key: " + name)
    return x11.XKeysymToKeycode(d, ks)


def press(d, codes):
    for c in codes:
        xtst.XTestFakeKeyEvent(d, c, 1, 0)
    for c in reversed(codes):
        xtst.XTestFakeKeyEvent(d, c, 0, 0)
    x11.XFlush(d)
    time.sleep(0.03)


def type_text(d, text):
    shift = keycode(d, "Shift_L")
    for ch in text:
        ks = ord(ch)  # Latin-1 keysyms are the characters' codes
        code = x11.XKeysymToKeycode(d, ks)
        if not code:
            sys.exit("cannot type: " + repr(ch))
        shifted = x11.XKeycodeToKeysym(d, code, 0) != ks
        press(d, [shift, code] if shifted else [code])


def focus(d, title):
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    x11.XQueryTree(d, x11.XDefaultRootWindow(d), ctypes.byref(root), ctypes.byref(parent),
                   ctypes.byref(children), ctypes.byref(count))
    # The last shown match is the top of the stacking order.
    found = None
    for i in range(count.value):
        name, attributes = ctypes.c_char_p(), WindowAttributes()
        if (x11.XFetchName(d, children[i], ctypes.byref(name)) and name.value == title.encode()
                and x11.XGetWindowAttributes(d, children[i], ctypes.byref(attributes))
                and attributes.map_state == IS_VIEWABLE):
            found = children[i]
    if found is None:
        sys.exit("no window titled " + title)
    x11.XRaiseWindow(d, found)
    x11.XSetInputFocus(d, found, 1, 0)  # RevertToPointerRoot, CurrentTime
    x11.XSync(d, 0)
    time.sleep(0.3)


def main():
    command = sys.argv[1]
    d = open_display(10.0 if command == "wait" else 0.0)
    if not d:
        sys.exit("no X display")
    if command == "key":
        parts = sys.argv[2].split("+")
        press(d, [keycode(d, MODIFIERS.get(p, p)) for p in parts])
    elif command == "type":
        type_text(d, sys.argv[2])
    elif command == "focus":
        focus(d, sys.argv[2])
    elif command == "pointer":
        xtst.XTestFakeMotionEvent(d, -1, int(sys.argv[2]), int(sys.argv[3]), 0)
        x11.XFlush(d)
    x11.XCloseDisplay(d)


if __name__ == "__main__":
    main()
