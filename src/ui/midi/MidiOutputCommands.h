#pragma once
// Where the titles play: the device made from the MIDI output kept in Tunquil.ini ([Sound]
// MidiOutput=), with the built-in synthesizer standing in for a port that is missing or went
// away; Settings > "MIDI &output..." and its test scale; and the notice and the status bar's
// word when that happens.

#include "ui/MasterWindow.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

namespace tunquil::platform {
class ISequencerDevice;
class OutputChoice;
class SynthesizerMix;
} // namespace tunquil::platform

namespace tunquil::ui {

class TMidiOutputFrm;

// The device the window plays through: the built-in synthesizer, or the MIDI output chosen in
// the settings of `programDirectory`, with `mix` as the synthesizer line's volume and mute.
std::unique_ptr<platform::ISequencerDevice>
MakePlayDevice(const fs::path& programDirectory, std::shared_ptr<platform::SynthesizerMix> mix);

class MidiOutputCommands : public QObject {
public:
    // `device` is the window's; a device of another kind (a test's) has no outputs to choose,
    // and then the choice is only kept in the settings.
    MidiOutputCommands(IMasterWindow& window, platform::ISequencerDevice& device,
                       std::shared_ptr<platform::SynthesizerMix> mix);
    ~MidiOutputCommands() override;

    // Once the window has started: a remembered output that is not there is said at once,
    // not at the first title.
    void LookForChosenOutput();
    // Settings > "MIDI &output...": the output kept and used from the next title.
    void Choose();
    TMidiOutputFrm* Window() const;

private:
    // Plays the test scale on an output; the problem, or empty.
    std::string Test(const std::string& output);

    IMasterWindow& master_;
    platform::OutputChoice* choice_; // the window's device, when it is one that chooses
    std::shared_ptr<platform::SynthesizerMix> mix_;
    QPointer<TMidiOutputFrm> window_;
    std::unique_ptr<platform::ISequencerDevice> testDevice_;
};

} // namespace tunquil::ui
