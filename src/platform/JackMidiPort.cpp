#include "platform/JackMidiPort.h"

#include "platform/SequencerDevice.h"

#include <cstring>
#include <jack/midiport.h>
#include <thread>

namespace tunquil::platform {

namespace {

constexpr const char* kClientName = "Tunquil";
// Room for a second or so of a dense tune and for the long system-exclusive messages.
constexpr std::size_t kQueueBytes = 1 << 20;
// How long a message waits for room in a full queue before it is given up.
constexpr auto kLongestWait = std::chrono::seconds(2);

// The library reports a server that is not running on the terminal; a missing server is an
// ordinary answer here (no JACK ports), reported in our own words where it matters.
void Quiet(const char*) {}

jack_client_t* OpenClient() {
    static const bool quiet = [] {
        jack_set_error_function(Quiet);
        jack_set_info_function(Quiet);
        return true;
    }();
    (void)quiet;
    jack_status_t status;
    return jack_client_open(kClientName, JackNoStartServer, &status);
}

bool IsOurs(const std::string& client) {
    return client.rfind(kClientName, 0) == 0;
}

} // namespace

std::vector<MidiOutputPort> ListJackOutputPorts() {
    std::vector<MidiOutputPort> ports;
    jack_client_t* client = OpenClient();
    if (!client)
        return ports;
    if (const char** names =
            jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput)) {
        for (const char** name = names; *name; ++name) {
            std::string full = *name;
            auto colon = full.find(':');
            if (colon == std::string::npos || IsOurs(full.substr(0, colon)))
                continue;
            ports.push_back({MidiPortSystem::Jack, full.substr(0, colon), full.substr(colon + 1)});
        }
        jack_free(names);
    }
    jack_client_close(client);
    return ports;
}

std::unique_ptr<JackMidiPort> JackMidiPort::Connect(const MidiOutputPort& wanted, uint32_t& error) {
    error = kSeqPortNotFound;
    std::unique_ptr<JackMidiPort> port(new JackMidiPort);
    port->client_ = OpenClient();
    if (!port->client_)
        return nullptr;
    const std::string destination = wanted.client + ":" + wanted.port;
    if (!jack_port_by_name(port->client_, destination.c_str()))
        return nullptr;
    port->queue_ = jack_ringbuffer_create(kQueueBytes);
    port->port_ =
        jack_port_register(port->client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port->queue_ || !port->port_)
        return nullptr;
    jack_set_process_callback(port->client_, Process, port.get());
    jack_on_shutdown(port->client_, ServerGone, port.get());
    jack_set_port_connect_callback(port->client_, ConnectionChanged, port.get());
    if (jack_activate(port->client_) != 0)
        return nullptr;
    if (jack_connect(port->client_, jack_port_name(port->port_), destination.c_str()) != 0)
        return nullptr;
    port->connected_ = true;
    error = kSeqOk;
    return port;
}

JackMidiPort::~JackMidiPort() {
    if (client_) {
        if (connected_ && !gone_)
            Drain();
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    if (queue_)
        jack_ringbuffer_free(queue_);
}

void JackMidiPort::Drain() {
    // Two periods carry whatever is queued; a server that has stopped turning is not waited for.
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    while (!gone_ && jack_ringbuffer_read_space(queue_) > 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void JackMidiPort::Send(const uint8_t* bytes, uint32_t size, Clock::time_point due) {
    if (gone_ || size == 0)
        return;
    // The due moment on JACK's clock, by how far it lies from now on ours.
    const auto now = Clock::now();
    const int64_t fromNowUs =
        std::chrono::duration_cast<std::chrono::microseconds>(due - now).count();
    const jack_time_t at = jack_time_t(int64_t(jack_get_time()) + fromNowUs);
    Header header{jack_time_to_frames(client_, at) + jack_get_buffer_size(client_), size,
                  nextSerial_++};
    record_.resize(sizeof header + size);
    std::memcpy(record_.data(), &header, sizeof header);
    std::memcpy(record_.data() + sizeof header, bytes, size);
    const auto giveUp = now + kLongestWait;
    while (jack_ringbuffer_write_space(queue_) < record_.size()) {
        if (gone_ || Clock::now() > giveUp) {
            ++dropped_;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // One write, so that the process callback never sees half a message.
    jack_ringbuffer_write(queue_, reinterpret_cast<const char*>(record_.data()), record_.size());
}

void JackMidiPort::Discard() {
    discardBelow_ = nextSerial_;
}

namespace {

bool IsNoteOff(const uint8_t* m, uint32_t size) {
    return size == 3 && ((m[0] & 0xF0) == 0x80 || ((m[0] & 0xF0) == 0x90 && m[2] == 0));
}

} // namespace

int JackMidiPort::Process(jack_nframes_t frames, void* self) {
    auto* p = static_cast<JackMidiPort*>(self);
    void* buffer = jack_port_get_buffer(p->port_, frames);
    jack_midi_clear_buffer(buffer);
    const jack_nframes_t start = jack_last_frame_time(p->client_);
    jack_nframes_t last = 0;
    Header header;
    while (jack_ringbuffer_read_space(p->queue_) >= sizeof header) {
        jack_ringbuffer_peek(p->queue_, reinterpret_cast<char*>(&header), sizeof header);
        // Frame counts wrap around; the difference does not.
        int32_t offset = int32_t(header.frame - start);
        if (int32_t(header.serial - p->discardBelow_.load()) < 0) {
            uint8_t m[sizeof header + 3];
            const bool off =
                header.size == 3 &&
                jack_ringbuffer_peek(p->queue_, reinterpret_cast<char*>(m), sizeof m) == sizeof m &&
                IsNoteOff(m + sizeof header, 3);
            if (!off) {
                if (jack_ringbuffer_read_space(p->queue_) < sizeof header + header.size)
                    break;
                jack_ringbuffer_read_advance(p->queue_, sizeof header + header.size);
                continue;
            }
            offset = 0; // a note-off of what was cut short goes now
        }
        if (offset >= int32_t(frames))
            break;
        jack_nframes_t at = offset < 0 ? 0 : jack_nframes_t(offset);
        if (at < last)
            at = last; // a port's events must not go back in time within a period
        if (header.size > jack_midi_max_event_size(buffer)) {
            if (jack_midi_get_event_count(buffer) > 0)
                break; // on in the next period, where there is room for it
            jack_ringbuffer_read_advance(p->queue_, sizeof header + header.size);
            ++p->dropped_; // longer than a period can ever carry
            continue;
        }
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, at, header.size);
        if (!data)
            break;
        jack_ringbuffer_read_advance(p->queue_, sizeof header);
        jack_ringbuffer_read(p->queue_, reinterpret_cast<char*>(data), header.size);
        last = at;
    }
    return 0;
}

void JackMidiPort::ServerGone(void* self) {
    static_cast<JackMidiPort*>(self)->gone_ = true;
}

void JackMidiPort::ConnectionChanged(jack_port_id_t, jack_port_id_t, int connect, void* self) {
    auto* p = static_cast<JackMidiPort*>(self);
    // The port we play to went away (its program ended) or was disconnected by someone else.
    if (!connect && p->connected_ && jack_port_connected(p->port_) == 0)
        p->gone_ = true;
}

} // namespace tunquil::platform
