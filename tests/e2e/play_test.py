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
    shots = tempfile.mkdtemp(prefix="kettlebrim_e2e_")
    try:
        with tools.game_on_xvfb(program) as game:
            check_title_and_quit(game, shots)
    finally:
        shutil.rmtree(shots, ignore_errors=True)


def check_title_and_quit(game, shots):
    env, window = game.env, game.window
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
    tools.run(env, "xdotool", "keydown", "--window", window, "Escape")
    time.sleep(0.2)
    tools.run(env, "xdotool", "keyup", "--window", window, "Escape")
    code = game.process.wait(timeout=15)
    game.process = None
    assert code == 0, f"exit code {code}"
    print("e2e: 1 passed, 0 failed")


if __name__ == "__main__":
    main()
