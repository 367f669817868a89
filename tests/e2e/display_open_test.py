#!/usr/bin/env python3
"""End-to-end: opening the display named by DISPLAY.

A display that cannot be opened at all ends the program with a message that says which display
failed and SDL's reason. A display that comes up a moment after the program started (as an X
server that is starting or resetting refuses connections for a while) does not stop it: the
program waits for it and opens its window.
"""
import os
import subprocess
import sys
import time

import tools


def free_display():
    for n in range(200, 260):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return n
    raise RuntimeError("no free X display number")


def environment(display):
    env = dict(os.environ)
    env["DISPLAY"] = f":{display}"
    env.pop("SDL_VIDEODRIVER", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["SDL_AUDIODRIVER"] = "dummy"
    return env


def unreachable_display_is_reported(program):
    display = free_display()
    run = subprocess.run([program], env=environment(display), cwd=os.path.dirname(program),
                         capture_output=True, text=True, timeout=30)
    assert run.returncode == 1, f"exit code {run.returncode}"
    expected = f"the display :{display} named by DISPLAY could not be opened ("
    assert expected in run.stderr, run.stderr
    assert "x11" in run.stderr, run.stderr  # SDL's own account of the failure


def late_display_is_waited_for(program):
    display = free_display()
    env = environment(display)
    game = subprocess.Popen([program], env=env, cwd=os.path.dirname(program),
                            stderr=subprocess.PIPE, text=True)
    xvfb = None
    try:
        time.sleep(0.15)
        xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if subprocess.run(["xdotool", "getmouselocation"], env=env,
                              capture_output=True).returncode == 0:
                break
            time.sleep(0.02)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid",
                                str(game.pid)], env=env, capture_output=True, text=True,
                               timeout=30)
        assert game.poll() is None, f"the program ended: {game.stderr.read()}"
        assert found.returncode == 0 and found.stdout.strip(), "no window appeared"
    finally:
        game.kill()
        game.wait()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()


def main():
    tools.require("Xvfb", "xdotool")
    program = os.path.abspath(sys.argv[1])
    unreachable_display_is_reported(program)
    late_display_is_waited_for(program)
    print("display open: 2 passed, 0 failed")


if __name__ == "__main__":
    main()
