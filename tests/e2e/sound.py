"""The sound windows of the real tunquil, driven through the accessibility bus: the program
window opened from the menu plays its second entry and removes another; the Volume button
opens the mixer, whose master bar moves the sound server's volume.
   sound.py TUNQUIL HOME"""
import re
import subprocess

import pyatspi

from main_window import (click, find, find_all, menu_path, play_all_categories, press, role,
                         run_tunquil, wait)


def sink_volume():
    out = subprocess.run(["pactl", "get-sink-volume", "@DEFAULT_SINK@"], capture_output=True,
                         text=True, check=True).stdout
    return int(re.search(r"(\d+)%", out).group(1))


def run():
    app, frame, menubar = play_all_categories(titles=4)

    press(menu_path(menubar, ["Program", "View titles"]))
    window = wait("the program window", lambda: find(
        app, lambda n: role(n) == "dialog" and n.name == "Music program titles"))
    table = wait("the program's four entries", lambda: next(
        (t.queryTable() for t in find_all(window, lambda n: role(n) == "table")
         if t.queryTable().nRows == 4), None))
    second = table.getAccessibleAt(1, 0).name
    click(table.getAccessibleAt(1, 0), pyatspi.MOUSE_B1D)
    wait(f"the second entry {second!r} to play",
         lambda: find(frame, lambda n: role(n) == "label" and n.name == second))

    click(table.getAccessibleAt(3, 0))
    pyatspi.Registry.generateKeyboardEvent(119, None, pyatspi.KEY_PRESSRELEASE)  # Delete
    wait("one entry removed", lambda: table.nRows == 3)

    volume = wait("the Volume button", lambda: find(
        frame, lambda n: role(n) == "push button" and n.name == "Volume + Balance"))
    press(volume)
    mixer = wait("the mixer window", lambda: find(
        app, lambda n: role(n) in ("dialog", "frame", "window") and
        n.name == "Tunquil sound control"))
    bar = wait("the master volume bar", lambda: find(
        mixer, lambda n: role(n) == "slider" and n.name == "Master volume Vol")).queryValue()
    before = sink_volume()
    # The bar's top is the loudest: a value a third of the way down is a quieter sink.
    bar.currentValue = bar.minimumValue + (bar.maximumValue - bar.minimumValue) / 3
    wait("the sound server's volume to follow the bar", lambda: sink_volume() < before)


if __name__ == "__main__":
    run_tunquil(run, "sound windows")
