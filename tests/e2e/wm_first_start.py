"""A new user's first start of the real tunquil under a window manager (openbox, 1600 by 1000):
with no Tunquil.ini the window is sized for the screen, the question to scan opens on top of the
program's windows (the splash, which stays on top, never covers it) and a real click on its
button reaches it. At the next start the size kept is used, and the splash names the program's
version.
   wm_first_start.py TUNQUIL HOME BUILD"""
import os
import subprocess
import sys

import pyatspi

from editing import button_in, click, showing
from main_window import application, find, role, wait

SCREEN = (1600, 1000)


def xprop(*args):
    return subprocess.run(["xprop", *args], check=True, capture_output=True, text=True).stdout


def stacking():
    """The managed windows from bottom to top."""
    out = xprop("-root", "_NET_CLIENT_LIST_STACKING")
    return [int(w, 16) for w in out.split("#", 1)[1].replace(",", " ").split()] if "#" in out else []


def window_type(window):
    return xprop("-id", str(window), "_NET_WM_WINDOW_TYPE")


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def start(program, home):
    process = subprocess.Popen([program, "--home", home])
    app = wait("the tunquil application on the accessibility bus", application)
    return process, app


def end(process):
    # Ends through the whole shut-down, which keeps the settings.
    process.terminate()
    try:
        process.wait(30)
    except subprocess.TimeoutExpired:
        process.kill()
        raise SystemExit("the program did not end")


def first_start(program, home):
    process, app = start(program, home)
    try:
        text = "Scan your system to find all MIDI files (recommended)?"

        def question():
            return find(app, lambda n: role(n) == "dialog" and showing(n) and
                        find(n, lambda m: role(m) == "label" and m.name.startswith(text)))
        box = wait("the first-start question", question)
        frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
        _, _, width, height = extents(frame)
        assert width >= SCREEN[0] * 3 // 4 and height >= SCREEN[1] * 3 // 4, (width, height)
        assert width <= SCREEN[0] and height <= SCREEN[1], (width, height)

        # The question is the topmost of the program's windows; a splash still up is below it.
        ours = set()
        for line in subprocess.run(["xdotool", "search", "--pid", str(process.pid)],
                                   capture_output=True, text=True).stdout.split():
            ours.add(int(line))
        order = wait("the program's windows stacked",
                     lambda: [w for w in stacking() if w in ours] or None)
        assert "_NET_WM_WINDOW_TYPE_DIALOG" in window_type(order[-1]), \
            [window_type(w) for w in order]

        # A real click on its button reaches the question, and closes it.
        click(button_in(box, "No"))
        wait("the question to close", lambda: not question())
    finally:
        end(process)


def next_start(program, home, build):
    version = subprocess.run([os.path.join(build, "tunquilctl"), "version"], check=True,
                             capture_output=True, text=True).stdout.split()[-1]
    ini = os.path.join(home, "Tunquil.ini")
    with open(ini) as f:
        kept = f.read()
    assert "Width=" in kept and "Height=" in kept, kept
    # The user's own size, and no question this time: the splash stays its four seconds.
    lines = [line for line in kept.splitlines()
             if not line.startswith(("Width=", "Height=", "RemindToScan="))]
    at = lines.index("[Format]")
    lines[at + 1:at + 1] = ["Width=1000", "Height=700"]
    at = lines.index("[Setup]")
    lines[at + 1:at + 1] = ["RemindToScan=0"]
    with open(ini, "w") as f:
        f.write("\n".join(lines) + "\n")

    process, app = start(program, home)
    try:
        label = wait("the splash's line", lambda: find(
            app, lambda n: role(n) == "label" and "MIDI music manager" in n.name))
        assert label.name.startswith(f"Tunquil {version} "), (label.name, version)
        frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
        wait("the size kept", lambda: tuple(extents(frame)[2:]) == (1000, 700))
    finally:
        end(process)


def main():
    program, home, build = sys.argv[1], sys.argv[2], sys.argv[3]
    # A first start: no settings file at all.
    os.remove(os.path.join(home, "Tunquil.ini"))
    first_start(program, home)
    next_start(program, home, build)
    print("first start end-to-end: all checks passed")


if __name__ == "__main__":
    main()
