#pragma once
// What an audio export writes: the file format, its sample rate and quality, the loudness the
// sound is brought to, and the tags that describe a title on a phone or in a car.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tunquil {

class IniFile;

enum class AudioFormat { Flac, Vorbis, Opus, Mp3, Wave };

// The format's name as typed on the command line and kept in the settings: "flac", "ogg",
// "opus", "mp3", "wav".
std::string_view AudioFormatName(AudioFormat format);
// By name; "vorbis" and "wave" are taken as well, in any letter case. None when unknown.
std::optional<AudioFormat> AudioFormatNamed(std::string_view name);
// By a file's extension (".flac", ".oga" ...), in any letter case. None when unknown.
std::optional<AudioFormat> AudioFormatOfFile(const std::filesystem::path& file);
// ".flac", ".ogg", ".opus", ".mp3", ".wav".
std::string_view AudioExtension(AudioFormat format);
// Whether the quality setting applies: the lossy formats only.
bool AudioFormatHasQuality(AudioFormat format);

struct AudioSettings {
    static constexpr double kDefaultLoudness = -16; // LUFS, EBU R128 integrated
    static constexpr int kDefaultQuality = 7;

    AudioFormat format = AudioFormat::Flac;
    int sampleRate = 44100; // 44100 or 48000; Opus files are always 48000
    // 0 (smallest file) to 10 (best sound) for Ogg Vorbis, Opus and MP3.
    int quality = kDefaultQuality;
    // The integrated loudness every file is brought to; none keeps the synthesizer's level.
    std::optional<double> loudnessLufs = kDefaultLoudness;
    std::string soundFontSetting; // the user's choice; the usual places are searched after it
    // The tune plays once, as written. The play settings' loop mode (play the loop N times,
    // then fade) is to be applied here when it exists.

    // The rate the files are written at for this format.
    int EffectiveSampleRate() const { return format == AudioFormat::Opus ? 48000 : sampleRate; }
};

// Checks the numbers a person gave; throws std::invalid_argument with the reason.
void CheckAudioSettings(const AudioSettings& settings);

struct AudioTags {
    std::string title;
    std::string artist;
    std::string album; // the album or the category the title was exported from
    std::string date;  // YYYY-MM-DD, the day the title was obtained
    std::string comment;
};

// What the window's audio export dialog remembers, in the [Audio export] section of Tunquil.ini:
// Folder=, Format= (the format's name), Rate=, Quality= and Loudness= (LUFS, or "off"). A value
// that cannot be is read as the default.
struct AudioExportChoice {
    std::filesystem::path folder;
    AudioSettings settings;
};
AudioExportChoice ReadAudioExportChoice(const IniFile& ini);
void WriteAudioExportChoice(IniFile& ini, const AudioExportChoice& choice);

// "YYYY-MM-DD" for a date as the title records keep it (days since 1899-12-30); empty for no
// date at all.
std::string AudioTagDate(double daysSince1899);

} // namespace tunquil
