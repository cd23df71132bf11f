#include "export/audio/AudioSettings.h"

#include "base/IniFile.h"
#include "base/Text.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tunquil {

namespace {

struct FormatNames {
    AudioFormat format;
    std::string_view name;
    std::string_view extension;
};

constexpr std::array<FormatNames, 5> kFormats{{
    {AudioFormat::Flac, "flac", ".flac"},
    {AudioFormat::Vorbis, "ogg", ".ogg"},
    {AudioFormat::Opus, "opus", ".opus"},
    {AudioFormat::Mp3, "mp3", ".mp3"},
    {AudioFormat::Wave, "wav", ".wav"},
}};

const FormatNames& NamesOf(AudioFormat format) {
    for (const auto& f : kFormats)
        if (f.format == format)
            return f;
    return kFormats[0];
}

} // namespace

std::string_view AudioFormatName(AudioFormat format) {
    return NamesOf(format).name;
}

std::string_view AudioExtension(AudioFormat format) {
    return NamesOf(format).extension;
}

std::optional<AudioFormat> AudioFormatNamed(std::string_view name) {
    std::string upper = UpperAscii(std::string(name));
    for (const auto& f : kFormats)
        if (upper == UpperAscii(std::string(f.name)))
            return f.format;
    if (upper == "VORBIS" || upper == "OGA")
        return AudioFormat::Vorbis;
    if (upper == "WAVE")
        return AudioFormat::Wave;
    return std::nullopt;
}

std::optional<AudioFormat> AudioFormatOfFile(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (extension.size() < 2)
        return std::nullopt;
    return AudioFormatNamed(std::string_view(extension).substr(1));
}

bool AudioFormatHasQuality(AudioFormat format) {
    return format == AudioFormat::Vorbis || format == AudioFormat::Opus ||
           format == AudioFormat::Mp3;
}

void CheckAudioSettings(const AudioSettings& settings) {
    if (settings.sampleRate != 44100 && settings.sampleRate != 48000)
        throw std::invalid_argument("The sample rate is 44100 or 48000 Hz, not " +
                                    std::to_string(settings.sampleRate));
    if (settings.quality < 0 || settings.quality > 10)
        throw std::invalid_argument("The quality goes from 0 to 10, not " +
                                    std::to_string(settings.quality));
    // Quieter than -70 LUFS is silence to the measurement; louder than -5 cannot keep its
    // peaks under the ceiling for any music.
    if (settings.loudnessLufs && (!std::isfinite(*settings.loudnessLufs) ||
                                  *settings.loudnessLufs < -70 || *settings.loudnessLufs > -5))
        throw std::invalid_argument("The loudness goes from -70 to -5 LUFS");
}

namespace {
constexpr const char* kSection = "Audio export";
}

AudioExportChoice ReadAudioExportChoice(const IniFile& ini) {
    AudioExportChoice choice;
    AudioSettings& s = choice.settings;
    choice.folder = ini.ReadString(kSection, "Folder", "");
    s.format = AudioFormatNamed(ini.ReadString(kSection, "Format", "")).value_or(s.format);
    s.sampleRate = ini.ReadInteger(kSection, "Rate", s.sampleRate);
    s.quality = ini.ReadInteger(kSection, "Quality", s.quality);
    std::string loudness = ini.ReadString(kSection, "Loudness", "");
    if (SameTextIgnoringCase(loudness, "off")) {
        s.loudnessLufs.reset();
    } else if (!loudness.empty()) {
        // Not through the C library: the window runs in the user's locale, whose decimal
        // separator may be a comma, and the file must read the same everywhere.
        double value = 0;
        auto [end, error] =
            std::from_chars(loudness.data(), loudness.data() + loudness.size(), value);
        if (error == std::errc() && end == loudness.data() + loudness.size())
            s.loudnessLufs = value;
    }
    // A file edited by hand falls back value by value, not as a whole.
    const AudioSettings defaults;
    if (s.sampleRate != 44100 && s.sampleRate != 48000)
        s.sampleRate = defaults.sampleRate;
    if (s.quality < 0 || s.quality > 10)
        s.quality = defaults.quality;
    if (s.loudnessLufs && !(*s.loudnessLufs >= -70 && *s.loudnessLufs <= -5))
        s.loudnessLufs = defaults.loudnessLufs;
    return choice;
}

void WriteAudioExportChoice(IniFile& ini, const AudioExportChoice& choice) {
    const AudioSettings& s = choice.settings;
    ini.WriteString(kSection, "Folder", choice.folder.string());
    ini.WriteString(kSection, "Format", AudioFormatName(s.format));
    ini.WriteInteger(kSection, "Rate", s.sampleRate);
    ini.WriteInteger(kSection, "Quality", s.quality);
    std::string loudness = "off";
    if (s.loudnessLufs) {
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, *s.loudnessLufs).ptr;
        loudness.assign(text, end);
    }
    ini.WriteString(kSection, "Loudness", loudness);
}

std::string AudioTagDate(double days) {
    if (!std::isfinite(days) || days <= 0 || days > 2958465) // up to 9999-12-31
        return {};
    using namespace std::chrono;
    sys_days day = sys_days{1899y / December / 30} + std::chrono::days{int(std::floor(days))};
    year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(ymd.year()), unsigned(ymd.month()),
                  unsigned(ymd.day()));
    return text;
}

} // namespace tunquil
