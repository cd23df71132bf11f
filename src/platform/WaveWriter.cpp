#include "platform/WaveWriter.h"

#include <cstring>

namespace tunquil::platform {

namespace {
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
} // namespace

WaveWriter::~WaveWriter() {
    Close();
}

bool WaveWriter::Open(const std::filesystem::path& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    frames_ = 0;
    return file_ && WriteHeader();
}

bool WaveWriter::WriteHeader() {
    // A RIFF size field holds 32 bits: past 4 GiB the sizes stay at their largest value.
    uint64_t data = frames_ * 4;
    uint32_t dataSize = data > 0xFFFFFFF0u - 36 ? 0xFFFFFFF0u - 36 : uint32_t(data);
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataSize);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1); // PCM
    Put16(h + 22, 2);
    Put32(h + 24, kSampleRate);
    Put32(h + 28, kSampleRate * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataSize);
    return std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, 44, file_) == 44 &&
           std::fseek(file_, 0, SEEK_END) == 0;
}

bool WaveWriter::Write(const int16_t* samples, std::size_t frames) {
    if (!file_)
        return false;
    // The file is little-endian; so is every machine this runs on.
    if (std::fwrite(samples, 4, frames, file_) != frames)
        return false;
    frames_ += frames;
    return true;
}

bool WaveWriter::Flush() {
    return file_ && WriteHeader() && std::fflush(file_) == 0;
}

bool WaveWriter::Close() {
    if (!file_)
        return true;
    // No fsync: a rendering is made again from its tune, and syncing would double the time a
    // render takes on a busy disk.
    bool ok = Flush();
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

} // namespace tunquil::platform
