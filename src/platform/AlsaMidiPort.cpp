#include "platform/AlsaMidiPort.h"

#include "platform/SequencerDevice.h"

#include <cerrno>
#include <cstring>

namespace tunquil::platform {

namespace {

constexpr const char* kClientName = "Tunquil";

// Without this the library prints its complaints (no sequencer device on this machine) to the
// terminal; the caller reports what matters in its own words.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

snd_seq_t* OpenSequencer() {
    static const bool quiet = [] {
        snd_lib_error_set_handler(Quiet);
        return true;
    }();
    (void)quiet;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, kClientName);
    return seq;
}

// Calls `each` with every port another program can write to, with its address and names.
template <typename Each> void ForEachWritablePort(snd_seq_t* seq, Each&& each) {
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == self)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned needed = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
            const unsigned caps = snd_seq_port_info_get_capability(port);
            if ((caps & needed) != needed || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                continue;
            MidiOutputPort found{MidiPortSystem::Alsa, snd_seq_client_info_get_name(client),
                                 snd_seq_port_info_get_name(port)};
            each(found, *snd_seq_port_info_get_addr(port));
        }
    }
}

} // namespace

bool EncodeAlsaEvent(const uint8_t* b, uint32_t size, snd_seq_event_t& ev) {
    snd_seq_ev_clear(&ev);
    if (size == 0)
        return false;
    if (b[0] == 0xF0) {
        if (size < 2 || b[size - 1] != 0xF7)
            return false;
        snd_seq_ev_set_sysex(&ev, size, const_cast<uint8_t*>(b));
        return true;
    }
    const uint8_t kind = b[0] & 0xF0, channel = b[0] & 0x0F;
    const uint32_t needed = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    if (b[0] < 0x80 || kind == 0xF0 || size < needed)
        return false;
    const uint8_t d1 = b[1] & 0x7F, d2 = needed > 2 ? b[2] & 0x7F : 0;
    switch (kind) {
    case 0x80:
        snd_seq_ev_set_noteoff(&ev, channel, d1, d2);
        break;
    case 0x90:
        // A note-on of velocity 0 stays one: the receiver sees the bytes the tune holds.
        snd_seq_ev_set_noteon(&ev, channel, d1, d2);
        break;
    case 0xA0:
        snd_seq_ev_set_keypress(&ev, channel, d1, d2);
        break;
    case 0xB0:
        snd_seq_ev_set_controller(&ev, channel, d1, d2);
        break;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&ev, channel, d1);
        break;
    case 0xD0:
        snd_seq_ev_set_chanpress(&ev, channel, d1);
        break;
    case 0xE0:
        snd_seq_ev_set_pitchbend(&ev, channel, int(d1 | (d2 << 7)) - 8192);
        break;
    }
    return true;
}

std::vector<MidiOutputPort> ListAlsaOutputPorts() {
    std::vector<MidiOutputPort> ports;
    snd_seq_t* seq = OpenSequencer();
    if (!seq)
        return ports;
    ForEachWritablePort(
        seq, [&](const MidiOutputPort& port, const snd_seq_addr_t&) { ports.push_back(port); });
    snd_seq_close(seq);
    return ports;
}

std::unique_ptr<AlsaMidiPort> AlsaMidiPort::Connect(const MidiOutputPort& wanted, uint32_t& error) {
    error = kSeqPortNotFound;
    std::unique_ptr<AlsaMidiPort> port(new AlsaMidiPort);
    port->seq_ = OpenSequencer();
    if (!port->seq_)
        return nullptr;
    bool found = false;
    ForEachWritablePort(port->seq_, [&](const MidiOutputPort& p, const snd_seq_addr_t& address) {
        if (!found && p.client == wanted.client && p.port == wanted.port) {
            port->destination_ = address;
            found = true;
        }
    });
    if (!found)
        return nullptr;
    port->ownPort_ = snd_seq_create_simple_port(
        port->seq_, "Tunquil output", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port->ownPort_ < 0)
        return nullptr;
    // Room in the kernel for the long system-exclusive messages some tunes carry (sample dumps,
    // a module's whole set-up); the default holds about 14 kB.
    snd_seq_set_client_pool_output(port->seq_, 8192);
    error = kSeqOk;
    return port;
}

AlsaMidiPort::~AlsaMidiPort() {
    if (seq_) {
        snd_seq_drain_output(seq_);
        snd_seq_close(seq_);
    }
}

void AlsaMidiPort::Send(const uint8_t* bytes, uint32_t size, Clock::time_point) {
    if (gone_)
        return;
    snd_seq_event_t ev;
    if (!EncodeAlsaEvent(bytes, size, ev))
        return;
    snd_seq_ev_set_source(&ev, ownPort_);
    snd_seq_ev_set_dest(&ev, destination_.client, destination_.port);
    snd_seq_ev_set_direct(&ev);
    int result = snd_seq_event_output_direct(seq_, &ev);
    // A destination that no longer exists is the port gone; anything else (a message too long
    // for the kernel's pool) loses that one message only.
    if (result == -ENOENT || result == -ENXIO || result == -ENODEV)
        gone_ = true;
}

bool AlsaMidiPort::Gone() const {
    if (gone_)
        return true;
    snd_seq_port_info_t* info;
    snd_seq_port_info_alloca(&info);
    return snd_seq_get_any_port_info(seq_, destination_.client, destination_.port, info) < 0;
}

} // namespace tunquil::platform
