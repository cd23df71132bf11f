"""Playing through a MIDI port in the real tunquil under a window manager, with the X server's
own input: a synthesizer program (a JACK client here, on the test JACK server) is running; the
user opens Settings > "MIDI output...", clicks its port in the list and OK, double-clicks a
title, and the synthesizer hears the title's notes; the Stop button silences every channel the
title used. Tunquil.ini keeps the choice after the program ends.
   wm_midi_output.py TUNQUIL HOME BUILD"""
import configparser
import subprocess
import sys
import threading
from pathlib import Path

import mido
import pyatspi

from editing import cell, click, run_to_its_end, showing, titles, window_parts
from main_window import find, role, wait
from wm_sound import menu_item, panel

TITLE = "Blue Harbour"  # the longest tune: it cannot end by itself before Stop
ALL_SOUND_OFF, ALL_NOTES_OFF = 120, 123


class Receiver:
    """A synthesizer program on the test JACK server (jack_receiver.py, a process of its own so
    that its periods never wait for this script): the messages it got, in order."""

    def __init__(self, name):
        self.process = subprocess.Popen(
            [sys.executable, str(Path(__file__).with_name("jack_receiver.py")), name],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.output = self.process.stdout.readline().strip()  # the name the program lists
        if not self.output:
            raise SystemExit("the JACK receiver did not start")
        self.lines = []
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            self.lines.append(line.strip())

    def heard(self):
        gone = [line for line in self.lines if line.startswith("gone")]
        if gone:
            raise SystemExit(f"the JACK server dropped the receiver: {gone[0]}")
        return [bytes.fromhex(line) for line in list(self.lines) if line != "missed"]

    def wait(self, what, condition):
        """Waits until `condition` holds for the messages heard; a time-out says how often the
        receiver fell behind the server."""
        try:
            wait(what, lambda: condition(self.heard()))
        except SystemExit as timeout:
            raise SystemExit(f"{timeout}; {self.lines.count('missed')} periods came late or "
                             "were missed at the receiver") from None

    def close(self):
        self.process.stdin.close()
        self.process.wait(20)
        self.reader.join(20)


def note_ons(messages):
    return [m for m in messages if len(m) == 3 and m[0] & 0xF0 == 0x90 and m[2] > 0]


def tune_note_ons(path):
    """The note-ons of a tune file, as the bytes a port sends."""
    return [bytes(m.bytes()) for m in mido.MidiFile(path)
            if m.type == "note_on" and m.velocity > 0]


def silenced(messages, channels):
    """Whether every channel of `channels` got All Sound Off and All Notes Off."""
    return all(bytes([0xB0 | c, control, 0]) in messages
               for c in channels for control in (ALL_SOUND_OFF, ALL_NOTES_OFF))


def selected(node):
    return node.getState().contains(pyatspi.STATE_SELECTED)


def choose_output(app, menubar, output):
    menu_item(app, menubar, "Settings", "MIDI output...")
    window = wait("the MIDI output window", lambda: find(
        app, lambda n: role(n) == "dialog" and n.name == "MIDI output" and showing(n)))
    outputs = wait("the list of outputs", lambda: find(
        window, lambda n: role(n) == "list" and n.name == "MIDI outputs"))
    item = wait(f"{output!r} in the list", lambda: find(
        outputs, lambda n: role(n) == "list item" and n.name == output))
    # The window manager places a new window after it is shown: clicks wait until it is the
    # active window, in its place.
    wait("the MIDI output window active", lambda: subprocess.run(
        ["xdotool", "getactivewindow", "getwindowname"], capture_output=True,
        text=True).stdout.strip() == "MIDI output", timeout=10)
    click(item)
    try:
        wait(f"{output!r} selected", lambda: selected(item), timeout=3)
    except SystemExit:
        click(item)  # a click lost on the way, as in wm_grids.py: a person clicks again
        wait(f"{output!r} selected", lambda: selected(item), timeout=10)
    click(find(window, lambda n: role(n) == "push button" and n.name == "OK"))
    wait("the MIDI output window closed", lambda: not showing(window))


def in_order(heard, tune):
    """Whether every message of `heard` is in `tune`, in the tune's order."""
    rest = iter(tune)
    return all(message in rest for message in heard)


def run(app, receiver, tune):
    frame, menubar, grid = window_parts(app)
    choose_output(app, menubar, receiver.output)

    # A double-click on the title's row plays it, and the receiver hears the tune's notes in
    # its order. A receiver without real-time scheduling on a busy machine can miss a JACK
    # period and that period's messages with it, so a gap is allowed: the port tests check
    # every message, this test the way there.
    click(cell(grid, titles(grid).index(TITLE)), double=True)
    wait("the title playing", lambda: panel(frame, "Player state") == "Playing"
         and panel(frame, "Title") == TITLE)
    receiver.wait("notes at the receiver", lambda heard: len(note_ons(heard)) >= 4)
    heard = note_ons(receiver.heard())
    assert in_order(heard, tune), f"heard {heard[:8]}, the tune has {tune[:8]}"
    channels = {m[0] & 0x0F for m in heard}

    # Stop from the toolbar: every channel the title used is silenced, and no note follows.
    before = len(receiver.heard())
    click(find(frame, lambda n: role(n) == "push button" and n.name == "Stop"))
    wait("the panel saying Stopped", lambda: panel(frame, "Player state") == "Stopped")
    receiver.wait("All Sound Off and All Notes Off on the title's channels",
                  lambda heard: silenced(heard[before:], channels))
    after = receiver.heard()[before:]
    silent = max(i for i, m in enumerate(after) if m[0] & 0xF0 == 0xB0 and m[1] == ALL_NOTES_OFF)
    assert not note_ons(after[silent:]), f"notes after the stop: {note_ons(after[silent:])}"

    menu_item(app, menubar, "File", "Exit")
    return before + silent


def kept_output(home):
    ini = configparser.ConfigParser(interpolation=None, strict=False)
    ini.optionxform = str
    ini.read(Path(home) / "Tunquil.ini", encoding="utf-8")
    return ini.get("Sound", "MidiOutput", fallback=None)


def main():
    program, home = sys.argv[1], sys.argv[2]
    # run-library.sh keeps the tunes it added beside the home folder.
    tune = tune_note_ons(Path(home).parent / "tunes" / f"{TITLE}.mid")
    receiver = Receiver("e2e-synth")
    try:
        silent_from = run_to_its_end(program, home, lambda app: run(app, receiver, tune))
        late = note_ons(receiver.heard()[silent_from:])
        assert not late, f"notes after the stop, by the end of the program: {late}"
    finally:
        receiver.close()
    assert kept_output(home) == receiver.output, kept_output(home)
    print("MIDI output end-to-end: all checks passed")


if __name__ == "__main__":
    main()
