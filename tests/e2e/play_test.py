#!/usr/bin/env python3
"""End-to-end on a real display: the kettlebrim binary in Xvfb opens its window, shows the title
and quits on Escape with exit code 0. The game itself is played by scripted replays headless
(tests/game); this test only holds what needs a display.
"""
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
        with open(os.path.join(shots, "title.rgb"), "wb") as f:
            f.write(title)

        # Escape on the first title quits; held a moment, as the game reads held keys.
        run(env, "xdotool", "keydown", "--window", window, "Escape")
        time.sleep(0.2)
        run(env, "xdotool", "keyup", "--window", window, "Escape")
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
