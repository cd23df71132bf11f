"""The screenshot tour's part for the windows that take titles out: the print parameters, the
save dialog, the mail window and its setup, and the archive window. The tour calls
export_windows(app, menubar, shoot, window) last, since the archive window is held open
by writing the archive into a pipe nobody feeds, and the program is ended there."""
import os
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

from main_window import children, find, press, role, wait

EXPORT_PY = Path(__file__).resolve().parent.parent / "tests" / "e2e" / "export.py"


def choose(path):
    """Chooses a menu item that opens a modal window: the accessibility call does not return
    while it is up, so another process makes it and is left waiting."""
    return subprocess.Popen([sys.executable, str(EXPORT_PY), "--press", *path])


def button(root, name):
    return wait(f"the {name} button", lambda: find(
        root, lambda n: role(n) == "push button" and n.name.replace("&", "") == name))


def cancel(box):
    press(button(box, "Cancel"))


def export_windows(app, menubar, shoot, window):
    pressers = []
    work = tempfile.mkdtemp(prefix="tunquil-tour-")
    try:
        pressers.append(choose(["Categories", "Print", "All categories"]))
        box = window(app, "Set printing parameters")
        shoot("Set printing parameters", "print-parameters")
        cancel(box)

        # Where the titles play, and the options of saving titles as audio files.
        for path, caption, name in ((["Settings", "MIDI output..."], "MIDI output", "midi-output"),
                                    (["Titles", "Save as audio..."], "Save as audio",
                                     "save-as-audio")):
            pressers.append(choose(path))
            box = window(app, caption)
            shoot(caption, name)
            cancel(box)

        tab = wait("a category tab", lambda: find(
            menubar.parent, lambda n: role(n) == "page tab" and n.name.strip() == "Themes"))
        press(tab)
        # One title's save: a category's would open the next title's dialog after each Cancel.
        pressers.append(choose(["Titles", "Save to disk"]))
        box = wait("the save dialog", lambda: next(
            (w for w in children(app) if w.name.startswith("Save ") and w.name.endswith(" to...")),
            None))
        shoot(box.name, "save-title")
        cancel(box)

        pressers.append(choose(["Categories", "Mail", "All categories"]))
        mail = wait("the mail window", lambda: next(
            (w for w in children(app) if w.name.startswith(" Mail the attached ")), None))
        shoot(mail.name, "mail-window")
        pressers.append(subprocess.Popen([sys.executable, "-c", f"""
import sys; sys.path[:0] = [{str(EXPORT_PY.parent)!r}]
from main_window import *
app = wait("tunquil", application)
mail = wait("mail", lambda: next(w for w in children(app) if w.name.startswith(" Mail the")))
bar = wait("its menu bar", lambda: find(mail, lambda n: role(n) == "menu bar"))
try:
    press(menu_path(bar, ["Setup", "Setup"]))
except Exception:
    pass
"""]))
        box = window(app, "Tunquil mail setup")
        shoot("Tunquil mail setup", "mail-setup")
        cancel(box)

        # The archive goes into a pipe that is never read, so its window stays up mid-way: it
        # writes, and paints, until the pipe is full.
        held = Path(work) / "held.zip"
        os.mkfifo(held)
        reader = os.open(held, os.O_RDONLY | os.O_NONBLOCK)
        pressers.append(choose(["Categories", "Archive", "All categories"]))
        box = wait("the archive's file dialog", lambda: next(
            (w for w in children(app) if w.name.startswith("Enter the name for this ")), None))
        field = wait("the file name field", lambda: next(
            (n for n in children(box) if n is not None and role(n) == "text"
             and "name" in n.name.lower()), None))
        field.queryEditableText().setTextContents(str(held))
        press(button(box, "Save"))
        window(app, "Archiving...")
        shoot("Archiving...", "create-archive")
        # Held for good: the program is ended without finishing the archive.
        os.kill(app.get_process_id(), signal.SIGKILL)
        os.close(reader)
    finally:
        for presser in pressers:
            presser.kill()
