"""Writes the karaoke and lyric files the lyrics tests read, one for each convention, into a
folder; with a real MIDI tune, also that tune with words added ("real.kar") and the LRC file
its words must give ("real.lrc"), timed by this library's own reading of the tempo map.
   karaoke_tunes.py FOLDER [REAL_TUNE]"""
import sys
from pathlib import Path

import mido

# 480 ticks a quarter at 0.48 s a quarter: a tick is a millisecond until tick 2000, where the
# tempo halves and a tick lasts two.
TPB = 480


def raw(data):
    """Bytes as mido's texts carry them (it writes texts as Latin-1)."""
    return data.decode("latin-1")


def song(*tracks):
    """A format 1 file: the conductor track, then `tracks`, each a list of (tick, message)."""
    f = mido.MidiFile(type=1, ticks_per_beat=TPB)
    conductor = [(0, mido.MetaMessage("set_tempo", tempo=480000)),
                 (2000, mido.MetaMessage("set_tempo", tempo=960000))]
    for events in [conductor, *tracks]:
        track = mido.MidiTrack()
        now = 0
        for tick, msg in sorted(events, key=lambda e: e[0]):
            track.append(msg.copy(time=tick - now))
            now = tick
        track.append(mido.MetaMessage("end_of_track", time=0))
        f.tracks.append(track)
    return f


def lyric(tick, data):
    return (tick, mido.MetaMessage("lyrics", text=raw(data)))


def text(tick, data):
    return (tick, mido.MetaMessage("text", text=raw(data)))


def notes(count=8, step=400):
    events = []
    for i in range(count):
        events.append((i * step, mido.Message("note_on", note=60 + i, velocity=80)))
        events.append((i * step + step - 10, mido.Message("note_off", note=60 + i)))
    return events


def crafted(folder):
    # Lyric events ending their lines with CR, CR LF and LF; an empty line starts a paragraph,
    # even with a blank on it.
    # Another track's Text event is a comment, not words, in a file that is no karaoke file.
    song([lyric(0, b"Hel"), lyric(250, b"lo "), lyric(500, b"world\r"), lyric(1000, b"Se"),
          lyric(1500, b"cond\r\n"), lyric(1550, b" "), lyric(1600, b"\n"), lyric(2500, b"Third\n")] + notes(),
         [text(0, b"Sequenced by Someone")]).save(folder / "lyric-events.mid")

    # A soft karaoke file: headers in the first tracks, words in their own track with "\" and
    # "/"; a lone comment elsewhere and Lyric events that copy the words for other players.
    song([text(0, b"@KMIDI KARAOKE FILE"), text(0, b"@V0100"), text(0, b"@IFirst info")],
         [text(0, b"@LENGL"), text(0, b"@TMy Song"), text(0, b"@TSome Singer"),
          text(100, b"\\Twin"), text(200, b"kle "), text(300, b"twin"), text(400, b"kle"),
          text(600, b"/Lit"), text(700, b"tle "), text(800, b"star"),
          text(2100, b"\\How "), text(2200, b"I "), text(2300, b"won"), text(2400, b"der")],
         notes() + [text(0, b"Piano")],
         [lyric(100, b"COPY")]).save(folder / "soft.kar")

    # Windows-1252 words in a file named as a karaoke file but without the karaoke header; the
    # same bytes under a ".mid" name are comments.
    f = song([text(0, b"Caf\xe9 "), text(100, b"\x93ol\xe9\x94")] + notes(2))
    f.save(folder / "latin.kar")
    f.save(folder / "latin.mid")

    # UTF-8 words stay as they are.
    song([lyric(0, "Grüße ".encode()), lyric(100, "“olé”".encode())]).save(folder / "utf8.mid")

    # Lines broken the karaoke way make a file a karaoke file whatever its name.
    song([text(0, b"\\One"), text(100, b"/Two"), text(200, b"/Three")]).save(
        folder / "slashes.mid")


def lrc_time(seconds):
    hundredths = int(seconds * 100 + 0.5)
    return "%02d:%02d.%02d" % (hundredths // 6000, hundredths // 100 % 60, hundredths % 100)


def real(tune, folder):
    """The tune with a words track added: a line of nine syllables every four beats, from the
    second bar to the end, and the LRC its words give."""
    f = mido.MidiFile(tune)
    if f.type == 0:
        f.type = 1
    total = max(sum(m.time for m in t) for t in f.tracks)
    # Each line ends in its own number, so that one line is told from the next.
    words = ["la ", "la ", "lu ", "li ", "lo ", "le ", "da ", "dum "]
    track = mido.MidiTrack([mido.MetaMessage("text", text="@KMIDI KARAOKE FILE"),
                            mido.MetaMessage("text", text="@TReal Tune")])
    events, line = [], 0
    tick = 4 * f.ticks_per_beat
    while tick + 4 * f.ticks_per_beat <= total:
        for i, word in enumerate(words + [str(line + 1)]):
            events.append((tick + i * f.ticks_per_beat * 4 // 9,
                           ("/" if i == 0 and line > 0 else "") + word))
        tick += 4 * f.ticks_per_beat
        line += 1
    ours = {word.lstrip("/") for _, word in events}
    now = 0
    for at, word in events:
        track.append(mido.MetaMessage("text", text=word, time=at - now))
        now = at
    track.append(mido.MetaMessage("end_of_track", time=0))
    f.tracks.append(track)
    f.save(folder / "real.kar")

    # The times as this library plays the file: every track merged, tempo from any of them.
    seconds, starts = 0.0, []
    for msg in mido.MidiFile(folder / "real.kar"):
        seconds += msg.time
        # The tune's own texts (a copyright line, say) are no words of ours.
        if msg.type == "text" and msg.text.lstrip("/") in ours:
            if msg.text.startswith("/") or not starts:
                starts.append([seconds, ""])
            starts[-1][1] += msg.text.lstrip("/")
    with open(folder / "real.lrc", "w") as out:
        out.write("[ti:Real Tune]\n")
        for at, words_of_line in starts:
            out.write("[%s]%s\n" % (lrc_time(at), words_of_line.strip()))


folder = Path(sys.argv[1])
folder.mkdir(parents=True, exist_ok=True)
crafted(folder)
if len(sys.argv) > 2 and sys.argv[2]:
    real(sys.argv[2], folder)
