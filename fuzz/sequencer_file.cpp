// The sequencer device's own reading of MIDI and RMID files, on arbitrary bytes.

#include "platform/MidiSequence.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        auto seq = tunquil::platform::MidiSequence::Parse(std::span<const uint8_t>(data, size));
        double last = 0;
        for (const auto& e : seq.Events()) {
            // Every event is a whole message, in time order, not past the tune's end.
            auto m = seq.Message(e);
            if (m.empty() || m[0] < 0x80)
                __builtin_trap();
            volatile uint8_t end = m[m.size() - 1];
            (void)end;
            double ms = seq.Ms(e);
            if (ms < last || ms > seq.LengthMs() + 1e-6)
                __builtin_trap();
            last = ms;
        }
        seq.FirstEventAtOrAfter(seq.LengthMs() / 2);
    } catch (const tunquil::platform::MidiSequenceError&) {
    }
    return 0;
}
