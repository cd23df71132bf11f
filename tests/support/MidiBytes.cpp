#include "MidiBytes.h"

namespace tunquil::test {

namespace {
void Put32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(static_cast<char>((v >> shift) & 0xff));
}
void PutVlq(std::string& s, uint32_t v) {
    std::string bytes(1, static_cast<char>(v & 0x7f));
    while (v >>= 7)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (v & 0x7f)));
    s += bytes;
}
} // namespace

std::string SmallMidiFile(int seconds, const std::string& tag) {
    std::string track;
    track += std::string("\x00\xFF\x51\x03\x0F\x42\x40", 7); // 1,000,000 us per quarter
    if (!tag.empty()) {
        track += std::string("\x00\xFF\x01", 3);
        PutVlq(track, static_cast<uint32_t>(tag.size()));
        track += tag;
    }
    track += std::string("\x00\x90\x3C\x40", 4);
    PutVlq(track, static_cast<uint32_t>(seconds) * 96);
    track += std::string("\x80\x3C\x00", 3);
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string file = "MThd";
    Put32(file, 6);
    file += std::string("\x00\x00\x00\x01\x00\x60", 6);
    file += "MTrk";
    Put32(file, static_cast<uint32_t>(track.size()));
    return file + track;
}

std::string RmidFile(const std::string& smf) {
    auto le32 = [](std::size_t v) {
        return std::string{char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF),
                           char(v >> 24 & 0xFF)};
    };
    std::string riff = "RMIDdata" + le32(smf.size()) + smf;
    return "RIFF" + le32(riff.size()) + riff;
}

} // namespace tunquil::test
