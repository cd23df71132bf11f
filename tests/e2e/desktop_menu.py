"""The real tunquil and the desktop's own default-application query: File > "Set Tunquil as
default MIDI player" makes `xdg-mime query default audio/midi` answer tunquil.desktop, and
"Restore original default MIDI player", after its question, gives the former player back; each
command shows its message and swaps which of the two items is enabled. Then the desktop entry
the program registered opens a tune through `gio launch`: the running copy adds and plays it; its
"Send as email" action's command line files another under "Email default" and attaches it to a
mail.
   desktop_menu.py TUNQUIL HOME TUNES"""
import configparser
import os
import shlex
import signal
import subprocess
import sys

import pyatspi

from main_window import find, menu_path, press, role, wait
from startup import window


def default_midi_player():
    return subprocess.run(["xdg-mime", "query", "default", "audio/midi"], check=True,
                          capture_output=True, text=True).stdout.strip()


def enabled(item):
    return item.getState().contains(pyatspi.STATE_ENABLED)


def answer(app, text, button):
    """Waits for the message holding `text` and presses its `button`."""
    dialog = wait(f"the message {text!r}", lambda: find(
        app, lambda n: role(n) in ("dialog", "alert") and
        find(n, lambda m: text in (m.name or ""))))
    press(find(dialog, lambda n: role(n) == "push button" and
               n.name.replace("&", "") == button))


def press_modal(item):
    # A message is modal: the press's reply may wait until it is answered.
    try:
        press(item)
    except Exception:
        pass


def main():
    program, home, tunes = sys.argv[1], sys.argv[2], sys.argv[3]
    assert default_midi_player() == "formerplayer.desktop", default_midi_player()
    tunquil = subprocess.Popen([program, "--home", home])
    try:
        app, frame, menubar = window()
        set_item = menu_path(menubar, ["File", "Set Tunquil as default MIDI player"])
        restore_item = menu_path(menubar, ["File", "Restore original default MIDI player"])
        wait("start-up to end", lambda: enabled(set_item) and not enabled(restore_item))

        press_modal(set_item)
        answer(app, "Tunquil has been set your default MIDI Player.", "OK")
        wait("Restore enabled", lambda: enabled(restore_item) and not enabled(set_item))
        assert default_midi_player() == "tunquil.desktop", default_midi_player()

        press_modal(restore_item)
        answer(app, "Are you sure you want to restore the original default MIDI player?", "Yes")
        answer(app, "Your original default MIDI player setting has been restored.", "OK")
        wait("Set enabled", lambda: enabled(set_item) and not enabled(restore_item))
        assert default_midi_player() == "formerplayer.desktop", default_midi_player()

        entry = os.path.join(os.environ["XDG_DATA_HOME"], "applications", "tunquil.desktop")
        assert subprocess.run(["desktop-file-validate", entry]).returncode == 0
        name = sorted(n for n in os.listdir(tunes) if n.endswith(".mid"))[0]
        subprocess.run(["gio", "launch", entry, os.path.join(tunes, name)], check=True,
                       timeout=30)
        title = name[:-4]
        wait(f"the opened {title!r} to play", lambda: find(
            frame, lambda n: role(n) == "label" and n.name == title) and find(
            frame, lambda n: role(n) == "label" and n.name == "Playing"))

        # The verb reaches the program as its own argument, whatever the file is called.
        desktop = configparser.ConfigParser(interpolation=None)
        desktop.optionxform = str
        desktop.read(entry)
        line = desktop["Desktop Action SendAsEmail"]["Exec"]
        other = os.path.join(tunes, sorted(n for n in os.listdir(tunes) if n.endswith(".mid"))[1])
        command = [other if a == "%f" else a for a in shlex.split(line)]
        assert subprocess.run(command, timeout=30).returncode == 0
        wait("the category tab 'Email default'", lambda: find(
            frame, lambda n: role(n) == "page tab" and (n.name or "").strip() == "Email default"))
        mail = wait("the mail window", lambda: find(
            app, lambda n: (n.name or "") == " Mail the attached 1 title(s)"))
        mailed = os.path.basename(other)[:-4]
        wait(f"{mailed!r} among the attachments", lambda: find(
            mail, lambda n: role(n) != "label" and n.name == mailed))

        tunquil.send_signal(signal.SIGTERM)
        assert tunquil.wait(30) == 0
    finally:
        if tunquil.poll() is None:
            tunquil.kill()
    print("desktop end-to-end: all checks passed")


if __name__ == "__main__":
    main()
