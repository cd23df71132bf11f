"""The lyrics window of the real tunquil while a karaoke title plays: View > Lyrics opened with
the X server's mouse, the words read through the accessibility bus. The current line is one of
the title's lines and moves on as the tune plays, stays while paused, and after a stop the
window says nothing plays.
   lyrics.py TUNQUIL HOME BUILD LRC"""
import re
import subprocess
import sys

import pyatspi

from main_window import (children, find, find_all, menu_path, play_all_categories, press,
                         role, run_tunquil, wait)


def xclick(node):
    x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2)], check=True)
    subprocess.run(["xdotool", "click", "1"], check=True)


def labels(window):
    return [n.name for n in find_all(window, lambda n: role(n) == "label" and
                                     n.getState().contains(pyatspi.STATE_SHOWING))]


def run():
    lines = {re.sub(r"^\[[0-9:.]+\]", "", line) for line in open(sys.argv[4]).read().splitlines()
             if re.match(r"^\[[0-9]", line)}
    app, frame, menubar = play_all_categories()

    view = wait("the View menu", lambda: find(menubar, lambda n: n.name == "View"))
    xclick(view)
    item = wait("View > Lyrics shown", lambda: find(
        view, lambda n: n.name == "Lyrics" and n.getState().contains(pyatspi.STATE_SHOWING)))
    xclick(item)
    window = wait("the lyrics window", lambda: next(
        (w for w in children(app) if role(w) == "dialog" and w.name == "Lyrics"), None))

    # The current line, then the next: the first words come in the second bar, and every line
    # lasts a bar of two seconds.
    first = wait("a line of the title's words as the current line",
                 lambda: labels(window)[0] in lines and labels(window)[0])
    assert labels(window)[1] in lines, f"no next line below: {labels(window)}"
    wait("the singing to move on to the next line",
         lambda: labels(window)[0] in lines and labels(window)[0] != first, timeout=30)

    def button(name):
        return find(frame, lambda n: role(n) == "push button" and n.name == name)

    # Paused, the words stay where the singing stopped; stopped, there is nothing to sing.
    press(wait("the Pause button", lambda: button("Pause")))
    wait("the panel to show Paused", lambda: button("Resume"))
    assert labels(window)[0] in lines, f"no words shown while paused: {labels(window)}"
    press(wait("the Stop button", lambda: button("Stop")))
    wait("the note that nothing plays", lambda: "No title is playing." in labels(window))


if __name__ == "__main__":
    run_tunquil(run, "lyrics window")
