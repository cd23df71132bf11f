"""The real tunquil as one running copy, driven through the accessibility bus: a second start
with a relative file name hands it over and ends, and the running copy adds and plays it; File >
Exit asks its question and closes on Yes; SIGTERM closes through the same shut-down, so a
setting changed from the menu is in Tunquil.ini afterwards. Every wait is on a condition.
   startup.py TUNQUIL HOME TUNES"""
import os
import signal
import subprocess
import sys

import pyatspi

from main_window import application, find, menu_path, press, role, wait


def ini_value(home, key):
    with open(os.path.join(home, "Tunquil.ini"), encoding="utf-8") as f:
        for line in f:
            if line.strip().startswith(key + "="):
                return line.strip().split("=", 1)[1]
    return None


def window():
    app = wait("the tunquil application on the accessibility bus", application)
    frame = wait("the main window",
                 lambda: find(app, lambda n: role(n) == "frame" and n.name == "Tunquil"))
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    return app, frame, menubar


def label(frame, text):
    return find(frame, lambda n: role(n) == "label" and n.name == text)


def main():
    program, home, tunes = sys.argv[1], sys.argv[2], sys.argv[3]

    # First run: the exit question is on (the default).
    first = subprocess.Popen([program, "--home", home])
    try:
        app, frame, menubar = window()
        exit_item = menu_path(menubar, ["File", "Exit"])
        wait("start-up to end", lambda: exit_item.getState().contains(pyatspi.STATE_ENABLED))
        name = sorted(n for n in os.listdir(tunes) if n.endswith(".mid"))[0]
        second = subprocess.run([program, name], cwd=tunes, timeout=30)
        assert second.returncode == 0, second.returncode
        title = name[:-4]
        wait(f"the handed-over {title!r} to play", lambda: label(frame, title) and
             label(frame, "Playing"))

        # The question is modal: the press returns only when it is answered, so it is not
        # waited for here.
        try:
            press(exit_item)
        except Exception:  # the accessibility call's reply times out while the question shows
            pass
        dialog = wait("the exit question", lambda: find(
            app, lambda n: role(n) in ("dialog", "alert") and
            find(n, lambda m: "Are you sure you want to exit Tunquil?" in (m.name or ""))))
        yes = find(dialog, lambda n: role(n) == "push button" and n.name.replace("&", "") == "Yes")
        press(yes)
        assert first.wait(30) == 0
    finally:
        if first.poll() is None:
            first.kill()
    assert ini_value(home, "ConfirmBeforeExit") == "1"

    # SIGTERM: no question, and what was changed from the menu is saved.
    assert ini_value(home, "AutoLooping") == "1"
    again = subprocess.Popen([program, "--home", home])
    try:
        app, frame, menubar = window()
        item = wait("Settings > Auto looping", lambda: menu_path(menubar, ["Settings", "Auto looping"]))
        wait("start-up to end", lambda: item.getState().contains(pyatspi.STATE_ENABLED) and
             item.getState().contains(pyatspi.STATE_CHECKED))
        press(item)
        wait("Auto looping unchecked", lambda: not item.getState().contains(pyatspi.STATE_CHECKED))
        again.send_signal(signal.SIGTERM)
        assert again.wait(30) == 0
    finally:
        if again.poll() is None:
            again.kill()
    assert ini_value(home, "AutoLooping") == "0", ini_value(home, "AutoLooping")
    print("start-up end-to-end: all checks passed")


if __name__ == "__main__":
    main()
