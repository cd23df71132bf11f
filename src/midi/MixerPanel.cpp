#include "midi/MixerPanel.h"

#include <algorithm>

namespace tunquil {

int64_t MixerBarScale::Position(int64_t value) const {
    value = std::clamp(value, minimum, maximum);
    return (maximum - value) / 2;
}

int64_t MixerBarScale::Value(int64_t position) const {
    position = std::clamp<int64_t>(position, 0, Bottom());
    return std::clamp(maximum - 2 * position, minimum, maximum);
}

int BalanceOf(int64_t left, int64_t right) {
    left = std::max<int64_t>(left, 1);
    right = std::max<int64_t>(right, 1);
    int64_t volume = std::max(left, right);
    return int(50 * (right - left) / volume);
}

void ChannelsFor(int64_t volume, int balance, int64_t& left, int64_t& right) {
    int64_t b = std::clamp(balance, -49, 49);
    if (b < 0) {
        left = volume;
        right = volume * (b + 50) / 50;
    } else {
        right = volume;
        left = volume * (50 - b) / 50;
    }
}

MixerPanel::MixerPanel(TMidiMixer& mixer) : mixer_(mixer) {}

MixerBarScale MixerPanel::Scale(const MixerSlot& slot) {
    return {int64_t(slot.control.minimum), int64_t(slot.control.maximum)};
}

MixerLineView& MixerPanel::LineView(MixerGroup group) {
    return group == MixerGroup::Midi ? view_.midi : view_.master;
}

void MixerPanel::Show() {
    mixer_.SetActive(true);
    Rebuild();
    Publish();
}

void MixerPanel::ControlChanged(int) {
    Rebuild();
    Publish();
}

void MixerPanel::Rebuild() {
    auto line = [this](int volumeIndex, int muteIndex) {
        MixerLineView v;
        const MixerSlot& volume = mixer_.Slot(volumeIndex);
        if (volume.available) {
            auto scale = Scale(volume);
            MixerBar bar{true, scale.Bottom(), 0};
            v.left = v.right = v.volume = bar;
            v.left.position = scale.Position(volume.left);
            v.right.position = scale.Position(volume.right);
            // The louder channel is the volume, so a hard-panned line keeps its level when the
            // balance or the volume is touched.
            v.volume.position = scale.Position(std::max(volume.left, volume.right));
            v.balanceEnabled = true;
            v.balance = BalanceOf(int64_t(volume.left) - scale.minimum,
                                  int64_t(volume.right) - scale.minimum);
        }
        const MixerSlot& mute = mixer_.Slot(muteIndex);
        v.muteEnabled = mute.available;
        v.muted = mute.available && mute.left != mute.control.minimum;
        return v;
    };
    view_.midi = line(kMidiVolume, kMidiMute);
    view_.master = line(kMasterVolume, kMasterMute);
    auto tone = [this](int index) {
        const MixerSlot& slot = mixer_.Slot(index);
        if (!slot.available)
            return MixerBar{};
        auto scale = Scale(slot);
        return MixerBar{true, scale.Bottom(), scale.Position(slot.left)};
    };
    view_.treble = tone(kTreble);
    view_.bass = tone(kBass);
}

void MixerPanel::Publish() {
    if (!onShow)
        return;
    publishing_ = true;
    try {
        onShow(view_);
    } catch (...) {
        publishing_ = false;
        throw;
    }
    publishing_ = false;
}

void MixerPanel::WriteChannels(int index, int64_t volume, int balance) {
    const MixerSlot& slot = mixer_.Slot(index);
    auto scale = Scale(slot);
    int64_t left = 0, right = 0;
    // Balance scales the part of the range above the minimum.
    ChannelsFor(volume - scale.minimum, balance, left, right);
    mixer_.SetValues(index, uint32_t(left + scale.minimum), uint32_t(right + scale.minimum));
}

void MixerPanel::VolumeMoved(MixerGroup group, int64_t position) {
    int index = group == MixerGroup::Midi ? kMidiVolume : kMasterVolume;
    if (publishing_ || !mixer_.Slot(index).available)
        return;
    MixerLineView& v = LineView(group);
    WriteChannels(index, Scale(mixer_.Slot(index)).Value(position), v.balance);
    Rebuild();
    Publish();
}

void MixerPanel::BalanceMoved(MixerGroup group, int balance) {
    int index = group == MixerGroup::Midi ? kMidiVolume : kMasterVolume;
    if (publishing_ || !mixer_.Slot(index).available)
        return;
    MixerLineView& v = LineView(group);
    WriteChannels(index, Scale(mixer_.Slot(index)).Value(v.volume.position), balance);
    Rebuild();
    Publish();
}

void MixerPanel::LeftMoved(MixerGroup group, int64_t position) {
    ChannelMoved(group, position, true);
}

void MixerPanel::RightMoved(MixerGroup group, int64_t position) {
    ChannelMoved(group, position, false);
}

void MixerPanel::ChannelMoved(MixerGroup group, int64_t position, bool left) {
    int index = group == MixerGroup::Midi ? kMidiVolume : kMasterVolume;
    const MixerSlot& slot = mixer_.Slot(index);
    if (publishing_ || !slot.available)
        return;
    auto value = uint32_t(Scale(slot).Value(position));
    mixer_.SetValues(index, left ? value : slot.left, left ? slot.right : value);
    Rebuild();
    Publish();
}

void MixerPanel::MuteToggled(MixerGroup group, bool pressed) {
    int index = group == MixerGroup::Midi ? kMidiMute : kMasterMute;
    const MixerSlot& slot = mixer_.Slot(index);
    if (publishing_ || !slot.available)
        return;
    mixer_.SetValue(index, pressed ? slot.control.maximum : slot.control.minimum);
    Rebuild();
    Publish();
}

void MixerPanel::ToneMoved(int index, int64_t position) {
    const MixerSlot& slot = mixer_.Slot(index);
    if (publishing_ || !slot.available)
        return;
    mixer_.SetValue(index, uint32_t(Scale(slot).Value(position)));
    Rebuild();
    Publish();
}

} // namespace tunquil
