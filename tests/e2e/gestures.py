"""The gestures a music library lives by, in the real tunquil with the X server's own input:
a Shift-click range dragged onto an album's row, a Ctrl-click set dragged into the album's grid,
album rows dragged onto Trash; type-ahead then Enter in a grid and Tab out of it; a wheel turn
and the arrow keys on the position bar while a title plays on the null sink, and on the tempo
and key beside it; words typed into
the find field. Everything is found
through the accessibility bus; tunquilctl reads the album once the window has ended.
   gestures.py TUNQUIL HOME BUILD"""
import subprocess
import sys
import time

import pyatspi

from editing import (answer, cell, centre, click, column_of, drag, run_to_its_end, showing, titles,
                     window_parts, xdo)
from main_window import children, find, role, wait


def with_key(modifier, node):
    """A click with Shift or Ctrl held, as a hand does it."""
    x, y = centre(node)
    xdo("mousemove", x, y)
    xdo("keydown", modifier)
    xdo("click", 1)
    xdo("keyup", modifier)
    # A hand's pause: a press on the same row within the double-click time would be one.
    time.sleep(0.8)


def wait_titles(table, expected, what):
    try:
        wait(what, lambda: titles(table) == expected, timeout=20)
    except SystemExit:
        raise SystemExit(f"{what}: the grid shows {titles(table)}, not {expected}")


def run(app):
    frame, menubar, grid = window_parts(app)
    names = titles(grid)
    albums = wait("the album list", lambda: find(frame, lambda n: n.name == "Albums list"))

    def album_cell(column):
        t = albums.queryTable()
        return next((t.getAccessibleAt(r, column) for r in range(t.nRows)
                     if t.getAccessibleAt(r, 0).name == "Trip"), None)

    # A Shift-click range travels whole onto the album's row (it used to carry one title).
    click(cell(grid, 0))
    with_key("shift", cell(grid, 2))
    drag(cell(grid, 1), wait("the album's row", lambda: album_cell(0)))
    wait("three titles in the album", lambda: album_cell(1).name == "3")

    # A Ctrl-click set travels whole into the album's grid, in grid order, before the row.
    click(wait("the album's row", lambda: album_cell(0)), double=True)
    album = wait("the album's grid", lambda: find(
        frame, lambda n: role(n) == "table" and n.name == "Trip album titles"
        and titles(n) == names[:3]))
    click(cell(grid, 0))
    with_key("ctrl", cell(grid, 3))
    drag(cell(grid, 3), cell(album, 0))
    wait_titles(album, [names[0], names[3]] + names[:3], "the set at the top of the album")

    # Album rows dragged onto Trash go after the question (the drag used to clear them first).
    click(cell(album, 0))
    with_key("shift", cell(album, 1))
    trash = find(frame, lambda n: role(n) == "push button" and n.name == "Delete")
    drag(cell(album, 1), trash)
    answer(app, 'Delete these 2 titles from album "Trip" ?', "OK")
    wait_titles(album, names[:3], "the two rows gone")

    # Type-ahead in the Title column moves the selection; Enter plays what is selected.
    target = names[3]
    t = grid.queryTable()
    click(t.getAccessibleAt(0, column_of(grid, "Title")))
    xdo("type", target[0].lower())
    xdo("key", "Return")
    wait(f"{target!r} playing", lambda: find(frame, lambda n: role(n) == "label" and
                                             n.name == target))
    # Insert adds the selected title to the program's end (read back from the program kept
    # for the next start).
    click(cell(grid, 0))
    xdo("key", "Insert")
    # Tab leaves the grid for the next control (it used to move from cell to cell inside it).
    def has_focus(node):
        return node.getState().contains(pyatspi.STATE_FOCUSED)
    wait("the keyboard in the grid", lambda: has_focus(grid))
    xdo("key", "Tab")
    wait("the keyboard out of the grid", lambda: not has_focus(grid))

    # The position bar: a wheel turn and the arrow keys seek, and the bar goes on moving.
    bar = wait("the position bar", lambda: find(frame, lambda n: role(n) == "slider"
                                                and n.name == "Move"))
    value = bar.queryValue()
    wait("the title under way", lambda: value.currentValue >= 1)
    before = value.currentValue
    x, y = centre(bar)
    xdo("mousemove", x, y + 3)
    xdo("click", 4)
    wait("the wheel's seek", lambda: abs(value.currentValue - before) >= 4, timeout=10)
    moved = value.currentValue
    wait("the bar following the play after the wheel", lambda: value.currentValue > moved,
         timeout=10)
    bar.queryComponent().grabFocus()
    wait("the keyboard on the bar", lambda: has_focus(bar), timeout=10)
    before = value.currentValue
    xdo("key", "Left")
    wait("the arrow key's seek back", lambda: value.currentValue <= before - 4, timeout=10)
    moved = value.currentValue
    wait("the bar following the play after the key", lambda: value.currentValue > moved,
         timeout=10)

    # Beside the bar, the speed and the key: a wheel turn on the tempo box, Ctrl+Shift+Up with
    # the keyboard in the grid.
    def spin(name):
        return wait(f"the {name} box", lambda: find(frame, lambda n: role(n) == "spin button"
                                                    and n.name == name))
    tempo, key = spin("Tempo"), spin("Transpose")
    x, y = centre(tempo)
    xdo("mousemove", x, y)
    xdo("click", 4)
    wait("the tempo a step up", lambda: tempo.queryValue().currentValue == 105, timeout=10)
    click(cell(grid, 0))
    wait("the keyboard in the grid", lambda: has_focus(grid))
    xdo("key", "ctrl+shift+Up")
    wait("the key a semitone up", lambda: key.queryValue().currentValue == 1, timeout=10)

    # Find as you type: Ctrl+F, the word typed key by key, the grid and its summary line read
    # back; Esc gives every title back and the keyboard to the grid.
    click(cell(grid, 0))
    xdo("key", "ctrl+f")
    field = wait("the find field", lambda: find(frame, lambda n: n.name == "Find titles"
                                                and role(n) in ("text", "entry")))
    wait("the keyboard in the find field", lambda: has_focus(field))
    xdo("type", "--delay", 150, "LIGHT")
    wait_titles(grid, ["Candle Light"], "the grid showing what the word finds")
    wait("the summary line counting the match", lambda: find(
        frame, lambda n: role(n) == "label" and n.name.startswith("1 of 4 titles")))
    xdo("key", "Escape")
    wait("every title back", lambda: sorted(titles(grid)) == sorted(names), timeout=20)
    wait("the keyboard back in the grid", lambda: has_focus(grid))

    click(next(i for i in children(menubar) if i.name == "File"))
    click(wait("File > Exit", lambda: find(app, lambda n: role(n) == "menu item" and
                                           n.name == "Exit" and showing(n))))
    return names[:3], names


def main():
    program, home, build = sys.argv[1], sys.argv[2], sys.argv[3]
    ctl = f"{build}/tunquilctl"
    subprocess.run([ctl, "--home", home, "album", "create", "Trip"], check=True,
                   capture_output=True)
    expected, names_seen = run_to_its_end(program, home, run)
    out = subprocess.run([ctl, "--home", home, "albums", "--album", "Trip", "--tsv"],
                         check=True, capture_output=True, text=True).stdout
    entries = [line.split("\t")[1] for line in out.splitlines()[1:]]
    assert entries == expected, entries
    # The program kept at closing: the title played with Enter, then the one added with Insert.
    listed = subprocess.run([ctl, "--home", home, "list", "--tsv"], check=True,
                            capture_output=True, text=True).stdout.splitlines()
    title_of = {row.split("\t")[0]: row.split("\t")[3] for row in listed[1:]}
    with open(f"{home}/Program.lst", encoding="utf-8") as kept:
        program = [title_of[key] for key in kept.read().split()]
    assert program[-1] == names_seen[0], program
    print("gestures end-to-end: all checks passed")


if __name__ == "__main__":
    main()
