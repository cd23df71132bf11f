#pragma once
// A connection to an ALSA sequencer port. Messages go out directly, each the moment it is sent:
// the sequencer's clock does the timing.

#include "platform/MidiPorts.h"

#include <alsa/asoundlib.h>

namespace tunquil::platform {

// One whole MIDI message as a sequencer event; false for bytes that are none the sequencer
// carries (a lone system byte, a message cut short). A system-exclusive event points into
// `bytes`, which must outlive it.
bool EncodeAlsaEvent(const uint8_t* bytes, uint32_t size, snd_seq_event_t& event);

// The ports another program can write to, ours left out.
std::vector<MidiOutputPort> ListAlsaOutputPorts();

class AlsaMidiPort final : public IMidiPortConnection {
public:
    static std::unique_ptr<AlsaMidiPort> Connect(const MidiOutputPort& port, uint32_t& error);
    ~AlsaMidiPort() override;

    void Send(const uint8_t* bytes, uint32_t size, Clock::time_point due) override;
    bool Gone() const override;

private:
    AlsaMidiPort() = default;

    snd_seq_t* seq_ = nullptr;
    int ownPort_ = -1;
    snd_seq_addr_t destination_{};
    bool gone_ = false;
};

} // namespace tunquil::platform
