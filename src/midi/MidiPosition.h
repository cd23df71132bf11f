#pragma once
// Walks a loaded file's tempo map to turn ticks into milliseconds and a musical position
// (bar, beat, tick within the beat). The tempo events of every track count, merged by tick, as
// the sequencer plays them; the time signatures are the first track chunk's.

#include <cstdint>
#include <vector>

namespace tunquil {

class TMidiData;

class TMidiPosition {
public:
    // Milliseconds per quarter note until a Set Tempo: the MIDI standard's 120 beats a minute.
    static constexpr int32_t kDefaultTempoMs = 500;
    static constexpr int32_t kDefaultPPQN = 180; // when no file is attached

    TMidiPosition();
    virtual ~TMidiPosition() = default;
    TMidiPosition(const TMidiPosition&) = delete;
    TMidiPosition& operator=(const TMidiPosition&) = delete;

    TMidiData* MidiData() const { return midiData_; }
    // Attaching a different file resets the position and seeks back to the tick it was at,
    // then calls Changed. Throws like SeekTick.
    void SetMidiData(TMidiData* midiData);

    // Moves to `tick`. Throws std::runtime_error when the file's numbers make the time or
    // the position incomputable (a division by zero, a time signature shifting by 31 bits or
    // more); the position is then undefined until the next seek.
    void SeekTick(int32_t tick);
    // The latest time of a channel message in any track.
    int32_t EndTick() const;
    // Milliseconds at EndTick; leaves the position at the tick it had.
    int64_t DurationMs();

    int32_t Tick() const { return tick_; }
    int64_t TimeMs() const { return timeMs_; }
    int32_t TempoMs() const { return tempo_; }
    int32_t PPQN() const { return ppqn_; }
    int Numerator() const { return numerator_; }
    int DenominatorExponent() const { return denominatorExponent_; }
    int32_t TicksPerBeat() const { return ticksPerBeat_; }
    int32_t TicksPerBar() const { return ticksPerBar_; }
    // Counted from 0.
    int64_t Bar() const { return bar_; }
    int32_t Beat() const { return beat_; }
    int32_t TickInBeat() const { return tickInBeat_; }

protected:
    virtual void Changed() {}

private:
    void Reset();
    // The tempo and time-signature events in the order they take effect.
    void BuildMap();
    void ApplyTempo(int32_t time, const uint8_t* block, int length);
    void ApplyTimeSignature(int32_t time, const uint8_t* block, int length);

    TMidiData* midiData_ = nullptr;
    int32_t ppqn_ = kDefaultPPQN;
    int32_t tick_ = 0;
    int64_t timeMs_ = 0;
    int32_t tempo_ = kDefaultTempoMs;
    int32_t tempoTick_ = 0;
    int64_t tempoMs_ = 0; // milliseconds reached at tempoTick_
    int numerator_ = 4;
    int denominatorExponent_ = 2;
    int32_t ticksPerBeat_ = kDefaultPPQN;
    int32_t ticksPerBar_ = 4 * kDefaultPPQN;
    int32_t signatureTick_ = 0;
    int64_t barCount_ = 0; // bars reached at signatureTick_
    int64_t bar_ = 0;
    int32_t beat_ = 0;
    int32_t tickInBeat_ = 0;
    struct MapEvent {
        int32_t time;
        const uint8_t* block;
        int length;
    };
    std::vector<MapEvent> map_;
    int32_t eventIndex_ = 0; // the next event of the map to take in
};

} // namespace tunquil
