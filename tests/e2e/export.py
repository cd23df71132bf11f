"""The real tunquil on an X server, driven through the accessibility bus as a person would:
a category is chosen by its tab and printed from the menu into a PDF file named in the file
dialog, which is read back; the two titles of another category are saved from the menu into a
folder, one save dialog each. Every wait is on a condition with a generous time-out.
   export.py TUNQUIL HOME OUT"""
import subprocess
import sys
from pathlib import Path

import pyatspi

from main_window import application, children, find, find_all, menu_path, press, role, wait


def tab(frame, caption):
    return wait(f"the tab {caption}",
                lambda: find(frame, lambda n: role(n) == "page tab" and n.name.strip() == caption))


def dialog(app, title):
    return wait(f"the window {title!r}",
                lambda: next((w for w in children(app) if w.name == title), None))


def button(root, name):
    return wait(f"the {name} button",
                lambda: find(root, lambda n: role(n) == "push button" and n.name == name))


def name_file(app, title, path):
    """Types a full path into the file dialog titled `title` and saves."""
    box = dialog(app, title)
    # A direct child: the file list below holds rows the tree walk cannot always reach.
    field = wait("the file name field",
                 lambda: next((n for n in children(box) if n is not None and role(n) == "text"
                               and "name" in n.name.lower()), None))
    field.queryEditableText().setTextContents(str(path))
    press(button(box, "Save"))
    wait(f"the window {title!r} to close", lambda: all(w.name != title for w in children(app)))


def press_into_dialog(path):
    """Chooses a menu item that opens a modal dialog. The accessibility call does not return
    while the dialog is up, so another process makes it and is left waiting."""
    return subprocess.Popen([sys.executable, __file__, "--press", *path])


def pdf_text(path):
    return subprocess.run(["pdftotext", "-layout", str(path), "-"], check=True,
                          capture_output=True, text=True).stdout


def main():
    if sys.argv[1] == "--press":
        app = wait("the tunquil application", application)
        frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
        menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
        try:
            press(menu_path(menubar, sys.argv[2:]))
        except Exception:  # no answer while the dialog is up
            pass
        return
    program, home, out = sys.argv[1], sys.argv[2], Path(sys.argv[3])
    process = subprocess.Popen([program, "--home", home])
    pressers = []
    try:
        run(out, pressers)
    finally:
        for presser in pressers:
            presser.kill()
        process.terminate()
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
    print("export end-to-end: all checks passed")


def run(out, pressers):
    app = wait("the tunquil application on the accessibility bus", application)
    frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    wait("the all-titles grid with its titles",
         lambda: next((t for t in find_all(frame, lambda n: role(n) == "table")
                       if t.queryTable().nColumns == 6 and t.queryTable().nRows >= 4), None))

    # Print the category Demo to a PDF file.
    press(tab(frame, "Demo"))
    wait("the Demo tab to be chosen", lambda: tab(frame, "Demo").getState().contains(
        pyatspi.STATE_FOCUSED))
    pressers.append(press_into_dialog(["Categories", "Print", "Active category"]))
    params = dialog(app, "Set printing parameters")
    heading = wait("the report title", lambda: find(params, lambda n: n.name == "Report title"))
    assert heading.queryText().getText(0, -1) == "Category: Demo"
    press(button(params, "Print!"))
    report = out / "demo.pdf"
    name_file(app, "Print to PDF file", report)
    wait("the PDF file", report.exists)
    text = wait("the report's text", lambda: pdf_text(report))
    for expected in ["Category: Demo", "2 titles", "Morning Walk", "Blue Harbour",
                     "Page 1 of 1"]:
        assert expected in text, f"{expected!r} not in the report:\n{text}"
    assert "Candle Light" not in text

    # Save the two titles of Pair to the folder, one dialog each.
    press(tab(frame, "Pair"))
    wait("the Pair tab to be chosen", lambda: tab(frame, "Pair").getState().contains(
        pyatspi.STATE_FOCUSED))
    pressers.append(press_into_dialog(["Categories", "Save to disk", "Active category"]))
    name_file(app, "Save Candle Light to...", out / "first")
    name_file(app, "Save Dance of Ten to...", out / "second")
    for name in ["first.mid", "second.mid"]:
        saved = out / name
        wait(f"the saved file {name}", saved.exists)
        assert saved.read_bytes()[:4] == b"MThd", name


if __name__ == "__main__":
    main()
