#pragma once
// The sequencer player as the play program drives it.

#include "app/PlayServices.h"
#include "midi/TMyMidi.h"

namespace tunquil {

class TMyMidiPlayer : public IPlayer {
public:
    explicit TMyMidiPlayer(TMyMidi& midi) : midi_(midi) {}

    void SetMidiFile(const std::string& path) override { midi_.MidiFile = path; }
    void Open() override {
        Classified([this] { midi_.Open(); });
    }
    bool Play() override {
        bool playing = false;
        Classified([&] { playing = midi_.Play(); });
        return playing;
    }
    int Pause() override {
        int position = 0;
        Classified([&] { position = midi_.Pause(); });
        return position;
    }
    void Resume() override { midi_.Resume(); }
    void PlayFrom(int milliseconds) override { midi_.PlayFrom(milliseconds); }
    void Stop() override { midi_.Stop(); }
    void Seek(int milliseconds) override { midi_.Seek(milliseconds); }
    void Close() override { midi_.Close(); }
    int Mode() override { return midi_.Mode(); }
    int Position() override { return midi_.Position(); }
    int Length() override { return midi_.Length(); }
    void SetTempo(double rate) override { midi_.SetTempo(rate); }
    void SetTranspose(int semitones) override { midi_.SetTranspose(semitones); }
    std::string LastError() override { return midi_.LastError(); }

    TMyMidi& Midi() { return midi_; }

private:
    // The device's error number tells whether the device or the tune failed.
    template <class Command> static void Classified(Command&& command) {
        try {
            command();
        } catch (const EMciError& e) {
            if (platform::IsDeviceFailure(e.Error()))
                throw EDeviceUnavailable(e.what());
            throw;
        }
    }

    TMyMidi& midi_;
};

} // namespace tunquil
