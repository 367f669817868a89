"""What the end-to-end tests share: skipping when a program they drive is missing, and the real
game started on its own Xvfb display."""
import contextlib
import os
import shutil
import subprocess
import sys
import time

# CTest counts a test that ends with this code as skipped (SKIP_RETURN_CODE in CMakeLists.txt).
SKIP = 77


def require(*programs):
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        print(f"skipped: {', '.join(missing)} not installed")
        sys.exit(SKIP)


def free_display():
    for n in range(60, 200):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return f":{n}"
    raise RuntimeError("no free X display number")


def run(env, *args, timeout=20):
    return subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)


class Game:
    """The game's process, the environment that reaches its display, and its window's id."""

    def __init__(self, process, env, window):
        self.process, self.env, self.window = process, env, window


@contextlib.contextmanager
def game_on_xvfb(program):
    """Starts Xvfb, then the game on it, and waits for its window; on leaving, kills whatever is
    still running. A test that ends the game itself sets game.process to None."""
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env = dict(os.environ)
    env["DISPLAY"] = display
    env.pop("SDL_VIDEODRIVER", None)
    env["SDL_AUDIODRIVER"] = "dummy"
    game = Game(None, env, None)
    try:
        for _ in range(100):
            if run(env, "xdotool", "getmouselocation").returncode == 0:
                break
            time.sleep(0.05)
        game.process = subprocess.Popen([program], env=env, cwd=os.path.dirname(program))
        found = run(env, "xdotool", "search", "--sync", "--onlyvisible", "--pid",
                    str(game.process.pid), timeout=30)
        game.window = found.stdout.split()[0] if found.returncode == 0 and found.stdout else None
        assert game.window, "the game's window did not appear"
        yield game
    finally:
        if game.process:
            game.process.kill()
            game.process.wait()
        xvfb.terminate()
        xvfb.wait()
