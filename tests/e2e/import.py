"""The real tunquil on an X server, driven through the accessibility bus as a person would: the
drive-scan window scans a folder of MIDI files into a typed artist and category, and the
add-local-files window adds one more file. run-import.sh then reads the library back.
   import.py TUNQUIL HOME WORK (the tunes are in WORK/tunes and WORK/picked)"""
import os
import subprocess
import sys

import pyatspi

from main_window import (application, click, dialog, enabled, find, find_all, named, role,
                         run_tunquil, wait)


def type_artist_and_category(window, artist, category):
    """Types into the window's two editable combo boxes (a combo box is named by the text it
    shows): their line edits take the texts."""
    edits = [find(box, lambda n: role(n) == "text")
             for box in find_all(window, lambda n: role(n) == "combo box")]
    edits = [e for e in edits if e is not None]
    assert len(edits) == 2, edits
    edits[0].queryEditableText().setTextContents(artist)
    edits[1].queryEditableText().setTextContents(category)


def entries(folder_list):
    return find_all(folder_list, lambda n: role(n) in ("list item", "table cell"))


def open_folder(folder_list, name, shown, expected):
    """A double-click on a folder of the list; `shown` tells the folder the window shows."""
    item = wait(f"{name} in the folder list",
                lambda: find(folder_list, lambda n: role(n) in ("list item", "table cell")
                             and n.name == name))
    click(item, pyatspi.MOUSE_B1D)
    wait(f"the window to show {expected}", lambda: shown() == expected, timeout=30)


def run(work):
    app = wait("the tunquil application on the accessibility bus", application)
    frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
    scan = wait("the Scan drive button", lambda: named(frame, "push button", "Scan drive"))
    wait("start-up to end", lambda: enabled(scan))

    # The drive-scan window: the folder of tunes, a typed artist and category, "Scan !".
    click(scan)
    window = wait("the drive-scan window", lambda: dialog(app, "Scan a drive for MIDI files"))
    folders = wait("the folder list", lambda: named(window, "list", "Directories"))
    tunes = os.path.join(work, "tunes")
    field = named(window, "text", "Directory to scan")
    wait("the window to start in the home folder (it has no Music folder)",
         lambda: field.queryText().getText(0, -1) == work)
    open_folder(folders, "tunes", lambda: field.queryText().getText(0, -1), tunes)
    type_artist_and_category(window, "Smith, John", "E2E Scanned")
    click(named(window, "push button", "Scan !"))
    wait("the drive-scan window to close", lambda: dialog(app, "Scan a drive for MIDI files")
         is None or not dialog(app, "Scan a drive for MIDI files").getState().contains(
             pyatspi.STATE_SHOWING))
    tab = wait("the new category's tab", lambda: find(
        frame, lambda n: role(n) == "page tab" and n.name.strip() == "E2E Scanned"))
    assert tab is not None

    # The add-local-files window ("Load", as "&Open"): one file picked, a typed artist and
    # category, OK.
    load = named(frame, "push button", "Load")
    wait("the window to be unlocked", lambda: enabled(load))
    click(load)
    window = wait("the add-local-files window", lambda: dialog(app, "Select MIDI files to add"))
    folders = wait("the folder list", lambda: named(window, "list", "Directories"))
    picked = os.path.join(work, "picked")
    files = named(window, "list", "Files")
    # The folder typed into the Folder field, with the keyboard; the folder list tells which
    # folder it shows in its description.
    folder_field = named(window, "text", "Folder")
    click(folder_field)
    subprocess.run(["xdotool", "key", "ctrl+a"], check=True)
    subprocess.run(["xdotool", "type", picked], check=True)
    subprocess.run(["xdotool", "key", "Return"], check=True)
    wait("the typed folder listed", lambda: folders.description == picked)
    item = wait("Dance of Ten.mid in the file list", lambda: find(
        files, lambda n: n.name == "Dance of Ten.mid"))
    targets = named(window, "list", "Files to add")
    ok = named(window, "push button", "OK")

    def picked_file():
        return find(targets, lambda n: n.name == os.path.join(picked, "Dance of Ten.mid"))
    # A pick taken back out with the Remove button, then picked again.
    click(item, pyatspi.MOUSE_B1D)

    def shown_pick():
        pick = picked_file()
        return pick if pick and pick.queryComponent().getExtents(
            pyatspi.DESKTOP_COORDS)[2] > 0 else None
    x, y, w, h = wait("the file in the list to add, laid out", shown_pick).queryComponent(
    ).getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + min(w, 40) // 2), str(y + h // 2),
                    "click", "1"], check=True)
    wait("the pick selected", lambda: picked_file().getState().contains(pyatspi.STATE_SELECTED))
    click(named(window, "push button", "Remove"))
    wait("the pick taken out", lambda: not enabled(ok))
    click(item, pyatspi.MOUSE_B1D)
    wait("the file in the list to add", picked_file)
    wait("OK enabled", lambda: enabled(ok))
    type_artist_and_category(window, "Lee, Ann", "E2E Picked")
    click(ok)
    wait("the picked file's category tab", lambda: find(
        frame, lambda n: role(n) == "page tab" and n.name.strip() == "E2E Picked"))
    wait("the import to end", lambda: enabled(named(frame, "push button", "Load")))


if __name__ == "__main__":
    # The windows start in the home folder, where the tunes are, not in the folder the program
    # was started from.
    os.environ["HOME"] = sys.argv[3]
    run_tunquil(lambda: run(sys.argv[3]), "import", cwd="/")
