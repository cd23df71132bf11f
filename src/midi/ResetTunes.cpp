#include "midi/ResetTunes.h"

#include "base/Files.h"
#include "midi/TMyMidi.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tunquil {

namespace {

// These bytes were shipped as the program's resources; other installations replay them as
// they are, so they must not change.
constexpr uint8_t kGmReset[49] = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00,
                                  0x00, 0x01, 0x00, 0x78, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00,
                                  0x00, 0x1B, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,
                                  0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x05,
                                  0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x73, 0xFF, 0x2F, 0x00};

constexpr uint8_t kGsReset[82] = {
    0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x78,
    0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x3C, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02,
    0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x0A, 0x41, 0x10,
    0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7, 0x38, 0xF0, 0x19, 0x41, 0x10, 0x42,
    0x12, 0x40, 0x01, 0x10, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x00, 0x00, 0x00,
    0x00, 0x02, 0x02, 0x02, 0x02, 0x02, 0x17, 0xF7, 0x3A, 0xFF, 0x2F, 0x00};

constexpr uint8_t kXgOn[] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
constexpr uint8_t kGm2On[] = {0xF0, 0x7E, 0x7F, 0x09, 0x03, 0xF7};
// A parameter write to address 7F 00 00, with its checksum.
constexpr uint8_t kMt32Reset[] = {0xF0, 0x41, 0x10, 0x16, 0x12, 0x7F, 0x00, 0x00, 0x00, 0x01, 0xF7};

void AppendVariableLength(std::string& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = uint8_t(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n > 1)
        out += char(bytes[--n] | 0x80);
    out += char(bytes[0]);
}

} // namespace

std::span<const uint8_t> ResetMessageBytes(std::string_view name) {
    if (name == "XG")
        return kXgOn;
    if (name == "GM2")
        return kGm2On;
    if (name == "MT32")
        return kMt32Reset;
    return {};
}

std::string MakeResetTune(std::span<const uint8_t> message, int waitMs) {
    // 500 ticks to a quarter note of 500,000 microseconds: a tick is a millisecond.
    std::string track;
    track += std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7);
    if (message.size() >= 2 && message.front() == 0xF0) {
        track += '\0';
        track += char(0xF0);
        AppendVariableLength(track, uint32_t(message.size() - 1));
        track.append(reinterpret_cast<const char*>(message.data() + 1), message.size() - 1);
    }
    AppendVariableLength(track, uint32_t(std::max(waitMs, 0)));
    track += std::string("\xFF\x2F\x00", 3);
    std::string file("MThd\0\0\0\x06\0\0\0\x01\x01\xF4MTrk", 18);
    const auto size = uint32_t(track.size());
    for (int shift : {24, 16, 8, 0})
        file += char((size >> shift) & 0xFF);
    return file + track;
}

std::span<const uint8_t> ResetTuneBytes(std::string_view name) {
    if (name == "GMRESET")
        return kGmReset;
    if (name == "GSRESET")
        return kGsReset;
    return {};
}

void PlayResetTune(TMyMidi& player, std::string_view name, const std::filesystem::path& file,
                   IHost& host, const std::function<bool()>& closing) {
    auto bytes = ResetTuneBytes(name);
    try {
        WriteFileAtomically(
            file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        player.MidiFile = file.string();
        player.Open();
        player.Play();
        for (;;) {
            int mode = player.Mode();
            if ((mode != TMyMidi::kPlaying && mode != TMyMidi::kSeeking) || (closing && closing()))
                break;
            host.ProcessEvents();
            // The tune lasts a fraction of a second; a short nap keeps this from spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    } catch (const std::exception&) {
        // Ignored by design (see the header); stopping and closing below still happen.
    }
    try {
        if (player.DeviceID() != -1)
            player.Stop();
    } catch (const std::exception&) {
    }
    player.Close();
}

} // namespace tunquil
