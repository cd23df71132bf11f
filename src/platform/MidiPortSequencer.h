#pragma once
// The sequencer device that plays to one of the system's MIDI ports: a hardware synthesizer or
// a synthesizer program. It plays what the built-in synthesizer plays, on the same clock; what
// it adds is what a synthesizer on the far end of a cable needs: no note left hanging when the
// play stops, and the mixer's synthesizer volume and mute sent as the GM master volume.

#include "platform/ClockedSequencer.h"
#include "platform/MidiPorts.h"
#include "platform/SynthesizerMix.h"

#include <functional>
#include <memory>

namespace tunquil::platform {

struct MidiPortSequencerOptions {
    MidiOutputPort port;
    // The mixer's synthesizer line; none leaves the synthesizer's own volume alone.
    std::shared_ptr<SynthesizerMix> mix;
    SendObserver sendObserver;
    // How the device reaches the port; tests put a recorder in its place.
    std::function<std::unique_ptr<IMidiPortConnection>(const MidiOutputPort&, uint32_t&)> connect =
        ConnectMidiPort;
};

// The GM master volume message for the mixer's synthesizer line: its louder channel, or 0
// when muted.
std::vector<uint8_t> MasterVolumeMessage(const SynthesizerMix& mix);

class MidiPortSequencer final : public ClockedSequencer {
public:
    explicit MidiPortSequencer(MidiPortSequencerOptions options);
    ~MidiPortSequencer() override;

    const MidiOutputPort& Port() const { return options_.port; }

private:
    uint32_t StartOutput() override;
    bool HasOutput() const override { return connection_ != nullptr; }
    void Output(const uint8_t* bytes, uint32_t size) override;
    void SilenceOutput() override;
    void DiscardAhead() override {
        if (connection_)
            connection_->Discard();
    }
    void BeforePlay() override;
    uint32_t Poll() override;
    void SendMasterVolume();

    MidiPortSequencerOptions options_;
    std::unique_ptr<IMidiPortConnection> connection_;
    std::vector<uint8_t> volumeSent_;
};

} // namespace tunquil::platform
