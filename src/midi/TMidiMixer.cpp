#include "midi/TMidiMixer.h"

#include <cstdio>
#include <vector>

namespace tunquil {

using platform::MixerControlType;
using platform::MixerLine;

std::string MixerErrorText(uint32_t code) {
    static const char* const kSystem[] = {
        "Unspecified error",
        "Device ID out of range",
        "Driver failed enable",
        "Device already allocated",
        "Device handle is invalid",
        "No device driver present",
        "Memory allocation error",
        "Function isn't supported",
        "Error value out of range",
        "Invalid flag passed",
        "Invalid parameter passed",
        "Handle being used simultaneously on another thread (eg callback)",
        "Specified alias not found",
        "Bad registry database",
        "Registry key not found",
        "Registry read error",
        "Registry write error",
        "Registry delete error",
        "Registry value not found",
        "Driver does not call DriverCallback",
    };
    if (code >= 1 && code <= 20)
        return kSystem[code - 1];
    switch (code) {
    case 1024:
        return "Invalid Mixer Line";
    case 1025:
        return "Invalid Mixer Control";
    case 1026:
        return "Invalid Mixer Value";
    default:
        return "Unknown error";
    }
}

static std::string MMErrorMessage(uint32_t code, const std::string& function) {
    const char* kind = code >= 1 && code <= 20        ? "System"
                       : code >= 1024 && code <= 1026 ? "Mixer"
                                                      : "Unknown";
    return "Multimedia " + std::string(kind) + " Error " + std::to_string(code) + " - " +
           MixerErrorText(code) + " in " + function;
}

EMMError::EMMError(uint32_t code, const std::string& function)
    : std::runtime_error(MMErrorMessage(code, function)), code_(code) {}

TMidiMixer::TMidiMixer(platform::IMixerDevice& device) : device_(device) {}

TMidiMixer::~TMidiMixer() {
    // No notice may reach a component that is going away.
    device_.SetChangeNotice(nullptr);
    OnControlChange = nullptr;
    if (active_)
        device_.Close();
}

void TMidiMixer::SetActive(bool active) {
    if (active == active_)
        return;
    if (active)
        Open();
    else
        Close();
}

void TMidiMixer::Close() {
    device_.SetChangeNotice(nullptr);
    device_.Close();
    active_ = false;
    slots_ = {};
}

bool TMidiMixer::LookUpLine(MixerLine line,
                            std::initializer_list<std::pair<int, MixerControlType>> slots) {
    bool lineFound = false;
    for (auto [index, type] : slots) {
        MixerSlot& slot = slots_[std::size_t(index)];
        slot = {};
        uint32_t error = device_.FindControl(line, type, slot.control);
        if (error == platform::kMixerOk) {
            slot.available = true;
            lineFound = true;
        } else if (error == platform::kMixerInvalidControl) {
            lineFound = true;
        } else if (error != platform::kMixerInvalidLine) {
            throw EMMError(error, "mixerGetLineControls");
        }
    }
    return lineFound;
}

void TMidiMixer::Open() {
    if (uint32_t error = device_.Open())
        throw EMMError(error, "mixerOpen");
    try {
        if (!LookUpLine(MixerLine::Speakers, {{kMasterVolume, MixerControlType::Volume},
                                              {kMasterMute, MixerControlType::Mute},
                                              {kTreble, MixerControlType::Treble},
                                              {kBass, MixerControlType::Bass}}))
            throw std::runtime_error("Can't find audio output mixer line for " +
                                     device_.ProductName());
        if (!LookUpLine(MixerLine::Synthesizer, {{kMidiVolume, MixerControlType::Volume},
                                                 {kMidiMute, MixerControlType::Mute}}))
            throw std::runtime_error("Can't find MIDI output source line for " +
                                     device_.ProductName());
        for (auto& slot : slots_)
            ReadSlot(slot);
    } catch (...) {
        Close();
        throw;
    }
    device_.SetChangeNotice([this](uint32_t id) { Noticed(id); });
    active_ = true;
}

void TMidiMixer::ReadSlot(MixerSlot& slot) {
    if (!slot.available) {
        slot.left = slot.right = 0;
        return;
    }
    std::vector<uint32_t> values;
    if (uint32_t error = device_.GetValues(slot.control.id, values))
        throw EMMError(error, "mixerGetControlDetails");
    if (values.empty())
        throw EMMError(platform::kMixerInvalidValue, "mixerGetControlDetails");
    slot.left = values[0];
    slot.right = values.size() > 1 && slot.control.channels > 1 ? values[1] : values[0];
}

void TMidiMixer::SetValues(int index, uint32_t left, uint32_t right) {
    MixerSlot& slot = slots_.at(std::size_t(index));
    if (!active_ || !slot.available)
        throw EMMError(platform::kMixerInvalidControl, "mixerSetControlDetails");
    std::vector<uint32_t> values{left};
    if (slot.control.channels > 1)
        values.push_back(right);
    if (uint32_t error = device_.SetValues(slot.control.id, values))
        throw EMMError(error, "mixerSetControlDetails");
    slot.left = left;
    slot.right = slot.control.channels > 1 ? right : left;
}

void TMidiMixer::Noticed(uint32_t controlId) {
    {
        std::lock_guard lock(noticeMutex_);
        if (!pending_.insert(controlId).second)
            return; // already waiting: one delivery serves both
    }
    noticeArrived_.notify_all();
    if (onNoticePending)
        onNoticePending();
}

bool TMidiMixer::WaitForNotice(std::chrono::milliseconds limit) {
    std::unique_lock lock(noticeMutex_);
    return noticeArrived_.wait_for(lock, limit, [this] { return !pending_.empty(); });
}

void TMidiMixer::DeliverNotices() {
    std::set<uint32_t> ids;
    {
        std::lock_guard lock(noticeMutex_);
        ids.swap(pending_);
    }
    if (!active_)
        return;
    for (uint32_t id : ids) {
        for (int index = 0; index < kMixerSlotCount; ++index) {
            MixerSlot& slot = slots_[std::size_t(index)];
            if (!slot.available || slot.control.id != id)
                continue;
            uint32_t left = slot.left, right = slot.right;
            ReadSlot(slot);
            if ((slot.left != left || slot.right != right) && OnControlChange)
                OnControlChange(index);
        }
    }
}

} // namespace tunquil
