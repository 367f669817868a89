#!/usr/bin/env python3
"""End-to-end: the real kettlebrim binary in Xvfb, driven with xdotool, checked by screenshots.

Starts on the title screen, presses and holds the left button (the runtime reads held buttons,
as a person's click does), checks that the Ready caption appears and vegetables fall into the
pot, clicks on the pot, then closes the window the way a window manager's close box does and
expects exit code 0.
"""
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

import tools

WIDTH, HEIGHT = 640, 480


def free_display():
    for n in range(60, 200):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return f":{n}"
    raise RuntimeError("no free X display number")


def run(env, *args, timeout=20):
    return subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)


def screenshot(env, window):
    """The window's client area as rows of (r, g, b)."""
    out = subprocess.run(["import", "-window", window, "-depth", "8", "rgb:-"], env=env,
                         capture_output=True, timeout=20).stdout
    if len(out) < WIDTH * HEIGHT * 3:
        raise RuntimeError(f"screenshot too small: {len(out)} bytes")
    return out


def pixel(shot, x, y):
    i = (y * WIDTH + x) * 3
    return shot[i], shot[i + 1], shot[i + 2]


def region_difference(a, b, x0, y0, x1, y1):
    """Share of pixels in the rectangle that differ noticeably between two shots."""
    changed = total = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            pa, pb = pixel(a, x, y), pixel(b, x, y)
            total += 1
            if sum(abs(p - q) for p, q in zip(pa, pb)) > 30:
                changed += 1
    return changed / total


def close_window(display, window_id):
    """Sends WM_DELETE_WINDOW, as a window manager does when the close box is clicked."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                    ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                    ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                    ("pad", ctypes.c_long * 12)]

    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open the display to close the window")
    event = ClientMessage()
    event.type = 33  # ClientMessage
    event.window = window_id
    event.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.format = 32
    event.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    event.data[1] = 0  # CurrentTime
    x11.XSendEvent(dpy, window_id, 0, 0, ctypes.byref(event))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)


def main():
    tools.require("Xvfb", "xdotool", "import")
    program = os.path.abspath(sys.argv[1])
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ)
    env["DISPLAY"] = display
    env.pop("SDL_VIDEODRIVER", None)
    env["SDL_AUDIODRIVER"] = "dummy"
    shots = tempfile.mkdtemp(prefix="kettlebrim_e2e_")
    game = None
    try:
        for _ in range(100):
            if run(env, "xdotool", "getmouselocation").returncode == 0:
                break
            time.sleep(0.05)
        game = subprocess.Popen([program], env=env, cwd=os.path.dirname(program))
        found = run(env, "xdotool", "search", "--sync", "--onlyvisible", "--pid", str(game.pid),
                    timeout=30)
        window = found.stdout.split()[0] if found.returncode == 0 and found.stdout else None
        assert window, "the game's window did not appear"
        def lit(shot):
            return sum(1 for y in range(0, HEIGHT, 16) for x in range(0, WIDTH, 16)
                       if sum(pixel(shot, x, y)) > 60)

        def wait_for(check, reference, seconds):
            """Screenshots until check(reference, shot) holds or the time is up; the last shot.

            Waiting on what the screen shows rather than for fixed times keeps the test right
            on a loaded machine, where the game's frames come late."""
            deadline = time.monotonic() + seconds
            while True:
                shot = screenshot(env, window)
                if check(reference, shot) or time.monotonic() > deadline:
                    return shot
                time.sleep(0.1)

        title = wait_for(lambda _, shot: lit(shot) > 100, None, 10)
        assert lit(title) > 100, "the title screen is blank"

        def click(x, y, hold=0.15):
            run(env, "xdotool", "mousemove", "--window", window, str(x), str(y))
            time.sleep(0.05)
            run(env, "xdotool", "mousedown", "1")
            time.sleep(hold)
            run(env, "xdotool", "mouseup", "1")

        def left_title(a, b):
            return region_difference(a, b, 0, 0, WIDTH, HEIGHT) > 0.3

        # Outside the pot, so the starting press removes nothing; pressed again when a frame
        # as slow as the hold missed it.
        ready = title
        for _ in range(3):
            click(320, 60)
            ready = wait_for(left_title, title, 3)
            if left_title(title, ready):
                break
        assert left_title(title, ready), "the click did not leave the title screen"
        # The first grid falls into the pot: the pot's inside changes from frame to frame.
        falling = wait_for(lambda a, b: region_difference(a, b, 192, 100, 450, 382) > 0.02,
                           ready, 5)
        assert region_difference(ready, falling, 192, 100, 450, 382) > 0.02, \
            "nothing moves in the pot"
        # The Ready caption covers 200..440 x 200..280 for the first 99 frames, then Go.
        playing = wait_for(lambda a, b: region_difference(a, b, 200, 200, 440, 280) > 0.05,
                           falling, 10)
        assert region_difference(falling, playing, 200, 200, 440, 280) > 0.05, \
            "the caption did not change"

        for x, y in [(260, 340), (320, 350), (380, 340), (300, 320)]:
            click(x, y)
            time.sleep(0.3)
        after = screenshot(env, window)
        with open(os.path.join(shots, "after.rgb"), "wb") as f:
            f.write(after)

        close_window(display, int(window))
        code = game.wait(timeout=15)
        game = None
        assert code == 0, f"exit code {code}"
        print("e2e: 1 passed, 0 failed")
    finally:
        if game:
            game.kill()
            game.wait()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(shots, ignore_errors=True)


if __name__ == "__main__":
    main()
