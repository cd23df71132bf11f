#include "platform/MidiSequence.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tunquil::platform {

namespace {

uint32_t BigEndian(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

uint32_t LittleEndian32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

bool HasTag(std::span<const uint8_t> b, std::size_t at, std::string_view tag) {
    return at + tag.size() <= b.size() && std::memcmp(b.data() + at, tag.data(), tag.size()) == 0;
}

// The Standard MIDI File inside a RIFF RMID container, or the bytes themselves.
std::span<const uint8_t> UnwrapRmid(std::span<const uint8_t> b) {
    if (!HasTag(b, 0, "RIFF"))
        return b;
    if (!HasTag(b, 8, "RMID"))
        throw MidiSequenceError("RIFF file that is not an RMID file");
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        std::size_t size = LittleEndian32(b.data() + at + 4);
        std::size_t start = at + 8;
        std::size_t available = std::min(size, b.size() - start);
        if (HasTag(b, at, "data"))
            return b.subspan(start, available);
        at = start + available + (size & 1);
    }
    throw MidiSequenceError("RMID file without a data chunk");
}

struct RawEvent {
    uint64_t tick;
    uint32_t offset;
    uint32_t size;
};

struct Tempo {
    uint64_t tick;
    uint32_t usPerQuarter;
};

class TrackReader {
public:
    // Without `pool` and `events` only the tempo map and the track's end are gathered.
    TrackReader(std::span<const uint8_t> track, std::vector<uint8_t>* pool,
                std::vector<RawEvent>* events, std::vector<Tempo>& tempos)
        : t_(track), pool_(pool), events_(events), tempos_(tempos) {}

    // Reads up to the End of Track (or up to damage, keeping what came before it) and returns
    // the track's last tick.
    uint64_t Read() {
        uint64_t tick = 0;
        uint8_t running = 0;
        while (at_ < t_.size()) {
            uint32_t delta;
            if (!Number(delta))
                break;
            tick += delta;
            if (at_ >= t_.size())
                break;
            uint8_t status = t_[at_];
            if (status >= 0x80)
                ++at_;
            else if (running)
                status = running;
            else
                break; // data byte with no status to run on: the rest is unreadable
            if (status == 0xFF) {
                if (at_ >= t_.size())
                    break;
                uint8_t type = t_[at_++];
                uint32_t len;
                if (!Number(len) || len > t_.size() - at_)
                    break;
                if (type == 0x2F)
                    return tick;
                if (type == 0x51 && len >= 3)
                    tempos_.push_back({tick, BigEndian(&t_[at_], 3)});
                at_ += len;
            } else if (status == 0xF0 || status == 0xF7) {
                uint32_t len;
                if (!Number(len) || len > t_.size() - at_)
                    break;
                // An F7 packet is sent as it stands; only one that carries a whole message
                // starting with F0 is something the synthesizer can take.
                if (status == 0xF0)
                    Add(tick, {0xF0}, t_.subspan(at_, len));
                else if (len > 0 && t_[at_] == 0xF0)
                    Add(tick, {}, t_.subspan(at_, len));
                at_ += len;
            } else if (status >= 0xF1) {
                break; // system common or real-time messages have no place in a file
            } else {
                running = status;
                std::size_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;
                if (dataBytes > t_.size() - at_)
                    break;
                Add(tick, {status}, t_.subspan(at_, dataBytes));
                at_ += dataBytes;
            }
            last_ = tick;
        }
        return last_;
    }

private:
    bool Number(uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            if (at_ >= t_.size())
                return false;
            uint8_t b = t_[at_++];
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }

    void Add(uint64_t tick, std::initializer_list<uint8_t> head, std::span<const uint8_t> rest) {
        if (!events_)
            return;
        RawEvent e{tick, uint32_t(pool_->size()), uint32_t(head.size() + rest.size())};
        pool_->insert(pool_->end(), head.begin(), head.end());
        pool_->insert(pool_->end(), rest.begin(), rest.end());
        events_->push_back(e);
    }

    std::span<const uint8_t> t_;
    std::vector<uint8_t>* pool_;
    std::vector<RawEvent>* events_;
    std::vector<Tempo>& tempos_;
    std::size_t at_ = 0;
    uint64_t last_ = 0;
};

// What every track of a file gives: its events (when asked for), the tempo map and the tick at
// which the last track ends.
struct Tracks {
    uint16_t division = 0;
    std::vector<Tempo> tempos;
    uint64_t endTick = 0;
};

Tracks ReadTracks(std::span<const uint8_t> bytes, std::vector<uint8_t>* pool,
                  std::vector<RawEvent>* raw) {
    auto smf = UnwrapRmid(bytes);
    if (!HasTag(smf, 0, "MThd") || smf.size() < 14)
        throw MidiSequenceError("no MIDI header");
    uint32_t headerSize = BigEndian(&smf[4], 4);
    if (headerSize < 6 || headerSize > smf.size() - 8)
        throw MidiSequenceError("damaged MIDI header");
    Tracks tracks;
    tracks.division = uint16_t(BigEndian(&smf[12], 2));
    if (tracks.division == 0)
        throw MidiSequenceError("MIDI header with no time division");

    int count = 0;
    std::size_t at = 8 + headerSize;
    while (at + 8 <= smf.size()) {
        std::size_t size = BigEndian(&smf[at + 4], 4);
        std::size_t start = at + 8;
        std::size_t available = std::min(size, smf.size() - start);
        if (HasTag(smf, at, "MTrk")) {
            uint64_t last =
                TrackReader(smf.subspan(start, available), pool, raw, tracks.tempos).Read();
            tracks.endTick = std::max(tracks.endTick, last);
            ++count;
        }
        at = start + available;
    }
    if (count == 0)
        throw MidiSequenceError("MIDI file without a track");
    std::stable_sort(tracks.tempos.begin(), tracks.tempos.end(),
                     [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
    return tracks;
}

// Tick to milliseconds through the tempo map, for ticks asked in rising order. SMPTE divisions
// count real time directly.
class TickClock {
public:
    explicit TickClock(const Tracks& tracks)
        : tempos_(tracks.tempos), division_(tracks.division),
          msPerTick_(500.0 / tracks.division) { // 120 beats per minute until a tempo says otherwise
        if (division_ & 0x8000) {
            int fps = -int8_t(division_ >> 8);
            int perFrame = division_ & 0xFF;
            double rate = fps == 29 ? 29.97 : fps;
            if (fps <= 0 || perFrame == 0)
                throw MidiSequenceError("MIDI header with a bad SMPTE division");
            smpteMsPerTick_ = 1000.0 / (rate * perFrame);
        }
    }

    double ToMs(uint64_t tick) {
        if (smpteMsPerTick_ > 0)
            return tick * smpteMsPerTick_;
        while (nextTempo_ < tempos_.size() && tempos_[nextTempo_].tick <= tick) {
            segMs_ += (tempos_[nextTempo_].tick - segTick_) * msPerTick_;
            segTick_ = tempos_[nextTempo_].tick;
            msPerTick_ = tempos_[nextTempo_].usPerQuarter / 1000.0 / division_;
            ++nextTempo_;
        }
        return segMs_ + (tick - segTick_) * msPerTick_;
    }

private:
    const std::vector<Tempo>& tempos_;
    uint16_t division_;
    double msPerTick_;
    double smpteMsPerTick_ = 0;
    std::size_t nextTempo_ = 0;
    uint64_t segTick_ = 0;
    double segMs_ = 0;
};

} // namespace

std::span<const uint8_t> MidiSequence::StandardMidiFileOf(std::span<const uint8_t> bytes) {
    return UnwrapRmid(bytes);
}

MidiSequence MidiSequence::Parse(std::span<const uint8_t> bytes) {
    MidiSequence seq;
    std::vector<RawEvent> raw;
    Tracks tracks = ReadTracks(bytes, &seq.pool_, &raw);
    // Tracks were appended one after the other: a stable sort keeps the earlier track's event
    // first at equal ticks, as a player reading them side by side would send them.
    std::stable_sort(raw.begin(), raw.end(),
                     [](const RawEvent& a, const RawEvent& b) { return a.tick < b.tick; });
    TickClock clock(tracks);
    seq.events_.reserve(raw.size());
    for (const auto& e : raw)
        seq.events_.push_back({clock.ToMs(e.tick), e.offset, e.size});
    seq.lengthMs_ = clock.ToMs(tracks.endTick);
    return seq;
}

double MidiSequence::MeasureLengthMs(std::span<const uint8_t> bytes) {
    // The events are what takes memory (many times the file's size); the length needs none.
    Tracks tracks = ReadTracks(bytes, nullptr, nullptr);
    return TickClock(tracks).ToMs(tracks.endTick);
}

std::size_t MidiSequence::FirstEventAtOrAfter(double ms) const {
    return std::lower_bound(events_.begin(), events_.end(), ms,
                            [](const SequenceEvent& e, double v) { return e.ms < v; }) -
           events_.begin();
}

} // namespace tunquil::platform
