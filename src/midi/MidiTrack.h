#pragma once
// One parsed track chunk: its events as 11-byte records in time order, plus the data blocks of
// its system-exclusive and meta events.

#include "midi/VirtualMemory.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace tunquil {

class TMidiData;

static_assert(std::endian::native == std::endian::little,
              "event records are little-endian and read in place");

#pragma pack(push, 1)
// `Data` holds Data1 and Data2 for channel messages. For system-exclusive (0xF0, 0xF7) and meta
// (0xFF) events it holds the 32-bit offset of the event's data block in the track's block store:
// a pointer would not fit the record on a 64-bit system, and one store per track spares the
// parser an allocation per event. The fields are unaligned: read them by value, never bind a
// reference to one (std::max, gtest's EXPECT_EQ).
struct TMidiEvent {
    int32_t Time;    // absolute ticks from the start of the track
    uint16_t Length; // bytes in the data block (system-exclusive and meta events only)
    uint8_t Status;  // 0x80..0xFF, running status resolved
    uint8_t Data[4];

    uint8_t Data1() const { return Data[0]; }
    uint8_t Data2() const { return Data[1]; }
    bool HasBlock() const { return Status == 0xF0 || Status == 0xF7 || Status == 0xFF; }
};
#pragma pack(pop)
static_assert(sizeof(TMidiEvent) == 11);

class TMidiTrack {
public:
    static constexpr int32_t kCapacity = 1048576;
    static constexpr int32_t kRecordSize = sizeof(TMidiEvent);

    explicit TMidiTrack(TMidiData* owner = nullptr);
    TMidiTrack(const TMidiTrack&) = delete;
    TMidiTrack& operator=(const TMidiTrack&) = delete;

    TMidiData* Owner() const { return owner_; }
    const TVirtualMemory& Memory() const { return memory_; }
    int32_t Count() const { return count_; }

    // Throws std::runtime_error "Invalid event no" outside 0..Count-1.
    const TMidiEvent& GetEvent(int32_t index) const;
    // The data block of a system-exclusive or meta event (meta: type byte first); nullptr for
    // other events.
    const uint8_t* Block(const TMidiEvent& event) const;

    // Index of an event at `tick`: mode 0 the first of equal time, mode 1 the last, other modes
    // whichever the search reached; when none has that time, the first later event; -1 when
    // every event is earlier.
    int32_t FindEvent(int32_t tick, int mode) const;

    // Inserts one event after those of equal time, but never after the track's last record (so
    // a closing End of Track stays last, moved later when needed). `data` holds the data bytes
    // of a channel message, or the `length` bytes of the block of a system-exclusive or meta
    // event, which the track copies.
    void InsertEvent(int32_t tick, uint8_t status, const uint8_t* data, uint16_t length);

    // Parses the bytes of one track chunk into this (empty) track; throws on malformed data.
    void Parse(const uint8_t* data, uint32_t length);

    // Forgets the events without touching the blocks one by one.
    void Clear();

private:
    TMidiEvent* Records() const { return reinterpret_cast<TMidiEvent*>(memory_.Base()); }
    uint32_t AddBlock(const uint8_t* bytes, uint32_t length);

    TMidiData* owner_;
    TVirtualMemory memory_;
    int32_t count_ = 0;
    std::vector<uint8_t> blocks_;
};

} // namespace tunquil
