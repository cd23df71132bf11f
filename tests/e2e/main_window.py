"""The real tunquil on an X server, driven through the accessibility bus by menu captions and
button names as a person would: the menu tree is complete, sorting from the menu reorders the
grid, a double-click plays a title and the now-playing texts change, pause and stop work from
the buttons. Every wait is on a condition with a generous time-out.
   main_window.py TUNQUIL HOME"""
import subprocess
import sys
import time

import pyatspi

TIMEOUT = 90


def wait(what, condition, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        try:
            result = condition()
            if result:
                return result
        except Exception as error:  # the tree changes under us while the window works
            last = error
        time.sleep(0.1)
    raise SystemExit(f"timed out waiting for {what} ({last})")


def find(root, predicate):
    return pyatspi.utils.findDescendant(root, predicate, True)


def find_all(root, predicate):
    return pyatspi.utils.findAllDescendants(root, predicate)


def role(node):
    return node.getRoleName()


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name.lower() == "tunquil":
            return app
    return None


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def menu_tree(item):
    """The captions under a menu item, as nested lists."""
    tree = []
    for child in children(item):
        if role(child) in ("menu", "popup menu"):
            for entry in children(child):
                if role(entry) in ("menu item", "check menu item", "radio menu item", "menu"):
                    tree.append((entry.name, menu_tree(entry)))
    return tree


def menu_path(menubar, captions):
    node = menubar
    for caption in captions:
        candidates = [node] if role(node) == "menu bar" else children(node)
        entries = []
        for c in candidates:
            entries += children(c) if role(c) in ("menu bar", "menu", "popup menu") else [c]
        node = next(e for e in entries if e.name == caption)
    return node


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def named(root, kind, name):
    return find(root, lambda n: role(n) == kind and n.name == name)


def dialog(app, title):
    return find(app, lambda n: role(n) == "dialog" and n.name.strip() == title)


def key(name):
    pyatspi.Registry.generateKeyboardEvent(0, name, pyatspi.KEY_STRING)


def click(node, event=pyatspi.MOUSE_B1C):
    """A click of the mouse: unlike an action, it returns at once while a modal window runs."""
    x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, event)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "Press", "click", "activate", "Activate", "toggle"):
            return action.doAction(i)
    return action.doAction(0)


EXPECTED = {
    "File": ["Open", "Scan a drive for MIDI files...", "Scan system for MIDI files...",
             "Set Tunquil as default MIDI player", "Restore original default MIDI player",
             "Manage Navigator plugin...", "Exit"],
    "View": ["Active tab colors...", "Hide music toolbar", "Show album summary tab only",
             "Show category summary tab only", "Lyrics"],
    "Albums": ["Play", "Create new", "Rename", "Delete", "Mail", "Archive", "Save to disk",
               "Print"],
    "Categories": ["Play", "Sort by", "Create new", "Rename", "Delete", "Mail", "Archive",
                   "Save to disk", "Print"],
    "Titles": ["Play", "Edit", "Delete", "Mail", "Save to disk", "Print"],
    "Program": ["View titles", "Shuffle", "Erase", "Erase and stop play"],
    "Settings": ["Confirm before exit", "Remind to scan", "Launch at login", "Auto looping",
                 "Reset before play"],
    "Help": ["Show hints", "Use help cursor", "View help file", "About..."],
}
SUBMENUS = {
    ("Categories", "Sort by"): ["Category", "Artist", "Title", "Duration", "Origin",
                                "Date obtained"],
    ("Settings", "Reset before play"): ["GM then GS", "GS then GM", "GM only", "GS only", "XG",
                                        "GM2", "MT-32", "None"],
    ("Albums", "Play"): ["Titles selected", "Album selected", "All albums"],
    ("Categories", "Play"): ["Titles selected", "Active category", "All categories"],
}


def play_all_categories(titles=1):
    """Waits for the main window with at least `titles` titles and for start-up to end, then
    plays every category from the menu. Returns the application, the window and its menu bar."""
    app = wait("the tunquil application on the accessibility bus", application)
    frame = wait("the main window",
                 lambda: find(app, lambda n: role(n) == "frame" and n.name == "Tunquil"))
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    wait("the all-titles grid with its titles",
         lambda: any(t.queryTable().nRows >= titles for t in
                     find_all(frame, lambda n: role(n) == "table")))
    play_all = menu_path(menubar, ["Categories", "Play", "All categories"])
    wait("start-up to end", lambda: play_all.getState().contains(pyatspi.STATE_ENABLED))
    press(play_all)
    wait("a title to play", lambda: find(frame, lambda n: role(n) == "label" and
                                         n.name == "Playing"))
    return app, frame, menubar


def run_tunquil(run, what, cwd=None):
    """Starts TUNQUIL --home HOME (the script's arguments) in `cwd`, runs `run` against it and
    ends it."""
    program, home = sys.argv[1], sys.argv[2]
    process = subprocess.Popen([program, "--home", home], cwd=cwd)
    try:
        run()
    finally:
        process.terminate()
        try:
            process.wait(20)
        except subprocess.TimeoutExpired:
            process.kill()
    print(f"{what} end-to-end: all checks passed")


def run():
    app = wait("the tunquil application on the accessibility bus", application)
    frame = wait("the main window", lambda: find(app, lambda n: role(n) == "frame"))
    menubar = wait("the menu bar", lambda: find(frame, lambda n: role(n) == "menu bar"))
    # The database is loaded when the all-titles grid holds its titles.
    grid = wait("the all-titles grid with its titles",
                lambda: next((t for t in find_all(frame, lambda n: role(n) == "table")
                              if t.queryTable().nColumns == 6 and t.queryTable().nRows >= 4),
                             None))
    table = grid.queryTable()

    # The menu tree is complete.
    top = [item.name for item in children(menubar)]
    assert top == list(EXPECTED), top
    for item in children(menubar):
        names = [name for name, _ in menu_tree(item)]
        for caption in EXPECTED[item.name]:
            assert caption in names, f"{item.name} lacks {caption}: {names}"
    for path, captions in SUBMENUS.items():
        names = [name for name, _ in menu_tree(menu_path(menubar, path))]
        assert names == captions, f"{path}: {names}"

    def column(c):
        return [table.getAccessibleAt(r, c).name for r in range(table.nRows)]

    # Sorting from the menu reorders the grid. The tunes differ in length, and their order by
    # length is not their order by title, so that each sort is seen to change the order.
    def seconds(text):
        return [int(x) for x in text.split(":")]
    press(menu_path(menubar, ["Categories", "Sort by", "Duration"]))
    wait("titles in duration order", lambda: column(3) == sorted(column(3), key=seconds)
         and len(set(column(3))) == table.nRows)
    assert column(2) != sorted(column(2), key=str.upper), column(2)
    press(menu_path(menubar, ["Categories", "Sort by", "Title"]))
    wait("titles in title order", lambda: column(2) == sorted(column(2), key=str.upper))
    assert column(3) != sorted(column(3), key=seconds), column(3)

    # A double-click plays a title; the now-playing texts change.
    row = 1
    title = table.getAccessibleAt(row, 2).name
    cell = table.getAccessibleAt(row, 2).queryComponent()
    x, y, w, h = cell.getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(x + w // 2, y + h // 2, pyatspi.MOUSE_B1D)

    def label(text):
        return find(frame, lambda n: role(n) == "label" and n.name == text)

    wait(f"the panel to show {title!r} playing", lambda: label(title) and label("Playing"))

    def button(name):
        return find(frame, lambda n: role(n) == "push button" and n.name == name)

    press(wait("the Pause button", lambda: button("Pause")))
    wait("the panel to show Paused", lambda: label("Paused") and button("Resume"))
    press(button("Resume"))
    wait("play to go on", lambda: label("Playing") and button("Pause"))
    press(wait("the Stop button", lambda: button("Stop")))
    wait("the stop button to offer play again", lambda: button("Play") and not label("Playing"))


if __name__ == "__main__":
    run_tunquil(run, "main window")
