#pragma once
// The mixer component: opens the mixer device, finds the speaker line and the synthesizer line
// on it, keeps the values of its six controls and reports changes made elsewhere. Device errors
// are EMMError exceptions with the device's numbered texts.

#include "platform/MixerDevice.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

namespace tunquil {

// The text of a mixer error number ("Unknown error" for one it does not know).
std::string MixerErrorText(uint32_t code);

class EMMError : public std::runtime_error {
public:
    // `function` names the failing call: "mixerOpen", "mixerGetLineControls",
    // "mixerGetControlDetails" or "mixerSetControlDetails".
    EMMError(uint32_t code, const std::string& function);
    uint32_t Code() const { return code_; }

private:
    uint32_t code_;
};

enum MixerSlotIndex : int {
    kMidiVolume = 0,
    kMasterVolume = 1,
    kMidiMute = 2,
    kMasterMute = 3,
    kTreble = 4,
    kBass = 5,
    kMixerSlotCount = 6,
};

struct MixerSlot {
    platform::MixerControl control;
    bool available = false;
    uint32_t left = 0;
    uint32_t right = 0;
};

class TMidiMixer {
public:
    explicit TMidiMixer(platform::IMixerDevice& device);
    ~TMidiMixer();
    TMidiMixer(const TMidiMixer&) = delete;
    TMidiMixer& operator=(const TMidiMixer&) = delete;

    bool Active() const { return active_; }
    // Opening reads every control; it throws EMMError or std::runtime_error ("Can't find ...")
    // and then stays inactive.
    void SetActive(bool active);
    // Which mixer: -2 the first mixer device, otherwise the mixer of that MIDI output device.
    // This system has one mixer, so every value opens it.
    int MidiDeviceID = -1;

    // A control changed outside the program, with its slot index. Called from DeliverNotices.
    std::function<void(int index)> OnControlChange;
    // Called on the device's thread when notices wait; the owner then calls DeliverNotices on
    // its own thread (the window posts it to the user-interface thread).
    std::function<void()> onNoticePending;
    // Re-reads the slots that were noticed and calls OnControlChange for each whose values
    // differ from those kept; the echo of our own writes changes nothing and is not reported.
    // Throws EMMError when a read fails.
    void DeliverNotices();
    // Waits until a notice is pending or `limit` has passed; for callers without an event loop.
    bool WaitForNotice(std::chrono::milliseconds limit);

    const MixerSlot& Slot(int index) const { return slots_.at(std::size_t(index)); }
    // Writes both channels of a slot (one value for a one-channel control); EMMError naming
    // "mixerSetControlDetails" when the device refuses.
    void SetValues(int index, uint32_t left, uint32_t right);
    void SetValue(int index, uint32_t value) { SetValues(index, value, value); }
    std::string ProductName() const { return device_.ProductName(); }

private:
    void Open();
    void Close();
    void ReadSlot(MixerSlot& slot);
    // Looks up the controls of one line; false when the device has no such line at all.
    bool LookUpLine(platform::MixerLine line,
                    std::initializer_list<std::pair<int, platform::MixerControlType>> slots);
    void Noticed(uint32_t controlId);

    platform::IMixerDevice& device_;
    bool active_ = false;
    std::array<MixerSlot, kMixerSlotCount> slots_{};
    std::mutex noticeMutex_;
    std::condition_variable noticeArrived_;
    std::set<uint32_t> pending_;
};

} // namespace tunquil
