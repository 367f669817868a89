#!/usr/bin/env python3
"""End-to-end: the desktop can match the game's window to its desktop entry and show its icon.

Starts the real kettlebrim binary in Xvfb and reads its window's properties with xprop: the class
in WM_CLASS must be the desktop entry's StartupWMClass (a desktop groups the window under the
entry and its icon by that), and the window must carry an icon of its own (_NET_WM_ICON, taken
from icon.png beside Data), a square of 16 to 256 pixels.
"""
import os
import re
import sys

import tools


def desktop_value(path, key):
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith(key + "="):
                return line.strip().split("=", 1)[1]
    return None


def main():
    tools.require("Xvfb", "xdotool", "xprop")
    program = os.path.abspath(sys.argv[1])
    entry = sys.argv[2]
    with tools.game_on_xvfb(program) as game:
        check_identity(game.env, game.window, entry)
    print("e2e window identity: 1 passed, 0 failed")


def check_identity(env, window, entry):
    wm_class = tools.run(env, "xprop", "-id", window, "WM_CLASS").stdout
    names = re.findall(r'"([^"]*)"', wm_class)
    assert len(names) == 2, f"no WM_CLASS on the window: {wm_class!r}"
    wanted = desktop_value(entry, "StartupWMClass")
    assert wanted, f"{entry} names no StartupWMClass"
    assert names[1] == wanted, f"window class {names[1]!r}, desktop entry {wanted!r}"

    # The property's first two numbers are the first picture's width and height.
    icon = tools.run(env, "xprop", "-id", window, "-len", "8", "_NET_WM_ICON").stdout
    sizes = [int(n) for n in re.findall(r"\d+", icon.split("=", 1)[-1])][:2]
    assert "=" in icon and len(sizes) == 2, f"the window carries no icon: {icon.strip()!r}"
    assert sizes[0] == sizes[1] and 16 <= sizes[0] <= 256, f"icon of {sizes}"


if __name__ == "__main__":
    main()
