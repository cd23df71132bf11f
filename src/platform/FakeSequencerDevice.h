#pragma once
// A sequencer device for tests: no sound, a mode and a position set by the test, errors
// scripted per command, and a log of every command received.

#include "platform/SequencerDevice.h"

#include <map>
#include <string>
#include <vector>

namespace tunquil::platform {

class FakeSequencerDevice : public ISequencerDevice {
public:
    enum class Command {
        Open,
        SetTimeFormat,
        Play,
        Pause,
        Stop,
        Seek,
        Close,
        Status,
        SetTempo,
        SetTranspose
    };

    struct Call {
        Command command;
        SequencerDeviceId id = 0;
        std::string element;              // Open
        std::optional<uint32_t> from, to; // Play; Seek's position in `from`
        SequencerStatusItem item{};       // Status
    };

    // What the device answers. A scripted error is returned by the next call of that command
    // (and of that status item) only.
    uint32_t lengthMs = 60000;
    uint32_t positionMs = 0;
    SequencerMode mode = SequencerMode::Stopped;
    std::map<Command, uint32_t> failNext;
    std::map<SequencerStatusItem, uint32_t> failNextStatus;
    // Open refuses elements that do not exist on disk, as the real device does.
    bool checkFileExists = true;
    // Play puts the device into the playing mode; Pause and Stop leave their own.
    bool followCommands = true;

    std::vector<Call> calls;
    SequencerDeviceId openId = 0;
    double tempo = 1.0;
    int transpose = 0;

    uint32_t Open(const std::string& element, SequencerDeviceId& id) override;
    uint32_t SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) override;
    uint32_t Play(SequencerDeviceId id, std::optional<uint32_t> from,
                  std::optional<uint32_t> to) override;
    uint32_t Pause(SequencerDeviceId id) override;
    uint32_t Stop(SequencerDeviceId id) override;
    uint32_t Seek(SequencerDeviceId id, uint32_t positionMs) override;
    uint32_t Close(SequencerDeviceId id) override;
    uint32_t Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) override;
    uint32_t SetTempo(double rate) override;
    uint32_t SetTranspose(int semitones) override;

    int Count(Command command) const;

private:
    uint32_t Scripted(Command command);
    SequencerDeviceId nextId_ = 1;
};

} // namespace tunquil::platform
