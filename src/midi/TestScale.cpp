#include "midi/TestScale.h"

#include <cstdint>

namespace tunquil {

std::string MakeTestScale() {
    // 500 ticks to a quarter note of 500,000 microseconds: a tick is a millisecond.
    std::string track("\x00\xFF\x51\x03\x07\xA1\x20"
                      "\x00\xC0\x00"
                      "\x00\xB0\x07\x64",
                      14);
    const uint8_t keys[8] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < 8; ++i) {
        // A note of 140 ms, then 10 ms of rest before the next; each delta fits its bytes.
        track += char(i == 0 ? 0 : 10);
        track += char(0x90);
        track += char(keys[i]);
        track += char(96);
        track += std::string("\x81\x0C\x80", 3) + char(keys[i]) + char(64);
    }
    track += std::string("\x0A\xFF\x2F\x00", 4);
    std::string file("MThd\0\0\0\x06\0\0\0\x01\x01\xF4MTrk", 18);
    const auto size = uint32_t(track.size());
    for (int shift : {24, 16, 8, 0})
        file += char((size >> shift) & 0xFF);
    return file + track;
}

} // namespace tunquil
