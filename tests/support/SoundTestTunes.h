#pragma once
// Builds the bytes of small MIDI files for the sound tests: tracks from timed events, whole
// files from tracks, and RMID wrappers.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tunquil::test {

// A variable-length quantity as a MIDI file writes it.
inline std::string Vlq(uint32_t n) {
    std::string out(1, char(n & 0x7F));
    while (n >>= 7)
        out.insert(out.begin(), char(0x80 | (n & 0x7F)));
    return out;
}

inline std::string Be(uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// One track's events with absolute ticks; Bytes() writes them with deltas and an End of Track.
class TrackBuilder {
public:
    TrackBuilder& At(uint32_t tick, std::initializer_list<uint8_t> bytes) {
        events_.push_back({tick, std::string(bytes.begin(), bytes.end())});
        return *this;
    }
    TrackBuilder& Raw(uint32_t tick, std::string bytes) {
        events_.push_back({tick, std::move(bytes)});
        return *this;
    }
    TrackBuilder& Tempo(uint32_t tick, uint32_t usPerQuarter) {
        return Raw(tick, std::string("\xFF\x51\x03", 3) + Be(usPerQuarter, 3));
    }
    TrackBuilder& Note(uint32_t tick, uint32_t length, uint8_t channel, uint8_t key,
                       uint8_t velocity = 100) {
        At(tick, {uint8_t(0x90 | channel), key, velocity});
        return At(tick + length, {uint8_t(0x80 | channel), key, 0});
    }
    TrackBuilder& End(uint32_t tick) {
        end_ = tick;
        return *this;
    }
    std::string Bytes() const {
        auto sorted = events_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string body;
        uint32_t now = 0;
        for (const auto& [tick, bytes] : sorted) {
            body += Vlq(tick - now) + bytes;
            now = tick;
        }
        body += Vlq(end_ > now ? end_ - now : 0) + std::string("\xFF\x2F\x00", 3);
        return "MTrk" + Be(uint32_t(body.size()), 4) + body;
    }

private:
    std::vector<std::pair<uint32_t, std::string>> events_;
    uint32_t end_ = 0;
};

inline std::string SmfBytes(uint16_t format, uint16_t division,
                            const std::vector<TrackBuilder>& tracks) {
    std::string out =
        "MThd" + Be(6, 4) + Be(format, 2) + Be(uint16_t(tracks.size()), 2) + Be(division, 2);
    for (const auto& t : tracks)
        out += t.Bytes();
    return out;
}

inline std::string RmidBytes(const std::string& smf) {
    auto le = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    std::string data = "data" + le(uint32_t(smf.size())) + smf;
    if (smf.size() & 1)
        data += '\0';
    return "RIFF" + le(uint32_t(4 + data.size())) + "RMID" + data;
}

// A loud tune for listening tests (480 ticks per quarter at 120 beats per minute, so 0.96 ticks
// per millisecond): an organ plays a short chord every 250 ms from 0 to `soundUntilMs`, then
// nothing until `secondStartMs`, then one chord to `secondEndMs`; the tune ends at `endMs`.
// Reverb and chorus are off, so that silence comes as soon as the notes stop.
struct ListeningTune {
    uint32_t soundUntilMs = 2000;
    uint32_t secondStartMs = 3500;
    uint32_t secondEndMs = 4500;
    uint32_t endMs = 5000;

    static uint32_t Ticks(uint32_t ms) { return ms * 960 / 1000; }

    std::string Bytes() const {
        TrackBuilder t;
        t.Tempo(0, 500000);
        t.At(0, {0xC0, 19}).At(0, {0xB0, 7, 127}).At(0, {0xB0, 91, 0}).At(0, {0xB0, 93, 0});
        for (uint32_t ms = 0; ms < soundUntilMs; ms += 250)
            for (uint8_t key : {60, 64, 67})
                t.Note(Ticks(ms), Ticks(200), 0, key, 127);
        for (uint8_t key : {60, 64, 67})
            t.Note(Ticks(secondStartMs), Ticks(secondEndMs - secondStartMs), 0, key, 127);
        t.End(Ticks(endMs));
        return SmfBytes(0, 480, {t});
    }
};

} // namespace tunquil::test
