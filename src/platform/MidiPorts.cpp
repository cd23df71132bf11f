#include "platform/MidiPorts.h"

#include "platform/AlsaMidiPort.h"
#include "platform/JackMidiPort.h"
#include "platform/SequencerDevice.h"

#include <algorithm>
#include <cctype>

namespace tunquil::platform {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

std::string MidiOutputPort::Name() const {
    std::string name = client + ": " + port;
    if (system == MidiPortSystem::Jack)
        name += " (JACK)";
    return name;
}

std::vector<MidiOutputPort> ListMidiOutputPorts() {
    auto ports = ListAlsaOutputPorts();
    auto jack = ListJackOutputPorts();
    ports.insert(ports.end(), jack.begin(), jack.end());
    return ports;
}

bool FindMidiOutputPort(const std::string& name, MidiOutputPort& found) {
    for (const auto& port : ListMidiOutputPorts())
        if (port.Name() == name) {
            found = port;
            return true;
        }
    return false;
}

int MatchOutputName(const std::string& wanted, const std::vector<std::string>& names,
                    std::string& error) {
    const std::string key = Lower(wanted);
    std::vector<int> holding;
    for (int i = 0; i < int(names.size()); ++i) {
        const std::string name = Lower(names[i]);
        if (name == key)
            return i;
        if (!key.empty() && name.find(key) != std::string::npos)
            holding.push_back(i);
    }
    if (holding.size() == 1)
        return holding.front();
    auto list = [&](const std::vector<int>& which) {
        std::string text;
        for (int i : which)
            text += "\n  " + names[i];
        return text;
    };
    if (holding.empty()) {
        std::vector<int> all(names.size());
        for (int i = 0; i < int(names.size()); ++i)
            all[i] = i;
        error = "No MIDI output is named \"" + wanted + "\". The outputs are:" + list(all);
    } else {
        error = "\"" + wanted + "\" names more than one MIDI output:" + list(holding);
    }
    return -1;
}

std::unique_ptr<IMidiPortConnection> ConnectMidiPort(const MidiOutputPort& port, uint32_t& error) {
    error = kSeqOk;
    if (port.system == MidiPortSystem::Jack)
        return JackMidiPort::Connect(port, error);
    return AlsaMidiPort::Connect(port, error);
}

} // namespace tunquil::platform
