"""A synthesizer program's MIDI input on the test JACK server: a client with one MIDI input
that writes each message it gets, in order, as a line of hex. Its first line is its output's
name as Tunquil lists it; a line "missed" says that the server's clock moved by more or less than
a period between two of its periods (a period came late or was missed, and its messages may be
gone), "gone REASON" that the server dropped it. It runs until its input (stdin) closes.
   jack_receiver.py NAME"""
import sys
import threading

import jack


def main():
    client = jack.Client(sys.argv[1], no_start_server=True)
    port = client.midi_inports.register("midi_in")
    last = [None]
    heard = []  # appended in the process callback, written out by the main thread

    @client.set_process_callback
    def process(frames):
        # The messages of a period this client did not run in time for can be lost: said, so
        # that a test waiting for them can tell why.
        now = client.last_frame_time
        if last[0] is not None and now - last[0] != frames:
            heard.append("missed")
        last[0] = now
        heard.extend(bytes(data).hex() for _, data in port.incoming_midi_events())

    @client.set_shutdown_callback
    def shutdown(status, reason):
        heard.append(f"gone {reason}")

    def write_out(written):
        count = len(heard)
        if count > written:
            sys.stdout.write("".join(line + "\n" for line in heard[written:count]))
            sys.stdout.flush()
        return count

    ended = threading.Event()

    def wait_for_the_end():
        sys.stdin.read()
        ended.set()
    threading.Thread(target=wait_for_the_end, daemon=True).start()
    with client:
        print(f"{client.name}: midi_in (JACK)", flush=True)
        written = 0
        while not ended.wait(0.02):
            written = write_out(written)
        write_out(written)


if __name__ == "__main__":
    main()
