"""The real tunquil and the desktop's own default-application query: File > "Set Tunquil as
default MIDI player" makes `xdg-mime query default audio/midi` answer tunquil.desktop, and
"Restore original default MIDI player", after its question, gives the former player back; each
command shows its message and swaps which of the two items is enabled.
   desktop_menu.py TUNQUIL HOME"""
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
    program, home = sys.argv[1], sys.argv[2]
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

        tunquil.send_signal(signal.SIGTERM)
        assert tunquil.wait(30) == 0
    finally:
        if tunquil.poll() is None:
            tunquil.kill()
    print("desktop end-to-end: all checks passed")


if __name__ == "__main__":
    main()
