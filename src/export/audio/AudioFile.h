#pragma once
// One tune made into one audio file: rendered, measured, brought to the loudness asked for
// and encoded. The file appears under its name only once it is complete; a failure or a cancel
// leaves nothing behind.

#include "export/audio/AudioSettings.h"

#include <atomic>
#include <filesystem>
#include <span>
#include <stdexcept>

namespace tunquil {

namespace platform {
class TuneRenderer;
}

// Why a file was not written, in words for the user.
class AudioExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file that was to be written is there already, and replacing was not allowed.
class AudioFileExists : public AudioExportError {
public:
    using AudioExportError::AudioExportError;
};

// The export was cancelled while this file was being made.
class AudioExportCancelled : public AudioExportError {
public:
    AudioExportCancelled() : AudioExportError("Cancelled") {}
};

// The highest true peak a file may reach, in dBTP.
inline constexpr double kTruePeakCeiling = -1.0;

struct AudioFileOptions {
    AudioSettings settings;
    AudioTags tags;
    bool replace = false;                      // an existing file at the target is replaced
    const std::atomic<bool>* cancel = nullptr; // set from another thread to stop
    double rate = 1.0;                         // the speed, 1 for the tune's own
    int semitones = 0;                         // every key but the drums' shifted by this
};

// Writes the tune in `midiBytes` (a Standard MIDI or RMID file) to `target` in the settings'
// format, rendered with `renderer`, whose sample rate must be the settings' effective one.
// Throws AudioExportError (AudioFileExists, AudioExportCancelled) with the reason.
void WriteAudioFile(platform::TuneRenderer& renderer, std::span<const uint8_t> midiBytes,
                    const std::filesystem::path& target, const AudioFileOptions& options);

} // namespace tunquil
