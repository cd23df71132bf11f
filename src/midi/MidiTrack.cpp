#include "midi/MidiTrack.h"

#include "midi/MidiErrors.h"

#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace tunquil {

namespace {

constexpr uint8_t kEndOfTrack = 0x2F;

[[noreturn]] void EndsInsideEvent() {
    throw EMidiData("Track data ends inside an event");
}

// Channel messages 0xC0..0xDF carry one data byte, the others two.
inline bool HasSecondDataByte(uint8_t status) {
    return (status & 0xE0) != 0xC0;
}

inline uint8_t ReadByte(const uint8_t*& p, const uint8_t* end) {
    if (p == end)
        EndsInsideEvent();
    return *p++;
}

// A variable-length quantity. It is as wide as the reader's 32 bits: longer sequences simply
// shift the high bits out, as they always have. (Byte by byte on purpose: a branch-free decode
// of four bytes at once measured much slower, as it puts the decode on the path to every next
// load where the predicted branch does not.)
inline uint32_t ReadQuantity(const uint8_t*& p, const uint8_t* end) {
    uint32_t value = 0;
    uint8_t b;
    do {
        b = ReadByte(p, end);
        value = (value << 7) + (b & 0x7Fu);
    } while (b & 0x80);
    return value;
}

struct ScanResult {
    int64_t count = 0; // 64 bits: a 4 GiB chunk of one-byte events must not wrap it
    bool endOfTrackSeen = false;
    bool blockPastEnd = false; // a data block runs past the chunk; the scan stopped there
    int32_t lastTime = 0;
};

// Where one scan of a chunk puts its records and blocks before they are copied into a track
// of exactly the right size. Kept per thread and reused, so that parsing allocates nothing per
// event and per track only the track's own two arrays.
struct Scratch {
    static constexpr int64_t kMaxRecords = TMidiTrack::kCapacity / TMidiTrack::kRecordSize;
    // Block space beyond this is given back after the track that needed it, so that one file
    // with huge system-exclusive dumps does not pin that memory for the rest of the run.
    static constexpr std::size_t kKeptBlockBytes = 1 << 20;
    std::unique_ptr<TMidiEvent[]> records{new TMidiEvent[kMaxRecords]};
    std::vector<uint8_t> blocks;

    void Trim() {
        if (blocks.capacity() > kKeptBlockBytes)
            std::vector<uint8_t>().swap(blocks);
    }
};

// One walk over the chunk applies every rule and fills the scratch records; records beyond the
// capacity are counted but not kept, since the track will refuse them anyway.
ScanResult Scan(const uint8_t* data, uint32_t length, Scratch& scratch) {
    ScanResult r;
    TMidiEvent* const records = scratch.records.get();
    std::vector<uint8_t>& blocks = scratch.blocks;
    blocks.clear();
    const uint8_t* p = data;
    const uint8_t* const end = data + length;
    uint8_t running = 0;
    bool sysexPending = false;
    int64_t time = 0;
    while (p < end) {
        // Channel messages with short delta-times are nearly all of a tune. While enough bytes
        // remain they are decoded here without a bounds check per byte; anything else (and any
        // event that might break a rule) leaves this loop untouched for the full rules below.
        while (end - p >= 8 && !sysexPending && !r.endOfTrackSeen &&
               r.count < Scratch::kMaxRecords) {
            const uint8_t* q = p;
            uint32_t delta = *q & 0x7Fu;
            if (*q++ & 0x80) {
                delta = (delta << 7) | (*q & 0x7Fu);
                if (*q++ & 0x80) {
                    delta = (delta << 7) | (*q & 0x7Fu);
                    if (*q++ & 0x80)
                        break;
                }
            }
            int64_t t = time + delta;
            if (t > std::numeric_limits<int32_t>::max())
                break;
            uint8_t status = *q;
            if (status & 0x80) {
                if (status >= 0xF0)
                    break;
                ++q;
            } else {
                if (running == 0)
                    break;
                status = running;
            }
            uint32_t eventData = *q++;
            if (HasSecondDataByte(status))
                eventData |= uint32_t{*q++} << 8;
            running = status;
            time = t;
            TMidiEvent* event = records + r.count;
            event->Time = static_cast<int32_t>(time);
            event->Length = 0;
            event->Status = status;
            std::memcpy(event->Data, &eventData, sizeof eventData);
            ++r.count;
            r.lastTime = static_cast<int32_t>(time);
            p = q;
        }
        if (p >= end)
            break;
        if (r.endOfTrackSeen)
            throw EMidiData("Unexpected end of track");
        time += ReadQuantity(p, end);
        // Records keep 32-bit signed times; a file whose deltas add up beyond that is refused
        // rather than given times that run backwards.
        if (time > std::numeric_limits<int32_t>::max())
            throw EMidiData("Event time out of range");
        uint8_t b = ReadByte(p, end);
        if (sysexPending && b != 0xF7)
            throw EMidiData("Error in Sysex");
        uint8_t status;
        uint8_t data1 = 0;
        uint8_t data2 = 0;
        bool newStatus = (b & 0x80) != 0;
        if (newStatus) {
            status = b;
        } else {
            if (running == 0)
                throw EMidiData("Error in Running Status");
            status = running;
            data1 = b;
        }

        uint32_t eventData = 0;
        uint16_t eventLength = 0;
        if (status >= 0xF0) {
            uint8_t type = 0;
            bool meta = status == 0xFF;
            bool sysex = status == 0xF0 || status == 0xF7;
            if (meta) {
                type = ReadByte(p, end);
                if (type == kEndOfTrack)
                    r.endOfTrackSeen = true;
            }
            if (meta || sysex) {
                uint32_t k = ReadQuantity(p, end);
                if (k > static_cast<std::size_t>(end - p)) {
                    ++r.count;
                    r.blockPastEnd = true;
                    return r;
                }
                // The record's Length is 16 bits; a meta block also holds the type byte.
                if (k + (meta ? 1u : 0u) > 0xFFFFu)
                    throw EMidiData("Event data too long");
                // An empty packet has no closing 0xF7 either.
                if (sysex)
                    sysexPending = k == 0 || p[k - 1] != 0xF7;
                // Blocks come from the chunk (a meta type byte stands for its own byte), so
                // they never add up to more than the chunk's length.
                eventData = static_cast<uint32_t>(blocks.size());
                eventLength = static_cast<uint16_t>(k + (meta ? 1 : 0));
                if (meta)
                    blocks.push_back(type);
                blocks.insert(blocks.end(), p, p + k);
                p += k;
            }
        } else {
            if (newStatus) {
                data1 = ReadByte(p, end);
                running = status;
            }
            if (HasSecondDataByte(status))
                data2 = ReadByte(p, end);
            eventData = data1 | (uint32_t{data2} << 8);
        }
        if (r.count < Scratch::kMaxRecords) {
            // Field by field into place: a record assembled elsewhere and copied over stalls on
            // store forwarding, which once took most of the parse time.
            TMidiEvent* event = records + r.count;
            event->Time = static_cast<int32_t>(time);
            event->Length = eventLength;
            event->Status = status;
            std::memcpy(event->Data, &eventData, sizeof eventData);
        }
        ++r.count;
        r.lastTime = static_cast<int32_t>(time);
    }
    return r;
}

} // namespace

TMidiTrack::TMidiTrack(TMidiData* owner) : owner_(owner), memory_(kCapacity, 0) {}

const TMidiEvent& TMidiTrack::GetEvent(int32_t index) const {
    if (index < 0 || index >= count_)
        throw std::runtime_error("Invalid event no");
    return Records()[index];
}

const uint8_t* TMidiTrack::Block(const TMidiEvent& event) const {
    if (!event.HasBlock())
        return nullptr;
    uint32_t offset;
    std::memcpy(&offset, event.Data, sizeof offset);
    return blocks_.data() + offset;
}

int32_t TMidiTrack::FindEvent(int32_t tick, int mode) const {
    const TMidiEvent* e = Records();
    int32_t lo = 0;
    int32_t hi = count_ - 1;
    int32_t i = -1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (e[mid].Time < tick) {
            lo = mid + 1;
        } else if (e[mid].Time > tick) {
            hi = mid - 1;
        } else {
            i = mid;
            break;
        }
    }
    if (i < 0)
        i = lo;
    while (i < count_ && e[i].Time < tick)
        ++i;
    if (i >= count_)
        return -1;
    if (e[i].Time > tick)
        return i;
    if (mode == 0) {
        while (i > 0 && e[i - 1].Time == tick)
            --i;
    } else if (mode == 1) {
        while (i < count_ - 1 && e[i + 1].Time == tick)
            ++i;
    }
    return i;
}

uint32_t TMidiTrack::AddBlock(const uint8_t* bytes, uint32_t length) {
    if (blocks_.size() + length > std::numeric_limits<uint32_t>::max())
        throw EMidiData("Event data too long");
    auto offset = static_cast<uint32_t>(blocks_.size());
    if (length > 0)
        blocks_.insert(blocks_.end(), bytes, bytes + length);
    return offset;
}

void TMidiTrack::InsertEvent(int32_t tick, uint8_t status, const uint8_t* data, uint16_t length) {
    if (!data && (length > 0 || status < 0xF0))
        throw std::invalid_argument("InsertEvent without its data");
    if (count_ > 0) {
        TMidiEvent& last = Records()[count_ - 1];
        if (last.Status == 0xFF && last.Length > 0 && Block(last)[0] == kEndOfTrack &&
            last.Time < tick)
            last.Time = tick;
    }
    if (int64_t{count_ + 1} * kRecordSize > memory_.Size())
        memory_.SetSize(memory_.Size() + 1024 * kRecordSize);

    int32_t i = 0;
    if (count_ > 0) {
        i = FindEvent(tick, 1);
        if (i < 0)
            throw EMidiData("System error inserting event");
        if (i != count_ - 1 && Records()[i].Time == tick)
            ++i;
    }

    TMidiEvent event;
    event.Time = tick;
    event.Length = 0;
    event.Status = status;
    std::memset(event.Data, 0, sizeof event.Data);
    if (event.HasBlock()) {
        uint32_t offset = AddBlock(data, length);
        event.Length = length;
        std::memcpy(event.Data, &offset, sizeof offset);
    } else if (status < 0xF0) {
        event.Data[0] = data[0];
        if (HasSecondDataByte(status))
            event.Data[1] = data[1];
    }

    TMidiEvent* e = Records();
    std::memmove(e + i + 1, e + i, static_cast<std::size_t>(count_ - i) * kRecordSize);
    std::memcpy(e + i, &event, sizeof event);
    ++count_;
}

void TMidiTrack::Parse(const uint8_t* data, uint32_t length) {
    thread_local Scratch scratch;
    struct TrimAfterwards {
        Scratch& scratch;
        ~TrimAfterwards() { scratch.Trim(); }
    } trim{scratch};
    ScanResult scan = Scan(data, length, scratch);
    // A chunk without End of Track gets one after its last event, so that record is last.
    bool addEnd = !scan.endOfTrackSeen && !scan.blockPastEnd;
    int64_t records = scan.count + (addEnd ? 1 : 0);
    // The array is sized once, to exactly one record per event, before anything is filled.
    if (records * kRecordSize > memory_.Capacity())
        throw EVirtualMemory("Size exceeds capacity");
    memory_.SetSize(static_cast<int32_t>(records * kRecordSize));
    // Filling the records is where a block running past the chunk is finally refused.
    if (scan.blockPastEnd)
        throw std::runtime_error("Error in second parse pass");
    try {
        std::memcpy(Records(), scratch.records.get(),
                    static_cast<std::size_t>(scan.count) * kRecordSize);
        blocks_.reserve(scratch.blocks.size() + (addEnd ? 1 : 0));
        blocks_.assign(scratch.blocks.begin(), scratch.blocks.end());
    } catch (const std::exception&) {
        throw std::runtime_error("Error in second parse pass");
    }
    count_ = static_cast<int32_t>(scan.count);
    if (addEnd) {
        TMidiEvent* end = Records() + count_;
        end->Time = scan.lastTime;
        end->Length = 1;
        end->Status = 0xFF;
        uint32_t offset = AddBlock(&kEndOfTrack, 1);
        std::memcpy(end->Data, &offset, sizeof offset);
        ++count_;
    }
}

void TMidiTrack::Clear() {
    count_ = 0;
    blocks_.clear();
    memory_.SetSize(0);
}

} // namespace tunquil
