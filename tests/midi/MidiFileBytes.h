#pragma once
// Builds the bytes of small Standard MIDI Files for the reader's tests.

#include "midi/MidiData.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <typeinfo>
#include <vector>

namespace tunquil::test {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline std::string Quantity(uint32_t value) {
    std::string s(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        s.insert(s.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return s;
}

inline std::string BigEndian32(uint32_t v) {
    return Bytes({int(v >> 24) & 0xFF, int(v >> 16) & 0xFF, int(v >> 8) & 0xFF, int(v) & 0xFF});
}

inline std::string Chunk(const std::string& id, const std::string& body) {
    return id + BigEndian32(static_cast<uint32_t>(body.size())) + body;
}

// The events of one track chunk, each with its delta-time.
struct Track {
    std::string bytes;

    Track& Raw(uint32_t delta, const std::string& event) {
        bytes += Quantity(delta) + event;
        return *this;
    }
    Track& NoteOn(uint32_t delta, int key = 60) { return Raw(delta, Bytes({0x90, key, 100})); }
    Track& NoteOff(uint32_t delta, int key = 60) { return Raw(delta, Bytes({0x80, key, 0})); }
    Track& Meta(uint32_t delta, int type, const std::string& data) {
        return Raw(delta,
                   Bytes({0xFF, type}) + Quantity(static_cast<uint32_t>(data.size())) + data);
    }
    Track& Tempo(uint32_t delta, uint32_t microseconds) {
        return Meta(delta, 0x51,
                    Bytes({int(microseconds >> 16) & 0xFF, int(microseconds >> 8) & 0xFF,
                           int(microseconds) & 0xFF}));
    }
    Track& TimeSignature(uint32_t delta, int numerator, int exponent) {
        return Meta(delta, 0x58, Bytes({numerator, exponent, 24, 8}));
    }
    Track& Sysex(uint32_t delta, int status, const std::string& data) {
        return Raw(delta, Bytes({status}) + Quantity(static_cast<uint32_t>(data.size())) + data);
    }
    Track& End(uint32_t delta = 0) { return Meta(delta, 0x2F, ""); }
};

inline std::string Header(int format, int tracks, int division, int length = 6) {
    std::string body =
        Bytes({0, format, tracks >> 8, tracks & 0xFF, division >> 8, division & 0xFF});
    body.resize(static_cast<std::size_t>(length), '\x55');
    return "MThd" + BigEndian32(static_cast<uint32_t>(length)) + body;
}

inline std::string MidiFile(int division, const std::vector<Track>& tracks, int format = 1) {
    std::string s = Header(format, static_cast<int>(tracks.size()), division);
    for (const auto& t : tracks)
        s += Chunk("MTrk", t.bytes);
    return s;
}

inline void Load(TMidiData& midiData, const std::string& bytes) {
    midiData.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Loading `bytes` fails with exactly the exception class E and `message`, and leaves the
// reader cleared.
template <class E> void ExpectLoadFails(const std::string& bytes, const std::string& message) {
    TMidiData midiData;
    try {
        Load(midiData, bytes);
        ADD_FAILURE() << "loaded; expected \"" << message << "\"";
    } catch (const std::exception& e) {
        EXPECT_EQ(typeid(e), typeid(E)) << e.what();
        EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_FALSE(midiData.Active());
    EXPECT_EQ(midiData.TrackCount(), 0);
    EXPECT_EQ(midiData.PPQN(), 180);
    for (int i = 0; i < TMidiData::kMaxTracks; ++i)
        EXPECT_EQ(midiData.Tracks(i), nullptr);
}

} // namespace tunquil::test
