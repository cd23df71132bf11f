#pragma once
// The sequencer player as the play program drives it.

#include "app/PlayServices.h"
#include "midi/TMyMidi.h"

namespace tunquil {

class TMyMidiPlayer : public IPlayer {
public:
    explicit TMyMidiPlayer(TMyMidi& midi) : midi_(midi) {}

    void SetMidiFile(const std::string& path) override { midi_.MidiFile = path; }
    void Open() override { midi_.Open(); }
    bool Play() override { return midi_.Play(); }
    int Pause() override { return midi_.Pause(); }
    void Resume() override { midi_.Resume(); }
    void PlayFrom(int milliseconds) override { midi_.PlayFrom(milliseconds); }
    void Stop() override { midi_.Stop(); }
    void Close() override { midi_.Close(); }
    int Mode() override { return midi_.Mode(); }
    int Position() override { return midi_.Position(); }
    int Length() override { return midi_.Length(); }
    std::string LastError() override { return midi_.LastError(); }

    TMyMidi& Midi() { return midi_; }

private:
    TMyMidi& midi_;
};

} // namespace tunquil
