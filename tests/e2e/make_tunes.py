"""Writes a few small Standard MIDI Files of real notes into a folder, for a demo library.
   make_tunes.py FOLDER"""
import sys
from pathlib import Path

import mido

# Each tune as long as its own number of seconds, so that sorting by duration gives another
# order than sorting by title: Candle Light, Dance of Ten, Morning Walk, Blue Harbour.
NAMES = {"Morning Walk": 24, "Blue Harbour": 30, "Candle Light": 12, "Dance of Ten": 18}


def tune(path, seed, seconds):
    song = mido.MidiFile(ticks_per_beat=480)
    track = mido.MidiTrack()
    song.tracks.append(track)
    track.append(mido.MetaMessage("set_tempo", tempo=500000))
    track.append(mido.Message("program_change", program=seed * 8 % 128, time=0))
    for i in range(seconds * 2):  # eighth notes
        note = 48 + (seed * 5 + i * 7) % 24
        track.append(mido.Message("note_on", note=note, velocity=80, time=0))
        track.append(mido.Message("note_off", note=note, velocity=0, time=240 * 2))
    track.append(mido.MetaMessage("end_of_track", time=0))
    song.save(path)


folder = Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
for n, (name, seconds) in enumerate(NAMES.items()):
    tune(folder / f"{name}.mid", n + 1, seconds)
