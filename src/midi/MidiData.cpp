#include "midi/MidiData.h"

#include "base/Files.h"
#include "midi/MidiErrors.h"
#include "midi/MidiProbe.h"

#include <cstring>

namespace tunquil {

namespace {

constexpr std::array<uint8_t, 6> kClearedHeader{0x00, 0x01, 0x00, 0x00, 0x00, 0xB4};

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

} // namespace

TMidiData::TMidiData() : header_(kClearedHeader) {}

int TMidiData::PPQN() const {
    return Word(4);
}

void TMidiData::SetPPQN(int value) {
    header_[4] = static_cast<uint8_t>(value >> 8);
    header_[5] = static_cast<uint8_t>(value);
}

TMidiTrack* TMidiData::Tracks(int i) const {
    if (i < 0 || i >= kMaxTracks)
        return nullptr;
    return tracks_[static_cast<std::size_t>(i)].get();
}

void TMidiData::Clear() {
    for (auto& t : tracks_)
        t.reset();
    extraHeader_.clear();
    header_ = kClearedHeader;
    active_ = false;
}

void TMidiData::SetActive(bool value) {
    if (value == active_)
        return;
    if (!value) {
        Clear();
        return;
    }
    if (fileName_.empty()) {
        Clear();
        active_ = true;
        return;
    }
    Clear();
    // The reader parses from one buffer rather than chunk by chunk.
    std::string file = ReadInputFile(fileName_, kLargestTuneFile);
    Load(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

void TMidiData::LoadFromMemory(const uint8_t* bytes, std::size_t size) {
    Clear();
    Load(bytes, size);
}

void TMidiData::Load(const uint8_t* bytes, std::size_t size) {
    // Every length taken from the file is compared with the bytes that remain before anything
    // is allocated or copied for it.
    std::size_t p = 0;
    auto remaining = [&] { return size - p; };
    try {
        if (remaining() < 4)
            throw EStreamError("Stream read error");
        if (std::memcmp(bytes, "MThd", 4) != 0)
            throw EMidiData("Invalid MIDI file ID");
        p = 4;
        if (remaining() < 4)
            throw EStreamError("Stream read error");
        uint32_t headerLength = ReadBigEndian32(bytes + p);
        p += 4;
        if (headerLength <= 5)
            throw EMidiData("Invalid MIDI header size");
        if (remaining() < 6)
            throw EStreamError("Stream read error");
        std::memcpy(header_.data(), bytes + p, 6);
        p += 6;
        if (headerLength > 6) {
            if (remaining() < headerLength - 6)
                throw EStreamError("Stream read error");
            extraHeader_.assign(bytes + p, bytes + p + (headerLength - 6));
            p += headerLength - 6;
        }

        int trackCount = TrackCount();
        // Only 256 track slots exist. A file that claims more is refused outright: dropping
        // its later chunks would give a wrong playing time without a word.
        if (trackCount > kMaxTracks)
            throw EMidiData("Too many tracks");
        for (int i = 0; i < trackCount; ++i) {
            if (remaining() < 4 || std::memcmp(bytes + p, "MTrk", 4) != 0)
                throw EMidiData("Invalid track start ID");
            p += 4;
            if (remaining() < 4)
                throw EStreamError("Stream read error");
            uint32_t chunkLength = ReadBigEndian32(bytes + p);
            p += 4;
            if (chunkLength == 0)
                continue;
            if (remaining() < chunkLength)
                throw EStreamError("Stream read error");
            auto track = std::make_unique<TMidiTrack>(this);
            track->Parse(bytes + p, chunkLength);
            p += chunkLength;
            tracks_[static_cast<std::size_t>(i)] = std::move(track);
        }
    } catch (...) {
        Clear();
        throw;
    }
    active_ = true;
}

} // namespace tunquil
