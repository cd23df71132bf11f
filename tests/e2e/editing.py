"""Editing the library in the real tunquil, with the mouse and the keyboard as a person would,
finding everything through the accessibility bus: a new album, three titles dragged onto it, one
of them dragged to the top of the album, the album renamed, a title taken out of it with Del
and its question answered. After quitting, tunquilctl reads the saved album and database.
Every wait is on a condition with a generous time-out.
   editing.py TUNQUIL TUNQUILCTL HOME"""
import subprocess
import sys
import time

import pyatspi

from main_window import TIMEOUT, application, children, find, role, wait

def centre(node):
    x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return x + w // 2, y + h // 2


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(node, double=False):
    x, y = centre(node)
    xdo("mousemove", x, y)
    xdo("click", "--repeat", 2 if double else 1, "--delay", 80, 1)


def drag(source, target):
    """Presses on `source`, moves in small steps past the drag distance and on to `target`,
    and lets go there: the way a hand drags."""
    drag_to(source, *centre(target))


def drag_to(source, x1, y1):
    """The same drag, let go at the point (x1, y1) of the screen."""
    x0, y0 = centre(source)
    xdo("mousemove", x0, y0)
    xdo("mousedown", 1)
    steps = 12
    for i in range(1, steps + 1):
        xdo("mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
        time.sleep(0.05)  # pacing the hand, not a condition: drag-and-drop polls the pointer
    time.sleep(0.3)
    xdo("mouseup", 1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def dialog(app, title):
    return find(app, lambda n: role(n) == "dialog" and n.name.strip() == title and showing(n))


def button_in(root, name):
    return find(root, lambda n: role(n) == "push button" and n.name == name)


def column_of(table, caption):
    t = table.queryTable()
    for c in range(t.nColumns):
        header = t.getColumnHeader(c)
        if header is not None and header.name == caption:
            return c
    raise SystemExit(f"no column {caption}")


def titles(table):
    t = table.queryTable()
    c = column_of(table, "Title")
    return [t.getAccessibleAt(r, c).name for r in range(t.nRows) if t.getAccessibleAt(r, c).name]


def cell(table, row, caption="Title"):
    return table.queryTable().getAccessibleAt(row, column_of(table, caption))


def rename(app, caption, name):
    box = wait(f"the {caption!r} box", lambda: dialog(app, caption))
    field = wait("its name field", lambda: find(box, lambda n: role(n) == "text"))
    field.queryEditableText().setTextContents(name)
    click(button_in(box, "OK"))
    wait(f"the {caption!r} box to close", lambda: dialog(app, caption) is None)


def answer(app, text, button):
    def question():
        return find(app, lambda n: role(n) == "dialog" and showing(n) and
                    find(n, lambda m: role(m) == "label" and m.name == text))
    click(button_in(wait(f"the question {text!r}", question), button))
    wait("the question to close", lambda: not question())


def window_parts(app):
    """The main window, its menu bar and its all-titles grid once the titles are in."""
    frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    grid = wait("the all-titles grid with its titles",
                lambda: find(frame, lambda n: role(n) == "table" and n.name == "All titles"
                             and n.queryTable().nRows >= 4))
    return frame, menubar, grid


def run(app):
    frame, menubar, grid = window_parts(app)
    chosen = titles(grid)[:3]

    # A new album from the New button.
    click(wait("the New button", lambda: button_in(frame, "New")))
    rename(app, "Enter new album name", "Trip")
    albums = wait("the album list", lambda: find(frame, lambda n: n.name == "Albums list"))

    def album_cell(column):
        t = albums.queryTable()
        return next((t.getAccessibleAt(r, column) for r in range(t.nRows)
                     if t.getAccessibleAt(r, 0).name == "Trip"), None)
    wait("the album in the album list", lambda: album_cell(0))

    # Three titles dragged from the all-titles grid onto the album, one after another.
    for n, title in enumerate(chosen):
        row = titles(grid).index(title)
        # The list is rebuilt as the album changes: its row is looked up afresh.
        drag(cell(grid, row), wait("the album's row", lambda: album_cell(0)))
        wait(f"{n + 1} titles in the album", lambda: album_cell(1).name == str(n + 1))

    # Double-clicking the album shows its titles; the last is dragged to the top.
    click(wait("the album's row", lambda: album_cell(0)), double=True)
    album = wait("the album's grid with three titles",
                 lambda: find(frame, lambda n: role(n) == "table" and n.name == "Trip album titles"
                              and titles(n) == chosen))
    drag(cell(album, 2), cell(album, 0))
    order = [chosen[2], chosen[0], chosen[1]]
    wait("the album reordered", lambda: titles(album) == order)

    # Renamed from the Albums menu.
    menu = next(i for i in children(menubar) if i.name == "Albums")
    click(menu)
    item = wait("Albums > Rename", lambda: find(app, lambda n: role(n) == "menu item"
                                                and n.name == "Rename" and showing(n)))
    click(item)
    rename(app, "Enter new album name", "Road Trip")
    wait("the renamed tab", lambda: find(frame, lambda n: role(n) == "page tab"
                                         and n.name.strip() == "Road Trip"))

    # The middle title taken out of the album with Del, after its question.
    click(cell(album, 1))
    xdo("key", "Delete")
    answer(app, 'Delete this title from album "Road Trip" ?', "OK")
    wait("two titles left", lambda: titles(album) == [order[0], order[2]])

    # Quit from the File menu.
    click(next(i for i in children(menubar) if i.name == "File"))
    click(wait("File > Exit", lambda: find(app, lambda n: role(n) == "menu item" and
                                           n.name == "Exit" and showing(n))))
    return order[0], order[2]


def run_to_its_end(program, home, run):
    """Starts the program on HOME, runs `run` against it, which quits it, and waits for its end;
    returns what `run` returned. The program is ended should it stay."""
    process = subprocess.Popen([program, "--home", home])
    try:
        app = wait("the tunquil application on the accessibility bus", application)
        result = run(app)
        process.wait(TIMEOUT)
        return result
    finally:
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(20)
            except subprocess.TimeoutExpired:
                process.kill()


def main():
    program, ctl, home = sys.argv[1], sys.argv[2], sys.argv[3]
    expected = run_to_its_end(program, home, run)

    def ctl_rows(*args):
        out = subprocess.run([ctl, "--home", home, *args, "--tsv"], check=True,
                             capture_output=True, text=True).stdout
        return [line.split("\t") for line in out.splitlines()[1:]]

    albums = ctl_rows("albums")
    assert [(a[1], a[2]) for a in albums] == [("Road Trip", "2")], albums
    entries = [e[1] for e in ctl_rows("albums", "--album", "Road Trip")]
    assert entries == list(expected), entries
    assert len(ctl_rows("list")) == 4  # taken out of the album, still in the database
    print("editing end-to-end: all checks passed")


if __name__ == "__main__":
    main()
