#pragma once
// The system's MIDI outputs a tune can be played to: the ALSA sequencer's ports (a synthesizer
// on a USB MIDI cable, one running as a service) and JACK's MIDI inputs, each by a name a
// person reads (client and port, no numbers), and the connection a device sends through.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunquil::platform {

enum class MidiPortSystem { Alsa, Jack };

struct MidiOutputPort {
    MidiPortSystem system = MidiPortSystem::Alsa;
    std::string client;
    std::string port;
    // "client: port", with " (JACK)" after a JACK port's.
    std::string Name() const;
};

// The name the outputs list gives our own synthesizer, always first.
inline constexpr const char* kBuiltInSynthesizer = "Built-in synthesizer";

// Looked up afresh at every call, so that a synthesizer plugged in meanwhile is there. A
// system that is not running (no sequencer device, no JACK server) gives no ports.
std::vector<MidiOutputPort> ListMidiOutputPorts();

// The port of that name among the ports there are now.
bool FindMidiOutputPort(const std::string& name, MidiOutputPort& found);

// The output that `wanted` names among `names`: the one of that name, case aside, or else the
// only one that holds it. Answers the index, or -1 with `error` saying why and naming them.
int MatchOutputName(const std::string& wanted, const std::vector<std::string>& names,
                    std::string& error);

// An open connection to one port.
class IMidiPortConnection {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~IMidiPortConnection() = default;
    // Sends one whole message (a channel message or a system-exclusive one with its F0 and F7),
    // meant to sound at `due`; messages go out in the order sent.
    virtual void Send(const uint8_t* bytes, uint32_t size, Clock::time_point due) = 0;
    // Whether the port has gone away (the synthesizer unplugged, its program ended).
    virtual bool Gone() const = 0;
    // Waits until what was sent has left.
    virtual void Drain() {}
    // How long ahead of its moment the connection wants a message, to place it there itself;
    // zero when it sends each message at once.
    virtual Clock::duration Lookahead() const { return Clock::duration::zero(); }
    // Drops what was sent ahead and has not gone out yet, but its note-offs, which go at once:
    // a stopped tune must not play on for the lead, nor leave a note hanging.
    virtual void Discard() {}
};

// Connects to the port; none, with kSeqPortNotFound in `error`, when it is not there.
std::unique_ptr<IMidiPortConnection> ConnectMidiPort(const MidiOutputPort& port, uint32_t& error);

} // namespace tunquil::platform
