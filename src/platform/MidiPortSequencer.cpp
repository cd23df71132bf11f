#include "platform/MidiPortSequencer.h"

#include <algorithm>

namespace tunquil::platform {

namespace {

// Often enough that a change of volume or a port that went away is noticed at once by ear,
// seldom enough to cost nothing.
constexpr auto kPollEvery = std::chrono::milliseconds(50);

} // namespace

std::vector<uint8_t> MasterVolumeMessage(const SynthesizerMix& mix) {
    const uint32_t louder = mix.Muted() ? 0 : std::max(mix.Left(), mix.Right());
    const uint32_t value =
        uint32_t((uint64_t(louder) * 16383 + SynthesizerMix::kFull / 2) / SynthesizerMix::kFull);
    return {0xF0, 0x7F, 0x7F, 0x04, 0x01, uint8_t(value & 0x7F), uint8_t(value >> 7), 0xF7};
}

MidiPortSequencer::MidiPortSequencer(MidiPortSequencerOptions options)
    : ClockedSequencer(options.sendObserver), options_(std::move(options)) {
    pollInterval_ = kPollEvery;
}

MidiPortSequencer::~MidiPortSequencer() {
    Shutdown();
    std::lock_guard command(command_);
    if (connection_)
        connection_->Drain();
    connection_.reset();
}

uint32_t MidiPortSequencer::StartOutput() {
    std::lock_guard state(state_);
    if (connection_ && !connection_->Gone())
        return kSeqOk;
    // A port that went away may be back (plugged in again): each open looks for it afresh.
    connection_.reset();
    volumeSent_.clear();
    uint32_t error = kSeqPortNotFound;
    connection_ = options_.connect(options_.port, error);
    if (!connection_)
        return error == kSeqOk ? kSeqPortNotFound : error;
    lookahead_ = connection_->Lookahead();
    return kSeqOk;
}

void MidiPortSequencer::Output(const uint8_t* bytes, uint32_t size) {
    if (connection_)
        connection_->Send(bytes, size, sendingDue_.value_or(Clock::now()));
}

void MidiPortSequencer::SilenceOutput() {
    // A module on a cable holds a note until told otherwise, and a pedal or a bend left behind
    // colours whatever plays next: every channel is cleared, not only the notes we know of.
    for (uint8_t channel = 0; channel < 16; ++channel) {
        for (uint8_t controller : {120, 123, 121}) {
            const uint8_t message[3] = {uint8_t(0xB0 | channel), controller, 0};
            Output(message, 3);
        }
    }
}

void MidiPortSequencer::BeforePlay() {
    // Every play, not only on a change: a reset played just before sets the synthesizer's
    // master volume back to full.
    volumeSent_.clear();
    SendMasterVolume();
}

void MidiPortSequencer::SendMasterVolume() {
    if (!options_.mix || !connection_)
        return;
    auto message = MasterVolumeMessage(*options_.mix);
    if (message == volumeSent_)
        return;
    Output(message.data(), uint32_t(message.size()));
    volumeSent_ = std::move(message);
}

uint32_t MidiPortSequencer::Poll() {
    if (!connection_ || connection_->Gone()) {
        // Let go of it: plugged in again, the port may be at another address, and the next
        // open looks for it afresh.
        connection_.reset();
        return kSeqPortGone;
    }
    SendMasterVolume();
    return kSeqOk;
}

} // namespace tunquil::platform
