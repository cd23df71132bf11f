#pragma once
// What a tune has set on its sixteen channels by a point in it: programs (with the bank they
// were chosen in), controllers, the data of registered and non-registered parameters, pitch
// bends and channel pressure. A seek sends this instead of replaying every message from the
// tune's start, so that it takes effect at once however long the file: the state is kept at a
// snapshot every few thousand events, and only the events after the nearest one are gone over.

#include "platform/MidiSequence.h"

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tunquil::platform {

class ChannelStates {
public:
    using Send = std::function<void(const uint8_t* bytes, uint32_t size)>;

    // One pass over the tune's events.
    explicit ChannelStates(const MidiSequence& tune);

    // Brings a synthesizer from where a reset of all controllers leaves it to what the tune
    // has set before `ms`: its system-exclusive messages in order, then each channel's state.
    void RestoreBefore(double ms, const Send& send) const;

    static constexpr std::size_t kSnapshotEvery = 4096;

private:
    struct Parameter {
        uint16_t key; // bit 14: non-registered; then the parameter's MSB and LSB
        int8_t msb = -1, lsb = -1;
    };
    struct Channel {
        std::array<int8_t, 128> cc;
        int8_t program = -1, programBankMsb = -1, programBankLsb = -1;
        int8_t pressure = -1, bendLsb = -1, bendMsb = -1;
        int16_t selected = -1; // the parameter that data entry goes to (a Parameter key)
        std::vector<Parameter> parameters;
        Channel() { cc.fill(-1); }
    };
    using State = std::array<Channel, 16>;

    static void Apply(State& state, const uint8_t* bytes, uint32_t size);
    // A tune's own reset of all controllers on one channel.
    static void ResetControllers(Channel& channel);
    static void SendState(const State& state, const Send& send);

    const MidiSequence& tune_;
    std::vector<State> snapshots_; // the state before event k * kSnapshotEvery
    std::vector<uint32_t> sysex_;  // indices of the system-exclusive events
};

} // namespace tunquil::platform
