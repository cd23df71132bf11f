// The sequencer device's own reading of MIDI and RMID files, on arbitrary bytes.

#include "platform/MidiSequence.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto seq = tunquil::platform::MidiSequence::Parse(std::span<const uint8_t>(data, size));
        double last = 0;
        for (const auto& e : seq.Events()) {
            // Every event lies inside the pool, in time order, not past the tune's end.
            volatile uint8_t first = seq.Bytes(e)[0];
            volatile uint8_t end = seq.Bytes(e)[e.size - 1];
            (void)first;
            (void)end;
            if (e.ms < last || e.ms > seq.LengthMs() + 1e-6)
                __builtin_trap();
            last = e.ms;
        }
        seq.FirstEventAtOrAfter(seq.LengthMs() / 2);
    } catch (const tunquil::platform::MidiSequenceError&) {
    }
    return 0;
}
