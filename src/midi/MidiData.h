#pragma once
// Loads a Standard MIDI File into memory: the header and up to 256 parsed track chunks.

#include "midi/MidiTrack.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunquil {

class TMidiData {
public:
    static constexpr int kMaxTracks = 256;

    TMidiData();
    TMidiData(const TMidiData&) = delete;
    TMidiData& operator=(const TMidiData&) = delete;

    // The header's division word as unsigned ticks per quarter note; setting it rewrites the
    // word.
    int PPQN() const;
    void SetPPQN(int value);

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& path) { fileName_ = path; }

    // True while a file (or an empty file) is loaded. Setting it true loads FileName (an empty
    // name gives an empty file); false clears. Loading failures are thrown after clearing.
    bool Active() const { return active_; }
    void SetActive(bool value);

    // Loads a whole file held in memory, as setting Active does for a file; the bytes are only
    // read during the call.
    void LoadFromMemory(const uint8_t* bytes, std::size_t size);

    // Frees the tracks and the extra header bytes and returns to the cleared header
    // (format 1, no tracks, division 180); Active becomes false.
    void Clear();

    // Header words as stored in the file (big-endian in `HeaderBody`).
    const std::array<uint8_t, 6>& HeaderBody() const { return header_; }
    int Format() const { return Word(0); }
    int TrackCount() const { return Word(2); }
    // Header bytes beyond the six standard ones, when the header chunk is longer.
    const std::vector<uint8_t>& ExtraHeader() const { return extraHeader_; }

    // The parsed track in slot i (0..255), or nullptr.
    TMidiTrack* Tracks(int i) const;

private:
    int Word(int offset) const { return (header_[offset] << 8) | header_[offset + 1]; }
    void Load(const uint8_t* bytes, std::size_t size);

    std::string fileName_;
    bool active_ = false;
    std::array<uint8_t, 6> header_;
    std::vector<uint8_t> extraHeader_;
    std::array<std::unique_ptr<TMidiTrack>, kMaxTracks> tracks_;
};

} // namespace tunquil
