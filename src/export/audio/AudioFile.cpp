#include "export/audio/AudioFile.h"

#include "base/Files.h"
#include "export/audio/PeakLimiter.h"
#include "platform/TuneRenderer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ebur128.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <random>
#include <sndfile.h>
#include <stdio.h>
#include <unistd.h>
#include <vector>

namespace tunquil {

namespace {

constexpr std::size_t kCopyFrames = 8192;
// A lossy encoder rebuilds the wave from fewer bits, and its peaks come out up to about half a
// decibel higher than they went in; they are aimed this much lower, so the file keeps under
// the ceiling.
constexpr double kLossyPeakMargin = 0.5;
// How far under the ceiling the limiter holds the samples: the wave between two samples rises
// up to about a decibel above them in loud music.
constexpr double kLimiterMargin = 1.0;

struct CloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool Cancelled(const AudioFileOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

int SndFileFormat(AudioFormat format) {
    switch (format) {
    case AudioFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::Vorbis:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::Opus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case AudioFormat::Wave:
        break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

double Ceiling(const AudioSettings& settings) {
    return kTruePeakCeiling - (AudioFormatHasQuality(settings.format) ? kLossyPeakMargin : 0);
}

double Decibels(double amplitude) {
    return amplitude > 0 ? 20 * std::log10(amplitude) : -HUGE_VAL;
}

struct Level {
    double gainDb = 0;
    bool limit = false; // the peaks pass the ceiling at this gain
};

// Measures the rendered sound as it comes: its integrated loudness, and the sample peak of
// every stretch of kPeakStretch frames. The true peak needs four times oversampling, which
// costs as much as a sixth of the whole export when done throughout; it is worked out
// afterwards only where a stretch comes near the ceiling.
class LoudnessMeter {
public:
    static constexpr std::size_t kPeakStretch = 4096;

    explicit LoudnessMeter(int rate)
        : rate_(unsigned(rate)), meter_(ebur128_init(2, rate_, EBUR128_MODE_I)) {
        if (!meter_)
            throw AudioExportError("The loudness cannot be measured");
    }

    void Add(const float* frames, std::size_t count) {
        ebur128_add_frames_float(meter_.get(), frames, count);
        for (std::size_t i = 0; i < count; ++i, ++frames_) {
            std::size_t stretch = frames_ / kPeakStretch;
            if (stretch >= peaks_.size())
                peaks_.push_back(0);
            peaks_[stretch] =
                std::max({peaks_[stretch], std::abs(frames[2 * i]), std::abs(frames[2 * i + 1])});
        }
    }

    // The gain in dB that brings the sound to the target, and whether its true peak would then
    // pass the ceiling, so that the peaks must be limited; a tune that is silent throughout
    // keeps its level. `pcm` holds the frames added.
    Level Gain(const AudioSettings& settings, std::FILE* pcm) {
        double loudness = -HUGE_VAL;
        ebur128_loudness_global(meter_.get(), &loudness);
        if (!std::isfinite(loudness))
            return {};
        const double wanted = *settings.loudnessLufs - loudness;
        const double ceiling = Ceiling(settings);
        // Between samples a wave of music rises at most about 3 dB above them: only stretches
        // that could then pass the ceiling have their true peak measured.
        constexpr double kBetweenSamples = 3;
        double truePeak = 0;
        for (std::size_t first = 0; first < peaks_.size(); ++first) {
            truePeak = std::max(truePeak, double(peaks_[first]));
            if (Decibels(peaks_[first]) + wanted + kBetweenSamples <= ceiling)
                continue;
            std::size_t end = first + 1;
            while (end < peaks_.size() &&
                   Decibels(peaks_[end]) + wanted + kBetweenSamples > ceiling)
                truePeak = std::max(truePeak, double(peaks_[end++]));
            truePeak = std::max(truePeak, TruePeak(pcm, first * kPeakStretch, end * kPeakStretch));
            first = end - 1;
        }
        return {wanted, Decibels(truePeak) + wanted > ceiling};
    }

private:
    struct FreeMeter {
        void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
    };

    // The true peak of frames [from, to), the oversampling filter primed with the frames just
    // before them.
    double TruePeak(std::FILE* pcm, std::size_t from, std::size_t to) {
        constexpr std::size_t kPriming = 64;
        from = from > kPriming ? from - kPriming : 0;
        to = std::min(to, frames_);
        std::unique_ptr<ebur128_state, FreeMeter> meter(
            ebur128_init(2, rate_, EBUR128_MODE_TRUE_PEAK));
        if (!meter || std::fseek(pcm, long(from * 2 * sizeof(float)), SEEK_SET) != 0)
            throw AudioExportError("The loudness cannot be measured");
        std::vector<float> block(kPeakStretch * 2);
        for (std::size_t at = from; at < to;) {
            std::size_t n =
                std::fread(block.data(), 2 * sizeof(float), std::min(kPeakStretch, to - at), pcm);
            if (n == 0)
                throw AudioExportError("The rendered sound could not be read back");
            ebur128_add_frames_float(meter.get(), block.data(), n);
            at += n;
        }
        double peak = 0;
        for (unsigned channel = 0; channel < 2; ++channel) {
            double p = 0;
            if (ebur128_true_peak(meter.get(), channel, &p) == EBUR128_SUCCESS)
                peak = std::max(peak, p);
        }
        return peak;
    }

    unsigned rate_;
    std::unique_ptr<ebur128_state, FreeMeter> meter_;
    std::vector<float> peaks_;
    std::size_t frames_ = 0;
};

// A new file beside `target`, hidden and named so that no two workers or runs share it.
std::pair<std::filesystem::path, int> CreatePartFile(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto part = target.parent_path() /
                    ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++) + "-" + std::to_string(random() % 100000) + ".part");
        int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return {part, fd};
        if (errno != EEXIST)
            throw AudioExportError(DescribeErrno("Cannot write", target, errno));
    }
    throw AudioExportError(DescribeErrno("Cannot write", target, EEXIST));
}

// Puts the complete file under its name. Without `replace`, a file that is there already
// stays, even one that appeared while rendering.
void Place(const std::filesystem::path& part, const std::filesystem::path& target, bool replace) {
    if (replace) {
        if (::rename(part.c_str(), target.c_str()) != 0)
            throw AudioExportError(DescribeErrno("Cannot write", target, errno));
        return;
    }
    if (::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return;
    int error = errno;
    if (error == EEXIST)
        throw AudioFileExists(target.string() + " already exists");
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
        throw AudioExportError(DescribeErrno("Cannot write", target, error));
    // A file system without the no-replace rename (some of those on players and cards):
    // the check and the rename are apart, which is the best it allows.
    std::error_code ec;
    if (std::filesystem::exists(target, ec))
        throw AudioFileExists(target.string() + " already exists");
    if (::rename(part.c_str(), target.c_str()) != 0)
        throw AudioExportError(DescribeErrno("Cannot write", target, errno));
}

void SetQuality(SNDFILE* file, const AudioSettings& settings) {
    if (!AudioFormatHasQuality(settings.format))
        return;
    double level = 1.0 - settings.quality / 10.0; // the library's 0 is its best sound
    if (settings.format == AudioFormat::Opus) {
        // The library spreads Opus's level over 6 to 512 kbit/s for two channels, where
        // everything above 200 is wasted; the quality steps go 32 kbit/s at 0 to 192 at 10.
        double bitRate = 32000 + 16000 * settings.quality;
        level = 1.0 - (bitRate - 6000) / 506000;
    }
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
}

void SetTags(SNDFILE* file, const AudioTags& tags) {
    const std::pair<int, const std::string*> strings[] = {
        {SF_STR_TITLE, &tags.title}, {SF_STR_ARTIST, &tags.artist},   {SF_STR_ALBUM, &tags.album},
        {SF_STR_DATE, &tags.date},   {SF_STR_COMMENT, &tags.comment},
    };
    for (const auto& [kind, text] : strings)
        if (!text->empty())
            sf_set_string(file, kind, text->c_str());
}

double LimiterThreshold(const AudioSettings& settings) {
    return std::pow(10.0, (Ceiling(settings) - kLimiterMargin) / 20);
}

// The integrated loudness of the sound in `pcm` raised by `gainDb` and limited.
double LimitedLoudness(std::FILE* pcm, double gainDb, const AudioFileOptions& options,
                       int sampleRate) {
    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> meter(
        ebur128_init(2, unsigned(sampleRate), EBUR128_MODE_I),
        [](ebur128_state* s) { ebur128_destroy(&s); });
    if (!meter)
        throw AudioExportError("The loudness cannot be measured");
    PeakLimiter limiter(LimiterThreshold(options.settings), sampleRate);
    const float gain = float(std::pow(10.0, gainDb / 20));
    std::vector<float> block(kCopyFrames * 2), limited;
    std::rewind(pcm);
    while (std::size_t n = std::fread(block.data(), sizeof(float) * 2, kCopyFrames, pcm)) {
        if (Cancelled(options))
            throw AudioExportCancelled();
        for (std::size_t i = 0; i < n * 2; ++i)
            block[i] *= gain;
        limited.clear();
        limiter.Process(block.data(), n, limited);
        ebur128_add_frames_float(meter.get(), limited.data(), limited.size() / 2);
    }
    limited.clear();
    limiter.Finish(limited);
    ebur128_add_frames_float(meter.get(), limited.data(), limited.size() / 2);
    double loudness = -HUGE_VAL;
    ebur128_loudness_global(meter.get(), &loudness);
    return loudness;
}

// Limiting takes away loudness where the loud parts make most of it: the gain goes up by what
// was lost until the limited sound is at the target, in a few rounds.
void CompensateLimiting(Level& level, std::FILE* pcm, const AudioFileOptions& options,
                        int sampleRate) {
    constexpr int kRounds = 4;
    constexpr double kCloseEnough = 0.1;  // LU
    constexpr double kMostExtraGain = 12; // dB over the unlimited gain
    const double target = *options.settings.loudnessLufs, unlimited = level.gainDb;
    for (int round = 0; round < kRounds; ++round) {
        double missing = target - LimitedLoudness(pcm, level.gainDb, options, sampleRate);
        if (!std::isfinite(missing) || std::abs(missing) < kCloseEnough)
            break;
        level.gainDb = std::min(level.gainDb + missing, unlimited + kMostExtraGain);
    }
}

void Encode(int fd, const std::filesystem::path& target, std::FILE* pcm, const Level& level,
            const AudioFileOptions& options, int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SndFileFormat(options.settings.format);
    // The descriptor stays ours, so that the file reaches the disk before it is renamed.
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file)
        throw AudioExportError("Cannot write " + target.string() + ": " + sf_strerror(nullptr));
    auto fail = [&](const std::string& why) {
        sf_close(file);
        throw AudioExportError("Cannot write " + target.string() + ": " + why);
    };
    // Tags go first: some formats write them ahead of the sound.
    SetTags(file, options.tags);
    SetQuality(file, options.settings);
    // Samples past full scale are clipped, not wrapped round to the other end.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const float gain = float(std::pow(10.0, level.gainDb / 20));
    // The limiter aims lower than the ceiling, as it holds the samples and the wave between
    // them may still rise a little above them.
    std::optional<PeakLimiter> limiter;
    if (level.limit)
        limiter.emplace(LimiterThreshold(options.settings), sampleRate);
    std::vector<float> block(kCopyFrames * 2), limited;
    auto write = [&](const float* frames, std::size_t n) {
        if (sf_writef_float(file, frames, sf_count_t(n)) != sf_count_t(n))
            fail(sf_strerror(file));
    };
    std::rewind(pcm);
    for (;;) {
        if (Cancelled(options)) {
            sf_close(file);
            throw AudioExportCancelled();
        }
        std::size_t n = std::fread(block.data(), sizeof(float) * 2, kCopyFrames, pcm);
        if (n == 0)
            break;
        for (std::size_t i = 0; i < n * 2; ++i)
            block[i] *= gain;
        if (!limiter) {
            write(block.data(), n);
            continue;
        }
        limited.clear();
        limiter->Process(block.data(), n, limited);
        write(limited.data(), limited.size() / 2);
    }
    if (limiter) {
        limited.clear();
        limiter->Finish(limited);
        write(limited.data(), limited.size() / 2);
    }
    if (std::ferror(pcm))
        fail("the rendered sound could not be read back");
    if (int error = sf_close(file))
        throw AudioExportError("Cannot write " + target.string() + ": " + sf_error_number(error));
}

} // namespace

void WriteAudioFile(platform::TuneRenderer& renderer, std::span<const uint8_t> midiBytes,
                    const std::filesystem::path& target, const AudioFileOptions& options) {
    CheckAudioSettings(options.settings);
    const int rate = options.settings.EffectiveSampleRate();
    if (renderer.SampleRate() != rate)
        throw std::logic_error("the renderer's sample rate is not the file's");
    std::optional<platform::MidiSequence> tune;
    try {
        tune = platform::MidiSequence::Parse(midiBytes);
    } catch (const platform::MidiSequenceError& e) {
        throw AudioExportError(std::string("The tune is damaged: ") + e.what());
    }
    std::error_code ec;
    if (!options.replace && std::filesystem::exists(target, ec))
        throw AudioFileExists(target.string() + " already exists");

    // The rendered sound waits in an unnamed scratch file while it is measured, so that a long
    // tune takes no more memory than a short one.
    std::unique_ptr<std::FILE, CloseFile> pcm(std::tmpfile());
    if (!pcm)
        throw AudioExportError(DescribeErrno("Cannot make a scratch file for", target, errno));
    // Without a loudness target the sound is written as rendered, and needs no measuring.
    std::optional<LoudnessMeter> meter;
    if (options.settings.loudnessLufs)
        meter.emplace(rate);
    bool written = true;
    bool finished = renderer.Render(
        *tune,
        [&](const float* frames, std::size_t count) {
            if (Cancelled(options))
                return false;
            if (meter)
                meter->Add(frames, count);
            written = std::fwrite(frames, sizeof(float) * 2, count, pcm.get()) == count;
            return written;
        },
        options.rate, options.semitones);
    if (!written)
        throw AudioExportError(DescribeErrno("Cannot make a scratch file for", target, errno));
    if (!finished)
        throw AudioExportCancelled();
    std::fflush(pcm.get());
    Level level = meter ? meter->Gain(options.settings, pcm.get()) : Level{};
    if (level.limit)
        CompensateLimiting(level, pcm.get(), options, rate);

    auto [part, fd] = CreatePartFile(target);
    try {
        Encode(fd, target, pcm.get(), level, options, rate);
        if (::fsync(fd) != 0)
            throw AudioExportError(DescribeErrno("Cannot write", target, errno));
        ::close(fd);
        fd = -1;
        Place(part, target, options.replace);
    } catch (...) {
        if (fd >= 0)
            ::close(fd);
        std::filesystem::remove(part, ec);
        throw;
    }
}

} // namespace tunquil
