#include "platform/FakeSequencerDevice.h"

#include <algorithm>
#include <filesystem>

namespace tunquil::platform {

uint32_t FakeSequencerDevice::Scripted(Command command) {
    if (auto it = failNext.find(command); it != failNext.end()) {
        uint32_t error = it->second;
        failNext.erase(it);
        return error;
    }
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Open(const std::string& element, SequencerDeviceId& id) {
    calls.push_back({Command::Open, 0, element, {}, {}, {}});
    if (uint32_t error = Scripted(Command::Open))
        return error;
    std::error_code ec;
    if (checkFileExists && !std::filesystem::is_regular_file(element, ec))
        return kSeqFileNotFound;
    id = openId = nextId_++;
    if (followCommands)
        mode = SequencerMode::Stopped;
    return kSeqOk;
}

uint32_t FakeSequencerDevice::SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat) {
    calls.push_back({Command::SetTimeFormat, id, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::SetTimeFormat))
        return error;
    return id == openId && id ? kSeqOk : kSeqInvalidDeviceId;
}

uint32_t FakeSequencerDevice::Play(SequencerDeviceId id, std::optional<uint32_t> from,
                                   std::optional<uint32_t> to) {
    calls.push_back({Command::Play, id, {}, from, to, {}});
    if (uint32_t error = Scripted(Command::Play))
        return error;
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    if (followCommands) {
        mode = SequencerMode::Playing;
        if (from)
            positionMs = *from;
    }
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Pause(SequencerDeviceId id) {
    calls.push_back({Command::Pause, id, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::Pause))
        return error;
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    if (followCommands)
        mode = SequencerMode::Paused;
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Stop(SequencerDeviceId id) {
    calls.push_back({Command::Stop, id, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::Stop))
        return error;
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    if (followCommands)
        mode = SequencerMode::Stopped;
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Seek(SequencerDeviceId id, uint32_t position) {
    calls.push_back({Command::Seek, id, {}, position, {}, {}});
    if (uint32_t error = Scripted(Command::Seek))
        return error;
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    if (followCommands) {
        mode = SequencerMode::Stopped;
        positionMs = position;
    }
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Close(SequencerDeviceId id) {
    calls.push_back({Command::Close, id, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::Close))
        return error;
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    openId = 0;
    return kSeqOk;
}

uint32_t FakeSequencerDevice::Status(SequencerDeviceId id, SequencerStatusItem item,
                                     uint32_t& value) {
    calls.push_back({Command::Status, id, {}, {}, {}, item});
    if (uint32_t error = Scripted(Command::Status))
        return error;
    if (auto it = failNextStatus.find(item); it != failNextStatus.end()) {
        uint32_t error = it->second;
        failNextStatus.erase(it);
        return error;
    }
    if (id != openId || !id)
        return kSeqInvalidDeviceId;
    switch (item) {
    case SequencerStatusItem::Length:
        value = lengthMs;
        break;
    case SequencerStatusItem::Position:
        value = positionMs;
        break;
    case SequencerStatusItem::Mode:
        value = uint32_t(mode);
        break;
    }
    return kSeqOk;
}

uint32_t FakeSequencerDevice::SetTempo(double rate) {
    calls.push_back({Command::SetTempo, 0, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::SetTempo))
        return error;
    if (!TempoInRange(rate))
        return kSeqOutOfRange;
    tempo = rate;
    return kSeqOk;
}

uint32_t FakeSequencerDevice::SetTranspose(int semitones) {
    calls.push_back({Command::SetTranspose, 0, {}, {}, {}, {}});
    if (uint32_t error = Scripted(Command::SetTranspose))
        return error;
    if (!TransposeInRange(semitones))
        return kSeqOutOfRange;
    transpose = semitones;
    return kSeqOk;
}

int FakeSequencerDevice::Count(Command command) const {
    return int(std::count_if(calls.begin(), calls.end(),
                             [&](const Call& c) { return c.command == command; }));
}

} // namespace tunquil::platform
