"""The music controls in the real tunquil under a window manager, with the X server's own input:
the program kept from the last run shown stopped at its first title, Ctrl+Space playing it,
the music keys with the lyrics window in front and in the tempo and transpose boxes, a click in
the position bar's groove, and the mixer's bar whose top is the loudest. The panel is read
through the accessible names of its labels.
   wm_sound.py TUNQUIL HOME BUILD"""
import subprocess
import sys

import pyatspi

from editing import centre, click, run_to_its_end, showing, window_parts, xdo
from main_window import children, enabled, find, role, wait


def panel(frame, description):
    """The text of one item of the now-playing panel ("Title number", "Player state", ...)."""
    label = find(frame, lambda n: role(n) == "label" and n.description == description)
    return label.name if label is not None else None


def menu_item(app, menubar, menu, caption):
    click(next(i for i in children(menubar) if i.name == menu))
    click(wait(f"{menu} > {caption}", lambda: find(
        app, lambda n: role(n) in ("menu item", "check menu item") and n.name == caption
        and showing(n))))


def run(app):
    frame, menubar, grid = window_parts(app)

    # The program kept from the last run: stopped at its first title, the Program menu on.
    wait("the kept program in the panel", lambda: (panel(frame, "Title number"),
                                                   panel(frame, "Titles in program")) == ("1", "4"))
    wait("the panel saying Stopped", lambda: panel(frame, "Player state") == "Stopped")
    assert panel(frame, "Title") == "Blue Harbour", panel(frame, "Title")
    assert panel(frame, "Total time") == "0:30", panel(frame, "Total time")
    program_menu = next(i for i in children(menubar) if i.name == "Program")
    assert enabled(program_menu), "the Program menu is off"

    # Ctrl+Space plays the program's current title.
    click(grid)
    xdo("key", "ctrl+space")
    wait("the first title playing", lambda: panel(frame, "Player state") == "Playing")
    assert panel(frame, "Title number") == "1"

    # With the lyrics window in front, Ctrl+Right plays the next title and Ctrl+Space pauses.
    menu_item(app, menubar, "View", "Lyrics")
    lyrics = wait("the lyrics window", lambda: find(
        app, lambda n: role(n) == "dialog" and showing(n) and n.name == "Lyrics"))
    click(lyrics)
    wait("the lyrics window in front", lambda: subprocess.run(
        ["xdotool", "getactivewindow", "getwindowname"], capture_output=True,
        text=True).stdout.strip() == "Lyrics", timeout=10)
    xdo("key", "ctrl+Right")
    try:
        wait("the next title from the lyrics window",
             lambda: panel(frame, "Title number") == "2", timeout=10)
    except SystemExit:
        raise SystemExit("the panel shows " + ", ".join(
            f"{d}: {panel(frame, d)}" for d in ("Title number", "Player state", "Title")))
    xdo("key", "ctrl+space")
    wait("paused from the lyrics window", lambda: panel(frame, "Player state") == "Paused",
         timeout=10)
    xdo("key", "ctrl+space")
    wait("playing again", lambda: panel(frame, "Player state") == "Playing", timeout=10)
    xdo("key", "Escape")
    wait("the lyrics window closed", lambda: not showing(lyrics))

    # In the tempo and transpose boxes the keys are the music's, not the cursor's.
    def box(name):
        return wait(f"the {name} box", lambda: find(
            frame, lambda n: role(n) == "spin button" and n.name == name))
    for name, keys, number in (("Tempo", "ctrl+Right", "3"), ("Transpose", "ctrl+Left", "2")):
        spin = box(name)
        x, y, w, h = spin.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdo("mousemove", x + w // 4, y + h // 2)  # on the text, clear of the arrows
        xdo("click", 1)
        wait(f"the keyboard in the {name} box",
             lambda: spin.getState().contains(pyatspi.STATE_FOCUSED), timeout=10)
        xdo("key", keys)
        wait(f"{keys} in the {name} box", lambda: panel(frame, "Title number") == number,
             timeout=10)
    wait("the second title playing", lambda: panel(frame, "Player state") == "Playing")

    # A click at three quarters of the position bar's groove jumps there (24 s: about 18 s),
    # rather than ten seconds on.
    bar = wait("the position bar", lambda: find(frame, lambda n: role(n) == "slider"
                                                and n.name == "Move"))
    value = bar.queryValue()
    x, y, w, h = bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdo("mousemove", x + w * 3 // 4, y + h // 2)
    xdo("click", 1)
    wait("the position near three quarters",
         lambda: 16 <= value.currentValue <= 21 and value.maximumValue == 24, timeout=10)

    # The mixer's bars: the fuller, the louder.
    click(wait("the Volume button", lambda: find(
        frame, lambda n: role(n) == "push button" and n.name == "Volume + Balance")))
    mixer = wait("the sound control window", lambda: find(
        app, lambda n: role(n) == "dialog" and n.name == "Tunquil sound control" and showing(n)))
    volume = wait("the MIDI volume bar", lambda: find(
        mixer, lambda n: role(n) == "slider" and n.name == "MIDI volume Vol"))
    level = volume.queryValue()
    click(volume)  # the bar takes the keyboard
    xdo("key", "End")
    wait("End on the bar", lambda: level.currentValue == level.maximumValue, timeout=10)
    # The bar's top is the loudest: a step quieter from there (Ctrl+Down, which works in the
    # mixer too) leaves 90 %.
    xdo("key", "ctrl+Down")
    wait("a step quieter from full", lambda: find(
        frame, lambda n: role(n) == "label" and n.name == "Volume 90 %"), timeout=10)
    xdo("key", "Escape")

    menu_item(app, menubar, "File", "Exit")


def main():
    program, home, build = sys.argv[1], sys.argv[2], sys.argv[3]
    listed = subprocess.run([f"{build}/tunquilctl", "--home", home, "list", "--tsv"], check=True,
                            capture_output=True, text=True).stdout.splitlines()
    key_of = {row.split("\t")[3]: row.split("\t")[0] for row in listed[1:]}
    # The program the last run kept, longest title first, so that no title ends by itself
    # while a key is tried.
    order = ["Blue Harbour", "Morning Walk", "Dance of Ten", "Candle Light"]
    with open(f"{home}/Program.lst", "w", encoding="utf-8") as kept:
        kept.write("".join(key_of[name] + "\n" for name in order))
    run_to_its_end(program, home, run)
    print("sound end-to-end: all checks passed")


if __name__ == "__main__":
    main()
