#pragma once
// A connection to a JACK MIDI input. JACK moves MIDI once a period, so each message is placed at
// the frame of its due time one period ahead: every message comes late by the same period, and
// none by how late the clock thread woke. Messages are taken a little ahead of their moment for
// that, so that a clock thread that woke late on a busy machine still meets it.

#include "platform/MidiPorts.h"

#include <atomic>
#include <jack/jack.h>
#include <jack/ringbuffer.h>

namespace tunquil::platform {

// The MIDI inputs of the JACK server, ours left out; none when no server runs.
std::vector<MidiOutputPort> ListJackOutputPorts();

class JackMidiPort final : public IMidiPortConnection {
public:
    static std::unique_ptr<JackMidiPort> Connect(const MidiOutputPort& port, uint32_t& error);
    ~JackMidiPort() override;

    void Send(const uint8_t* bytes, uint32_t size, Clock::time_point due) override;
    bool Gone() const override { return gone_.load(); }
    void Drain() override;
    Clock::duration Lookahead() const override { return std::chrono::milliseconds(50); }
    void Discard() override;
    // Messages that could not be sent: a system-exclusive one longer than a period of JACK
    // carries, or one that found the queue full for a long while.
    uint32_t Dropped() const { return dropped_.load(); }

private:
    JackMidiPort() = default;
    static int Process(jack_nframes_t frames, void* self);
    static void ServerGone(void* self);
    static void ConnectionChanged(jack_port_id_t a, jack_port_id_t b, int connect, void* self);

    struct Header {
        jack_nframes_t frame;
        uint32_t size;
        uint32_t serial;
    };

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    jack_ringbuffer_t* queue_ = nullptr;
    std::atomic<bool> connected_{false};
    std::atomic<bool> gone_{false};
    std::atomic<uint32_t> dropped_{0};
    uint32_t nextSerial_ = 0;               // the sender's
    std::atomic<uint32_t> discardBelow_{0}; // messages of a lower serial are dropped
    std::vector<uint8_t> record_;
};

} // namespace tunquil::platform
