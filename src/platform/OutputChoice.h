#pragma once
// The sequencer device the program plays through: the built-in synthesizer, or the MIDI port the
// user chose, with the built-in synthesizer standing in while that port is not there. A choice
// holds from the next tune opened. When the port is missing at an open, or goes away while a
// tune plays, the tune plays on the built-in synthesizer (from where the port left it) and the
// owner is told once, until the port works again.

#include "platform/ClockedSequencer.h"
#include "platform/FluidSynthSequencer.h"

#include <functional>
#include <memory>
#include <string>

namespace tunquil::platform {

class OutputChoice final : public ISequencerDevice {
public:
    // Makes the device for a port, by the name the outputs list gives it; none when no port of
    // that name is there now.
    using PortDeviceMaker = std::function<std::unique_ptr<ClockedSequencer>(const std::string&)>;

    OutputChoice(std::unique_ptr<ISequencerDevice> builtIn, PortDeviceMaker makePortDevice);
    ~OutputChoice() override;

    // The output's name as the outputs list gives it; empty or kBuiltInSynthesizer for ours.
    void Choose(const std::string& output);
    const std::string& Chosen() const { return chosen_; }
    bool PortChosen() const;
    // Whether the tune open now plays on the chosen port.
    bool OnPort() const { return active_ != nullptr && active_ == port_.get(); }
    ISequencerDevice& BuiltIn() { return *builtIn_; }
    // Looks for the chosen port now (at start-up), telling the owner when it is not there.
    void LookForChosenPort();

    // Called on the thread of the command that found it: the chosen port is missing or went
    // away, with the device's text for why; the built-in synthesizer plays meanwhile.
    std::function<void(const std::string& output, const std::string& why)> onPortUnavailable;

    uint32_t Open(const std::string& element, SequencerDeviceId& id) override;
    uint32_t SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) override;
    uint32_t Play(SequencerDeviceId id, std::optional<uint32_t> from,
                  std::optional<uint32_t> to) override;
    uint32_t Pause(SequencerDeviceId id) override;
    uint32_t Stop(SequencerDeviceId id) override;
    uint32_t Seek(SequencerDeviceId id, uint32_t positionMs) override;
    uint32_t Close(SequencerDeviceId id) override;
    uint32_t Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) override;
    uint32_t SetTempo(double rate) override;
    uint32_t SetTranspose(int semitones) override;

private:
    // The device of the tune open under `id`, or none.
    ISequencerDevice* Device(SequencerDeviceId id) const;
    void PortUnavailable(uint32_t error);
    // The port went away under the playing tune: it goes on on the built-in synthesizer.
    void PlayOnWithoutThePort();

    std::unique_ptr<ISequencerDevice> builtIn_;
    PortDeviceMaker makePortDevice_;
    std::unique_ptr<ClockedSequencer> port_;
    std::string portName_; // of port_
    std::string chosen_;
    bool reported_ = false; // the port's absence was told and not yet mended

    ISequencerDevice* active_ = nullptr;
    SequencerDeviceId ownId_ = 0, innerId_ = 0, nextId_ = 1;
    std::string element_;
    std::optional<uint32_t> playTo_;
    double rate_ = 1.0;
    int transpose_ = 0;
};

} // namespace tunquil::platform
