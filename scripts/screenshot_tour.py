"""Opens each window of the running tunquil through the accessibility bus and saves a picture
of it (the window alone, by its caption) into OUT.
   screenshot_tour.py TUNQUIL HOME OUT FIRST_START
FIRST_START holds home/ and config/ (with a browser's registry.ini) for a first start."""
import hashlib
import os
import subprocess
import sys
import time

import pyatspi

from editing import cell, titles
from screenshot_tour_export import choose, export_windows
from main_window import (application, click, dialog, enabled, find, find_all, menu_path, named, press,
                         role, run_tunquil, wait)

OUT = sys.argv[3]


def window_id(caption):
    """The shown X window with this caption (Qt keeps hidden helper windows of the same name)."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                          check=True).stdout
    for line in tree.splitlines():
        line = line.strip()
        if f'"{caption}"' in line:
            wid = line.split()[0]
            info = subprocess.run(["xwininfo", "-id", wid], capture_output=True,
                                  text=True).stdout
            if "IsViewable" in info:
                return wid
    return None


def picture(caption):
    wid = wait(f"the X window {caption!r} on screen", lambda: window_id(caption))
    return subprocess.run(["xwd", "-silent", "-id", wid], stdout=subprocess.PIPE,
                          check=True).stdout


def shoot(caption, name):
    """Waits for the window to be painted and to stop changing, then saves it as NAME.png."""
    previous, same = None, 0
    for _ in range(150):
        time.sleep(0.2)
        xwd = picture(caption)
        now = hashlib.md5(xwd).digest()
        # A window not painted yet is one colour all over (black in the X server).
        painted = len(set(xwd[-4096:])) > 2
        same = same + 1 if now == previous and painted else 0
        previous = now
        if same >= 3:
            break
    pnm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
    png = subprocess.run(["pnmtopng"], input=pnm, capture_output=True, check=True).stdout
    with open(f"{OUT}/{name}.png", "wb") as f:
        f.write(png)
    print(f"saved {OUT}/{name}.png")


def window(app, caption):
    return wait(f"the window {caption!r}", lambda: find(
        app, lambda n: role(n) in ("dialog", "frame", "window") and n.name == caption))


def tour():
    app = wait("the tunquil application on the accessibility bus", application)
    frame = window(app, "Tunquil")
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    play_all = menu_path(menubar, ["Categories", "Play", "All categories"])
    wait("start-up to end", lambda: play_all.getState().contains(pyatspi.STATE_ENABLED))
    shoot("Tunquil", "main-window")

    # The editing dialogs: the rename dialog of "Create new", and the title information of
    # the title clicked, with F2.
    choose(["Categories", "Create new"])
    window(app, "Enter new category name")
    shoot("Enter new category name", "rename-dialog")
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
    wait("the rename dialog to close", lambda: window_id("Enter new category name") is None)
    grid = next(t for t in find_all(frame, lambda n: role(n) == "table")
                if t.queryTable().nRows > 3)
    caption = " MIDI Selection Information"

    def title_information():
        # The click gives the grid the keyboard; on a busy machine it may come late.
        click(grid.queryTable().getAccessibleAt(2, 2))
        time.sleep(0.5)
        pyatspi.Registry.generateKeyboardEvent(68, None, pyatspi.KEY_PRESSRELEASE)  # F2
        time.sleep(1)
        return window_id(caption)

    wait("the title information", title_information)
    shoot(caption, "title-information")
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
    wait("the title information to close", lambda: window_id(caption) is None)

    # The import windows, from their toolbar buttons, each closed with Escape.
    for button, caption, name in (("Load", "Select MIDI files to add", "add-local-files"),
                                  ("Scan drive", "Scan a drive for MIDI files", "drive-scan"),
                                  ("Scan system", "Scan system for MIDI files", "system-scan")):
        click(named(frame, "push button", button))
        wait(f"the window {caption!r}", lambda: dialog(app, caption))
        shoot(" " + caption if window_id(" " + caption) else caption, name)
        pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
        wait(f"{caption!r} to close", lambda: window_id(caption) is None and
             window_id(" " + caption) is None)

    # The sound windows, with a program playing.
    press(play_all)
    wait("a title to play", lambda: find(frame, lambda n: role(n) == "label" and
                                         n.name == "Playing"))
    press(menu_path(menubar, ["Program", "View titles"]))
    program = window(app, "Music program titles")
    shoot("Music program titles", "program-window")
    press(find(frame, lambda n: role(n) == "push button" and n.name == "Volume + Balance"))
    window(app, "Tunquil sound control")
    shoot("Tunquil sound control", "mixer-window")
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
    press(find(program, lambda n: role(n) == "push button" and n.name == "Close"))
    wait("the sound windows to close", lambda: window_id("Tunquil sound control") is None and
         window_id("Music program titles") is None)

    # The lyrics window, while the karaoke title plays (a double-click plays it at once).
    all_titles = find(frame, lambda n: role(n) == "table" and n.name == "All titles")
    click(cell(all_titles, titles(all_titles).index("Real Tune")), pyatspi.MOUSE_B1D)
    wait("the karaoke title to play", lambda: find(frame, lambda n: role(n) == "label" and
                                                   n.name == "Real Tune"))
    press(menu_path(menubar, ["View", "Lyrics"]))
    lyrics = window(app, "Lyrics")
    wait("a sung line", lambda: find(lyrics, lambda n: role(n) == "label" and
                                     (n.name or "").startswith("la la")), timeout=30)
    shoot("Lyrics", "lyrics-window")
    pyatspi.Registry.generateKeyboardEvent(9, None, pyatspi.KEY_PRESSRELEASE)  # Escape
    wait("the lyrics window to close", lambda: window_id("Lyrics") is None)

    # Last, as it ends the program: the windows that take titles out.
    export_windows(app, menubar, shoot, window)


def first_start():
    """A first start on a desktop whose browser has a plug-in folder: the scan question is
    declined, then the plug-in dialog shows by itself."""
    program, first = sys.argv[1], sys.argv[4]
    env = dict(os.environ, XDG_CONFIG_HOME=f"{first}/config", XDG_DATA_HOME=f"{first}/data",
               TUNQUIL_RUNTIME_DIR=f"{first}/bus")
    process = subprocess.Popen([program, "--home", f"{first}/home"], env=env)
    try:
        app = wait("the first start on the accessibility bus", application)
        question = wait("the scan question", lambda: find(
            app, lambda n: role(n) in ("dialog", "alert") and
            find(n, lambda m: "Scan your system" in (m.name or ""))))
        no = find(question, lambda n: role(n) == "push button" and n.name.replace("&", "") == "No")
        try:
            press(no)
        except Exception:  # the reply of a press that ends a modal loop may time out
            pass
        window(app, " Manage Navigator plugin")
        shoot(" Manage Navigator plugin", "manage-plugin")
    finally:
        process.terminate()
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()


if __name__ == "__main__":
    run_tunquil(tour, "screenshot tour")
    first_start()
