#include "platform/ChannelStates.h"

#include <algorithm>

namespace tunquil::platform {

namespace {

constexpr uint8_t kBankMsb = 0, kBankLsb = 32, kDataMsb = 6, kDataLsb = 38, kIncrement = 96,
                  kDecrement = 97, kNrpnLsb = 98, kNrpnMsb = 99, kRpnLsb = 100, kRpnMsb = 101,
                  kResetControllers = 121;
constexpr uint16_t kNonRegistered = 1 << 14;
constexpr uint16_t kFineTuning = 1, kCoarseTuning = 2; // registered parameters 0/1 and 0/2

// The resets of the whole synthesizer: General MIDI on (1 and 2), the GS reset, the XG reset.
bool IsReset(const uint8_t* b, uint32_t size) {
    static const std::vector<std::vector<uint8_t>> resets{
        {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
        {0xF0, 0x7E, 0x7F, 0x09, 0x03, 0xF7},
        {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},
        {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},
    };
    for (const auto& reset : resets)
        if (size == reset.size() && std::equal(reset.begin(), reset.end(), b))
            return true;
    return false;
}

} // namespace

ChannelStates::ChannelStates(const MidiSequence& tune) : tune_(tune) {
    const auto& events = tune.Events();
    State state;
    snapshots_.reserve(events.size() / kSnapshotEvery + 1);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i % kSnapshotEvery == 0)
            snapshots_.push_back(state);
        auto m = tune.Message(events[i]);
        if (m[0] == 0xF0)
            sysex_.push_back(uint32_t(i));
        Apply(state, m.data(), uint32_t(m.size()));
    }
}

void ChannelStates::ResetControllers(Channel& c) {
    // As the synthesizer resets them, which is more than a reset of all controllers is
    // recommended to: every controller but the banks, volume, balance, pan, the sound
    // controllers (70-79) and the effect depths (91-95); the parameter selection, bend and
    // pressure. Of the parameters' data it loses the channel's fine and coarse tuning and the
    // non-registered ones, all of which it keeps as generator offsets; the bend range and the
    // tuning program stay. A seek starts with this same reset, so what it clears is not sent.
    for (int controller = 0; controller < 120; ++controller) {
        const bool kept = controller == kBankMsb || controller == kBankLsb || controller == 7 ||
                          controller == 39 || controller == 8 || controller == 40 ||
                          controller == 10 || controller == 42 ||
                          (controller >= 70 && controller <= 79) ||
                          (controller >= 91 && controller <= 95);
        if (!kept)
            c.cc[controller] = -1;
    }
    std::erase_if(c.parameters, [](const Parameter& p) {
        return (p.key & kNonRegistered) || p.key == kFineTuning || p.key == kCoarseTuning;
    });
    c.selected = -1;
    c.bendLsb = c.bendMsb = c.pressure = -1;
}

void ChannelStates::Apply(State& state, const uint8_t* b, uint32_t size) {
    if (b[0] == 0xF0) {
        // After a reset the channels hold only what comes later.
        if (IsReset(b, size))
            state = State{};
        return;
    }
    Channel& c = state[b[0] & 0x0F];
    const int8_t d1 = size > 1 ? int8_t(b[1] & 0x7F) : 0;
    const int8_t d2 = size > 2 ? int8_t(b[2] & 0x7F) : 0;
    auto parameter = [&c]() -> Parameter* {
        // The null parameter (127, 127) takes no data.
        if (c.selected < 0 || (c.selected & 0x3FFF) == 0x3FFF)
            return nullptr;
        for (Parameter& p : c.parameters)
            if (p.key == c.selected)
                return &p;
        c.parameters.push_back({uint16_t(c.selected)});
        return &c.parameters.back();
    };
    auto select = [&c](bool nonRegistered, int msbController, int lsbController) {
        int msb = std::max<int>(c.cc[msbController], 0),
            lsb = std::max<int>(c.cc[lsbController], 0);
        c.selected = int16_t((nonRegistered ? kNonRegistered : 0) | msb << 7 | lsb);
    };
    switch (b[0] & 0xF0) {
    case 0xB0:
        switch (d1) {
        case kDataMsb:
            if (Parameter* p = parameter())
                p->msb = d2;
            break;
        case kDataLsb:
            if (Parameter* p = parameter())
                p->lsb = d2;
            break;
        case kIncrement:
        case kDecrement:
            if (Parameter* p = parameter(); p && p->msb >= 0)
                p->msb = int8_t(std::clamp(p->msb + (d1 == kIncrement ? 1 : -1), 0, 127));
            break;
        case kRpnMsb:
        case kRpnLsb:
            c.cc[d1] = d2;
            select(false, kRpnMsb, kRpnLsb);
            break;
        case kNrpnMsb:
        case kNrpnLsb:
            c.cc[d1] = d2;
            select(true, kNrpnMsb, kNrpnLsb);
            break;
        case kResetControllers:
            ResetControllers(c);
            break;
        default:
            if (d1 < 120) // 120 and up are channel mode messages, which keep no state
                c.cc[d1] = d2;
            break;
        }
        break;
    case 0xC0:
        c.program = d1;
        c.programBankMsb = c.cc[kBankMsb];
        c.programBankLsb = c.cc[kBankLsb];
        break;
    case 0xD0:
        c.pressure = d1;
        break;
    case 0xE0:
        c.bendLsb = d1;
        c.bendMsb = d2;
        break;
    default:
        break; // notes and polyphonic pressure: nothing that outlasts them
    }
}

void ChannelStates::SendState(const State& state, const Send& send) {
    for (int ch = 0; ch < 16; ++ch) {
        const Channel& c = state[ch];
        const uint8_t cc = uint8_t(0xB0 | ch);
        auto controller = [&](int number, int value) {
            const uint8_t m[3] = {cc, uint8_t(number), uint8_t(value)};
            send(m, 3);
        };
        // The program in the bank it was chosen in; the banks selected since follow.
        if (c.program >= 0) {
            if (c.programBankMsb >= 0)
                controller(kBankMsb, c.programBankMsb);
            if (c.programBankLsb >= 0)
                controller(kBankLsb, c.programBankLsb);
            const uint8_t m[2] = {uint8_t(0xC0 | ch), uint8_t(c.program)};
            send(m, 2);
        }
        for (int number = 0; number < 120; ++number)
            if (c.cc[number] >= 0 && number != kDataMsb && number != kDataLsb &&
                (number < kIncrement || number > kRpnMsb))
                controller(number, c.cc[number]);
        for (const Parameter& p : c.parameters) {
            const bool nonRegistered = p.key & kNonRegistered;
            controller(nonRegistered ? kNrpnMsb : kRpnMsb, (p.key >> 7) & 0x7F);
            controller(nonRegistered ? kNrpnLsb : kRpnLsb, p.key & 0x7F);
            if (p.msb >= 0)
                controller(kDataMsb, p.msb);
            if (p.lsb >= 0)
                controller(kDataLsb, p.lsb);
        }
        // The selection the tune left, so that its next data entry goes where it meant.
        if (c.selected >= 0) {
            const bool nonRegistered = c.selected & kNonRegistered;
            controller(nonRegistered ? kNrpnMsb : kRpnMsb, (c.selected >> 7) & 0x7F);
            controller(nonRegistered ? kNrpnLsb : kRpnLsb, c.selected & 0x7F);
        }
        if (c.bendLsb >= 0) {
            const uint8_t m[3] = {uint8_t(0xE0 | ch), uint8_t(c.bendLsb), uint8_t(c.bendMsb)};
            send(m, 3);
        }
        if (c.pressure >= 0) {
            const uint8_t m[2] = {uint8_t(0xD0 | ch), uint8_t(c.pressure)};
            send(m, 2);
        }
    }
}

void ChannelStates::RestoreBefore(double ms, const Send& send) const {
    const auto& events = tune_.Events();
    const std::size_t end = tune_.FirstEventAtOrAfter(ms);
    for (std::size_t i : sysex_) {
        if (i >= end)
            break;
        auto m = tune_.Message(events[i]);
        send(m.data(), uint32_t(m.size()));
    }
    if (snapshots_.empty())
        return;
    const std::size_t k = std::min(end / kSnapshotEvery, snapshots_.size() - 1);
    State state = snapshots_[k];
    for (std::size_t i = k * kSnapshotEvery; i < end; ++i) {
        auto m = tune_.Message(events[i]);
        Apply(state, m.data(), uint32_t(m.size()));
    }
    SendState(state, send);
}

} // namespace tunquil::platform
