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

struct Tempo {
    uint64_t tick;
    uint32_t usPerQuarter;
};

struct TickedText {
    uint64_t tick;
    uint32_t track;
    uint8_t type;
    std::span<const uint8_t> bytes;
};

// One message to send, as the track holds it: an optional status byte the track left out
// (running status, or the F0 a system-exclusive event's length follows), then the rest.
struct TrackMessage {
    uint64_t tick;
    int headSize;
    uint8_t head;
    std::span<const uint8_t> rest;
    std::size_t Size() const { return std::size_t(headSize) + rest.size(); }
    uint8_t At(std::size_t i) const { return headSize ? (i == 0 ? head : rest[i - 1]) : rest[i]; }
};

// Reads one track message by message, up to its End of Track or up to damage, keeping what
// came before the damage.
class TrackReader {
public:
    // With `tempos`, the track's tempo changes are gathered as they go by; with `texts`, its
    // text and lyric events.
    TrackReader(std::span<const uint8_t> track, std::vector<Tempo>* tempos,
                std::vector<TickedText>* texts = nullptr, uint32_t trackIndex = 0)
        : t_(track), tempos_(tempos), texts_(texts), trackIndex_(trackIndex) {}

    // The next message to send; false at the track's end.
    bool Next(TrackMessage& m) {
        while (!done_ && at_ < t_.size()) {
            uint32_t delta;
            if (!Number(delta))
                break;
            tick_ += delta;
            if (at_ >= t_.size())
                break;
            uint8_t status = t_[at_];
            if (status >= 0x80)
                ++at_;
            else if (running_)
                status = running_;
            else
                break; // data byte with no status to run on: the rest is unreadable
            if (status == 0xFF) {
                if (at_ >= t_.size())
                    break;
                uint8_t type = t_[at_++];
                uint32_t len;
                if (!Number(len) || len > t_.size() - at_)
                    break;
                if (type == 0x2F) {
                    last_ = tick_;
                    done_ = true;
                    return false;
                }
                if (type == 0x51 && len >= 3 && tempos_)
                    tempos_->push_back({tick_, BigEndian(&t_[at_], 3)});
                if ((type == SequenceText::kText || type == SequenceText::kLyric) && texts_)
                    texts_->push_back({tick_, trackIndex_, type, t_.subspan(at_, len)});
                at_ += len;
                last_ = tick_;
            } else if (status == 0xF0 || status == 0xF7) {
                uint32_t len;
                if (!Number(len) || len > t_.size() - at_)
                    break;
                auto data = t_.subspan(at_, len);
                at_ += len;
                last_ = tick_;
                // An F7 packet is sent as it stands; only one that carries a whole message
                // starting with F0 is something the synthesizer can take.
                if (status == 0xF0)
                    return Give(m, 1, 0xF0, data);
                if (len > 0 && data[0] == 0xF0)
                    return Give(m, 0, 0, data);
            } else if (status >= 0xF1) {
                break; // system common or real-time messages have no place in a file
            } else {
                running_ = status;
                std::size_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;
                if (dataBytes > t_.size() - at_)
                    break;
                auto data = t_.subspan(at_, dataBytes);
                at_ += dataBytes;
                last_ = tick_;
                return Give(m, 1, status, data);
            }
        }
        done_ = true;
        return false;
    }

    // Where the track ends: its End of Track, or its last whole event.
    uint64_t LastTick() const { return last_; }

private:
    bool Give(TrackMessage& m, int headSize, uint8_t head, std::span<const uint8_t> rest) {
        m = {tick_, headSize, head, rest};
        return true;
    }

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

    std::span<const uint8_t> t_;
    std::vector<Tempo>* tempos_;
    std::vector<TickedText>* texts_;
    uint32_t trackIndex_;
    std::size_t at_ = 0;
    uint64_t tick_ = 0, last_ = 0;
    uint8_t running_ = 0;
    bool done_ = false;
};

// What a first pass over every track gives: the tracks, the tempo map, the tick at which the
// last track ends, and how much room the events take.
struct Tracks {
    uint16_t division = 0;
    std::vector<std::span<const uint8_t>> tracks;
    std::vector<Tempo> tempos;
    uint64_t endTick = 0;
    std::size_t events = 0, sysexEvents = 0, sysexBytes = 0;
};

Tracks ReadTracks(std::span<const uint8_t> bytes, bool countEvents,
                  std::vector<TickedText>* texts = nullptr) {
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

    std::size_t at = 8 + headerSize;
    while (at + 8 <= smf.size()) {
        std::size_t size = BigEndian(&smf[at + 4], 4);
        std::size_t start = at + 8;
        std::size_t available = std::min(size, smf.size() - start);
        if (HasTag(smf, at, "MTrk")) {
            auto track = smf.subspan(start, available);
            TrackReader reader(track, &tracks.tempos, texts, uint32_t(tracks.tracks.size()));
            TrackMessage m;
            while (reader.Next(m)) {
                if (!countEvents)
                    continue;
                ++tracks.events;
                if (m.At(0) == 0xF0) {
                    ++tracks.sysexEvents;
                    tracks.sysexBytes += m.Size();
                }
            }
            tracks.endTick = std::max(tracks.endTick, reader.LastTick());
            tracks.tracks.push_back(track);
        }
        at = start + available;
    }
    if (tracks.tracks.empty())
        throw MidiSequenceError("MIDI file without a track");
    std::stable_sort(tracks.tempos.begin(), tracks.tempos.end(),
                     [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
    return tracks;
}

// The tempo map as stretches of constant tempo. SMPTE divisions count real time directly.
std::vector<MidiSequence::TempoSegment> TempoMapOf(const Tracks& tracks) {
    const uint16_t division = tracks.division;
    if (division & 0x8000) {
        int fps = -int8_t(division >> 8);
        int perFrame = division & 0xFF;
        double rate = fps == 29 ? 29.97 : fps;
        if (fps <= 0 || perFrame == 0)
            throw MidiSequenceError("MIDI header with a bad SMPTE division");
        return {{0, 0, 1000.0 / (rate * perFrame)}};
    }
    // 120 beats per minute until a tempo says otherwise.
    std::vector<MidiSequence::TempoSegment> map{{0, 0, 500.0 / division}};
    for (const Tempo& t : tracks.tempos) {
        auto& last = map.back();
        double ms = last.ms + double(t.tick - last.tick) * last.msPerTick;
        double msPerTick = t.usPerQuarter / 1000.0 / division;
        if (t.tick == last.tick)
            last.msPerTick = msPerTick; // the later of two tempos at one tick holds
        else
            map.push_back({t.tick, ms, msPerTick});
    }
    return map;
}

double TimeOn(const std::vector<MidiSequence::TempoSegment>& map, uint64_t tick) {
    auto after = std::upper_bound(
        map.begin(), map.end(), tick,
        [](uint64_t t, const MidiSequence::TempoSegment& s) { return t < s.tick; });
    const auto& s = *std::prev(after); // the first segment starts at tick 0
    return s.ms + double(tick - s.tick) * s.msPerTick;
}

} // namespace

std::span<const uint8_t> MidiSequence::StandardMidiFileOf(std::span<const uint8_t> bytes) {
    return UnwrapRmid(bytes);
}

MidiSequence MidiSequence::Parse(std::span<const uint8_t> bytes) {
    // Two passes, so that the events are gathered straight into their final place, in order:
    // the first counts them and reads the tempo map, the second merges the tracks.
    Tracks tracks = ReadTracks(bytes, true);
    if (tracks.endTick > UINT32_MAX)
        throw MidiSequenceError("MIDI file too long to play");
    if (tracks.sysexEvents >= (1u << 24) || tracks.sysexBytes > UINT32_MAX)
        throw MidiSequenceError("MIDI file with too many system-exclusive messages");
    MidiSequence seq;
    seq.tempoMap_ = TempoMapOf(tracks);
    seq.lengthMs_ = seq.TickToMs(tracks.endTick);
    seq.events_.reserve(tracks.events);
    seq.sysexPool_.reserve(tracks.sysexBytes);
    seq.sysexStart_.reserve(tracks.sysexEvents + 1);

    // A merge of the tracks by tick; at equal ticks the earlier track's event goes first, as a
    // player reading them side by side would send them.
    struct Head {
        TrackMessage m;
        std::size_t track;
    };
    auto later = [](const Head& a, const Head& b) {
        return a.m.tick != b.m.tick ? a.m.tick > b.m.tick : a.track > b.track;
    };
    std::vector<TrackReader> readers;
    std::vector<Head> heads;
    readers.reserve(tracks.tracks.size());
    for (std::size_t i = 0; i < tracks.tracks.size(); ++i) {
        readers.emplace_back(tracks.tracks[i], nullptr);
        Head h{{}, i};
        if (readers.back().Next(h.m))
            heads.push_back(h);
    }
    std::make_heap(heads.begin(), heads.end(), later);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        Head& h = heads.back();
        const TrackMessage& m = h.m;
        SequenceEvent e{uint32_t(m.tick), {0, 0, 0}, 0};
        if (m.At(0) == 0xF0) {
            uint32_t index = uint32_t(seq.sysexStart_.size());
            seq.sysexStart_.push_back(uint32_t(seq.sysexPool_.size()));
            if (m.headSize)
                seq.sysexPool_.push_back(m.head);
            seq.sysexPool_.insert(seq.sysexPool_.end(), m.rest.begin(), m.rest.end());
            e.data[0] = uint8_t(index);
            e.data[1] = uint8_t(index >> 8);
            e.data[2] = uint8_t(index >> 16);
            e.size = SequenceEvent::kSystemExclusive;
        } else {
            e.size = uint8_t(m.Size());
            for (std::size_t i = 0; i < m.Size(); ++i)
                e.data[i] = m.At(i);
        }
        seq.events_.push_back(e);
        if (readers[h.track].Next(h.m))
            std::push_heap(heads.begin(), heads.end(), later);
        else
            heads.pop_back();
    }
    seq.sysexStart_.push_back(uint32_t(seq.sysexPool_.size()));
    return seq;
}

double MidiSequence::MeasureLengthMs(std::span<const uint8_t> bytes) {
    // The events are what takes memory; the length needs none of them.
    Tracks tracks = ReadTracks(bytes, false);
    return TimeOn(TempoMapOf(tracks), tracks.endTick);
}

std::vector<SequenceText> MidiSequence::ReadTexts(std::span<const uint8_t> bytes) {
    std::vector<TickedText> ticked;
    Tracks tracks = ReadTracks(bytes, false, &ticked);
    // Gathered track by track: a stable sort by tick puts the earlier track first at equal
    // ticks, as the merge of Parse sends them.
    std::stable_sort(ticked.begin(), ticked.end(),
                     [](const TickedText& a, const TickedText& b) { return a.tick < b.tick; });
    const auto map = TempoMapOf(tracks);
    std::vector<SequenceText> texts;
    texts.reserve(ticked.size());
    for (const TickedText& t : ticked)
        texts.push_back(
            {TimeOn(map, t.tick), t.track, t.type, std::string(t.bytes.begin(), t.bytes.end())});
    return texts;
}

double MidiSequence::TickToMs(uint64_t tick) const {
    return TimeOn(tempoMap_, tick);
}

std::span<const uint8_t> MidiSequence::Message(const SequenceEvent& e) const {
    if (e.size != SequenceEvent::kSystemExclusive)
        return {e.data, e.size};
    std::size_t index = e.data[0] | e.data[1] << 8 | e.data[2] << 16;
    return std::span<const uint8_t>(sysexPool_)
        .subspan(sysexStart_[index], sysexStart_[index + 1] - sysexStart_[index]);
}

std::size_t MidiSequence::FirstEventAtOrAfter(double ms) const {
    return std::lower_bound(events_.begin(), events_.end(), ms,
                            [this](const SequenceEvent& e, double v) { return Ms(e) < v; }) -
           events_.begin();
}

std::size_t MidiSequence::FirstEventAfter(double ms) const {
    return std::upper_bound(events_.begin(), events_.end(), ms,
                            [this](double v, const SequenceEvent& e) { return v < Ms(e); }) -
           events_.begin();
}

} // namespace tunquil::platform
