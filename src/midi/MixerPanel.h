#pragma once
// What the sound-control window shows of the mixer and what its bars and buttons write: the
// window only moves its controls to the states given here and passes the user's moves back.
// Volume bars are vertical with their top (position 0) at the loudest value.

#include "midi/TMidiMixer.h"

#include <cstdint>
#include <functional>

namespace tunquil {

// The bar of one control: positions 0 .. Top(), value `maximum` at 0. Counted from the
// control's minimum, so that a control whose range does not start at 0 still fills its bar.
struct MixerBarScale {
    int64_t minimum = 0;
    int64_t maximum = 0;

    int64_t Bottom() const { return (maximum - minimum) / 2; }
    int64_t Position(int64_t value) const;
    int64_t Value(int64_t position) const;
};

// -50 (all left) .. 50 (all right), from the louder channel.
int BalanceOf(int64_t left, int64_t right);
// The two channel values for a volume and a balance; the balance is kept within -49..49 so that
// the quieter channel keeps 1/50 of the volume.
void ChannelsFor(int64_t volume, int balance, int64_t& left, int64_t& right);

struct MixerBar {
    bool enabled = false;
    int64_t bottom = 0; // the range is 0 .. bottom
    int64_t position = 0;
};

struct MixerLineView {
    MixerBar left, right, volume;
    bool balanceEnabled = false;
    int balance = 0;
    bool muteEnabled = false;
    bool muted = false;
};

struct MixerView {
    MixerLineView midi, master;
    MixerBar treble, bass;
};

enum class MixerGroup { Midi, Master };

class MixerPanel {
public:
    explicit MixerPanel(TMidiMixer& mixer);

    // Called whenever the controls must move to a new state: on Show and after every change
    // notice. Moves made by the window while this runs are not written back.
    std::function<void(const MixerView&)> onShow;

    // Activates the mixer and shows its state. Throws what the mixer throws.
    void Show();
    const MixerView& View() const { return view_; }
    // Re-reads the view from the mixer's values (after a change notice).
    void ControlChanged(int index);

    // The user's moves. Each writes through the mixer (EMMError on failure) unless it is the
    // window following a notice.
    void VolumeMoved(MixerGroup group, int64_t position);
    void BalanceMoved(MixerGroup group, int balance);
    void LeftMoved(MixerGroup group, int64_t position);
    void RightMoved(MixerGroup group, int64_t position);
    void MuteToggled(MixerGroup group, bool pressed);
    void TrebleMoved(int64_t position) { ToneMoved(kTreble, position); }
    void BassMoved(int64_t position) { ToneMoved(kBass, position); }

private:
    void Rebuild();
    void Publish();
    void ToneMoved(int index, int64_t position);
    void ChannelMoved(MixerGroup group, int64_t position, bool left);
    void WriteChannels(int index, int64_t volume, int balance);
    static MixerBarScale Scale(const MixerSlot& slot);
    MixerLineView& LineView(MixerGroup group);

    TMidiMixer& mixer_;
    MixerView view_;
    bool publishing_ = false;
};

} // namespace tunquil
