#include "ui/midi/MidiOutputCommands.h"

#include "base/Files.h"
#include "base/IniFile.h"
#include "midi/TestScale.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiPortSequencer.h"
#include "platform/OutputChoice.h"
#include "platform/SynthesizerMix.h"
#include "ui/WidgetHost.h"
#include "ui/midi/TMidiOutputFrm.h"

#include <QTimer>

namespace tunquil::ui {

namespace {

platform::FluidSynthSequencerOptions
SynthesizerOptions(const fs::path& programDirectory, std::shared_ptr<platform::SynthesizerMix> mix,
                   std::string* output = nullptr) {
    platform::FluidSynthSequencerOptions options;
    options.mix = std::move(mix);
    try {
        IniFile ini(programDirectory / "Tunquil.ini");
        options.soundFontSetting = ini.ReadString("Sound", "SoundFont", "");
        if (output)
            *output = ini.ReadString("Sound", "MidiOutput", "");
    } catch (const std::exception&) {
        // An unreadable settings file only costs these choices; start-up reports it.
    }
    return options;
}

std::unique_ptr<platform::ClockedSequencer>
PortDevice(const std::string& name, std::shared_ptr<platform::SynthesizerMix> mix) {
    platform::MidiPortSequencerOptions options;
    if (!platform::FindMidiOutputPort(name, options.port))
        return nullptr;
    options.mix = std::move(mix);
    return std::make_unique<platform::MidiPortSequencer>(options);
}

} // namespace

std::unique_ptr<platform::ISequencerDevice>
MakePlayDevice(const fs::path& programDirectory, std::shared_ptr<platform::SynthesizerMix> mix) {
    std::string output;
    auto options = SynthesizerOptions(programDirectory, mix, &output);
    auto choice = std::make_unique<platform::OutputChoice>(
        std::make_unique<platform::FluidSynthSequencer>(options),
        [mix](const std::string& name) { return PortDevice(name, mix); });
    choice->Choose(output);
    return choice;
}

MidiOutputCommands::MidiOutputCommands(IMasterWindow& window, platform::ISequencerDevice& device,
                                       std::shared_ptr<platform::SynthesizerMix> mix)
    : master_(window), choice_(dynamic_cast<platform::OutputChoice*>(&device)),
      mix_(std::move(mix)) {
    if (choice_) {
        // A chosen port that is missing or went away: the built-in synthesizer plays on, and
        // the notice and the status bar say so.
        choice_->onPortUnavailable = [this](const std::string& output, const std::string& why) {
            master_.Host().Status("MIDI output \"" + output +
                                  "\" unavailable: playing on the built-in synthesizer");
            master_.Host().ShowDeviceUnavailable("The MIDI output \"" + output +
                                                 "\" is not available. " + why +
                                                 " The built-in synthesizer plays meanwhile.");
        };
    }
}

MidiOutputCommands::~MidiOutputCommands() {
    if (choice_)
        choice_->onPortUnavailable = nullptr;
}

void MidiOutputCommands::LookForChosenOutput() {
    if (choice_)
        choice_->LookForChosenPort();
}

void MidiOutputCommands::Choose() {
    if (!window_) {
        TMidiOutputFrm::Outputs outputs;
        outputs.list = [] {
            std::vector<std::string> names{platform::kBuiltInSynthesizer};
            for (const auto& port : platform::ListMidiOutputPorts())
                names.push_back(port.Name());
            return names;
        };
        outputs.test = [this](const std::string& output) { return Test(output); };
        window_ = new TMidiOutputFrm(std::move(outputs), master_.Widget());
    }
    window_->Load(choice_ ? choice_->Chosen() : std::string());
    if (window_->exec() != QDialog::Accepted)
        return;
    const std::string chosen = window_->Chosen();
    RunShowingFailure(master_.Host(), "", [&] {
        IniFile ini(master_.ProgramDirectory() / "Tunquil.ini");
        ini.WriteString("Sound", "MidiOutput", chosen);
        ini.UpdateFile();
    });
    if (choice_)
        choice_->Choose(chosen);
    master_.Host().Status(
        "MIDI output: " + (chosen.empty() ? std::string(platform::kBuiltInSynthesizer) : chosen) +
        " (from the next title)");
}

TMidiOutputFrm* MidiOutputCommands::Window() const {
    return window_;
}

std::string MidiOutputCommands::Test(const std::string& output) {
    // One scale at a time, on a device of its own, so that a title playing goes on.
    testDevice_.reset();
    std::unique_ptr<platform::ISequencerDevice> device;
    if (output == platform::kBuiltInSynthesizer)
        device = std::make_unique<platform::FluidSynthSequencer>(
            SynthesizerOptions(master_.ProgramDirectory(), mix_));
    else if (!(device = PortDevice(output, mix_)))
        return "\"" + output + "\" is not connected now.";
    const fs::path scale = master_.ProgramDirectory() / "TempTrash" / "Scale.mid";
    std::error_code ec;
    fs::create_directories(scale.parent_path(), ec);
    try {
        WriteFileAtomically(scale, MakeTestScale());
    } catch (const std::exception& e) {
        return e.what();
    }
    platform::SequencerDeviceId id = 0;
    uint32_t error = device->Open(scale.string(), id);
    if (error == platform::kSeqOk)
        error = device->Play(id, 0u, std::nullopt);
    if (error != platform::kSeqOk) {
        std::string text;
        device->ErrorText(error, text);
        return text;
    }
    testDevice_ = std::move(device);
    QTimer::singleShot(kTestScaleMs + 300, this, [this, id, scale] {
        if (testDevice_) {
            testDevice_->Close(id);
            testDevice_.reset();
        }
        std::error_code ignored;
        fs::remove(scale, ignored);
    });
    return {};
}

} // namespace tunquil::ui
