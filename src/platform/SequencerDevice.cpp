#include "platform/SequencerDevice.h"

namespace tunquil::platform {

bool ISequencerDevice::ErrorText(uint32_t error, std::string& text) const {
    return SequencerErrorText(error, text);
}

bool SequencerErrorText(uint32_t error, std::string& text) {
    const char* found = nullptr;
    switch (error) {
    case kSeqOk:
        found = "The command completed without an error.";
        break;
    case kSeqInvalidDeviceId:
        found = "The sequencer has no tune open under this device identifier.";
        break;
    case kSeqFileNotFound:
        found = "The MIDI file was not found or cannot be read.";
        break;
    case kSeqInvalidFile:
        found = "The file is not a MIDI file the sequencer can play (neither a Standard MIDI "
                "File nor an RMID file), or it is damaged.";
        break;
    case kSeqDeviceInUse:
        found = "The sequencer is already in use by another tune; close that tune first.";
        break;
    case kSeqNoSoundFont:
        found = "No SoundFont was found for the synthesizer. Install a General MIDI SoundFont "
                "(the package fluid-soundfont-gm) or name a .sf2 file in TUNQUIL_SOUNDFONT.";
        break;
    case kSeqSoundFontUnusable:
        found = "The synthesizer cannot load its SoundFont; the file is damaged or is not a "
                "SoundFont.";
        break;
    case kSeqNoSoundServer:
        found = "The sound server cannot be reached. Make sure PulseAudio or PipeWire is "
                "running for this user.";
        break;
    case kSeqSynthesizerFailed:
        found = "The synthesizer could not be started.";
        break;
    case kSeqWaveFileFailed:
        found = "The WAV file cannot be written.";
        break;
    case kSeqOutOfRange:
        found = "The position lies beyond the end of the tune.";
        break;
    case kSeqBadTimeFormat:
        found = "The sequencer does not support this time format.";
        break;
    case kSeqBadStatusItem:
        found = "The sequencer does not know this status item.";
        break;
    case kSeqPortNotFound:
        found = "The chosen MIDI output cannot be found. Make sure the synthesizer is plugged in "
                "and switched on, or that its program is running, or choose another output.";
        break;
    case kSeqPortGone:
        found = "The MIDI output went away while the tune was playing: the synthesizer was "
                "unplugged or its program ended.";
        break;
    }
    if (!found)
        return false;
    text = found;
    return true;
}

bool IsDeviceFailure(uint32_t error) {
    switch (error) {
    case kSeqDeviceInUse:
    case kSeqNoSoundFont:
    case kSeqSoundFontUnusable:
    case kSeqNoSoundServer:
    case kSeqSynthesizerFailed:
    case kSeqWaveFileFailed:
    case kSeqPortNotFound:
    case kSeqPortGone:
        return true;
    default:
        return false;
    }
}

} // namespace tunquil::platform
