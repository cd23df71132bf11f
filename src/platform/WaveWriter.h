#pragma once
// A 16-bit stereo PCM WAV file written as it grows; the header always describes what has been
// written up to the last Flush, so an interrupted render still leaves a playable file.

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace tunquil::platform {

class WaveWriter {
public:
    static constexpr int kSampleRate = 44100;

    WaveWriter() = default;
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    bool Open(const std::filesystem::path& path);
    // `frames` frames of interleaved left/right samples.
    bool Write(const int16_t* samples, std::size_t frames);
    bool Flush();
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t Frames() const { return frames_; }

private:
    bool WriteHeader();

    std::FILE* file_ = nullptr;
    uint64_t frames_ = 0;
};

} // namespace tunquil::platform
