#pragma once
// A JACK client with one MIDI input that keeps every message it receives with the frame it
// came at: the far end of a cable for the MIDI port tests and the port benchmark. The server is
// the one scripts/test-services.sh starts (JACK_DEFAULT_SERVER).

#include "platform/MidiPorts.h"

#include <cstdint>
#include <cstdlib>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <mutex>
#include <utility>
#include <string>
#include <vector>

namespace tunquil::test {

class JackReceiver {
public:
    // The frame a message came at, and that frame's moment on the server's clock in
    // microseconds: a dummy backend's frames run slower than the clock when the machine is
    // busy, so times are compared as moments, not as frame counts.
    struct Event {
        jack_nframes_t frame;
        jack_time_t usecs;
        std::vector<uint8_t> bytes;
        double MsSince(const Event& earlier) const {
            return double(int64_t(usecs - earlier.usecs)) / 1000.0;
        }
    };

    explicit JackReceiver(const char* name = "receiver") {
        jack_status_t status;
        client_ = jack_client_open(name, JackNoStartServer, &status);
        if (!client_)
            return;
        port_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        events_.reserve(1 << 16);
        jack_set_process_callback(client_, Process, this);
        if (!port_ || jack_activate(client_) != 0)
            Close();
    }
    ~JackReceiver() { Close(); }
    JackReceiver(const JackReceiver&) = delete;
    JackReceiver& operator=(const JackReceiver&) = delete;

    // Why there is no receiver: no JACK server, as a sentence; empty when there is one.
    static std::string UnavailableReason() {
        jack_set_error_function([](const char*) {}); // the reason is said below, once
        jack_status_t status;
        jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
        if (!probe)
            return "no JACK server is running (scripts/test-services.sh starts one)";
        jack_client_close(probe);
        return {};
    }
    // Whether the test command started a JACK server for the tests: then a missing one is a
    // fault of the run, not a reason to skip.
    static bool Required() {
        const char* required = std::getenv("TUNQUIL_JACK_REQUIRED");
        return required && std::string(required) == "1";
    }

    bool Ok() const { return client_ != nullptr; }
    // The output a device plays to, to reach this receiver.
    platform::MidiOutputPort Port() const {
        return {platform::MidiPortSystem::Jack, jack_get_client_name(client_), "midi_in"};
    }
    double SampleRate() const { return double(jack_get_sample_rate(client_)); }
    std::vector<Event> Events() const {
        std::lock_guard hold(lock_);
        return events_;
    }
    std::vector<Event> Take() {
        std::lock_guard hold(lock_);
        return std::exchange(events_, {});
    }
    // The receiver goes away, as a synthesizer program that ends.
    void Close() {
        if (client_)
            jack_client_close(client_);
        client_ = nullptr;
    }

private:
    static int Process(jack_nframes_t frames, void* self) {
        auto* r = static_cast<JackReceiver*>(self);
        void* buffer = jack_port_get_buffer(r->port_, frames);
        const jack_nframes_t start = jack_last_frame_time(r->client_);
        const uint32_t count = jack_midi_get_event_count(buffer);
        if (count == 0)
            return 0;
        std::lock_guard hold(r->lock_);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0)
                r->events_.push_back({start + event.time,
                                      jack_frames_to_time(r->client_, start + event.time),
                                      {event.buffer, event.buffer + event.size}});
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    mutable std::mutex lock_;
    std::vector<Event> events_;
};

// Opens a test that needs the JACK server: skips it when there is none, and fails it instead
// when the test command said there must be one.
#define TUNQUIL_NEED_JACK()                                                                        \
    if (std::string reason_ = ::tunquil::test::JackReceiver::UnavailableReason();                  \
        reason_.empty()) {                                                                         \
    } else if (::tunquil::test::JackReceiver::Required())                                          \
        FAIL() << reason_ << " (TUNQUIL_JACK_REQUIRED is set)";                                    \
    else                                                                                           \
        GTEST_SKIP() << reason_

} // namespace tunquil::test
