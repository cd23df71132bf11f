#include "platform/OutputChoice.h"

#include "platform/MidiPorts.h"

namespace tunquil::platform {

OutputChoice::OutputChoice(std::unique_ptr<ISequencerDevice> builtIn,
                           PortDeviceMaker makePortDevice)
    : builtIn_(std::move(builtIn)), makePortDevice_(std::move(makePortDevice)) {}

OutputChoice::~OutputChoice() {
    if (active_)
        active_->Close(innerId_);
}

void OutputChoice::Choose(const std::string& output) {
    chosen_ = output == kBuiltInSynthesizer ? std::string() : output;
    reported_ = false;
}

bool OutputChoice::PortChosen() const {
    return !chosen_.empty();
}

void OutputChoice::PortUnavailable(uint32_t error) {
    if (reported_)
        return;
    reported_ = true;
    std::string why;
    ErrorText(error, why);
    if (onPortUnavailable)
        onPortUnavailable(chosen_, why);
}

void OutputChoice::LookForChosenPort() {
    if (!PortChosen() || active_)
        return;
    port_ = makePortDevice_ ? makePortDevice_(chosen_) : nullptr;
    portName_ = chosen_;
    if (port_) {
        port_->SetTempo(rate_);
        port_->SetTranspose(transpose_);
    } else {
        PortUnavailable(kSeqPortNotFound);
    }
}

uint32_t OutputChoice::Open(const std::string& element, SequencerDeviceId& id) {
    if (active_)
        return kSeqDeviceInUse;
    ISequencerDevice* device = builtIn_.get();
    if (PortChosen()) {
        if (!port_ || portName_ != chosen_) {
            port_.reset();
            port_ = makePortDevice_ ? makePortDevice_(chosen_) : nullptr;
            portName_ = chosen_;
            if (port_) {
                port_->SetTempo(rate_);
                port_->SetTranspose(transpose_);
            }
        }
        if (port_) {
            uint32_t error = port_->Open(element, innerId_);
            if (error == kSeqOk) {
                reported_ = false;
                device = port_.get();
            } else if (IsDeviceFailure(error)) {
                // Looked for again at every tune: plugged in later, it is used from then on.
                port_.reset();
                PortUnavailable(error);
            } else {
                return error; // the tune's own fault, whatever it plays on
            }
        } else {
            PortUnavailable(kSeqPortNotFound);
        }
    }
    if (device == builtIn_.get()) {
        if (uint32_t error = builtIn_->Open(element, innerId_))
            return error;
    }
    active_ = device;
    element_ = element;
    playTo_.reset();
    id = ownId_ = nextId_++;
    return kSeqOk;
}

ISequencerDevice* OutputChoice::Device(SequencerDeviceId id) const {
    return id != 0 && id == ownId_ ? active_ : nullptr;
}

uint32_t OutputChoice::SetTimeFormat(SequencerDeviceId id, SequencerTimeFormat format) {
    auto* device = Device(id);
    return device ? device->SetTimeFormat(innerId_, format) : kSeqInvalidDeviceId;
}

uint32_t OutputChoice::Play(SequencerDeviceId id, std::optional<uint32_t> from,
                            std::optional<uint32_t> to) {
    auto* device = Device(id);
    if (!device)
        return kSeqInvalidDeviceId;
    playTo_ = to;
    uint32_t error = device->Play(innerId_, from, to);
    if (error == kSeqPortGone && OnPort()) {
        PlayOnWithoutThePort();
        return active_->Play(innerId_, from, to);
    }
    return error;
}

uint32_t OutputChoice::Pause(SequencerDeviceId id) {
    auto* device = Device(id);
    return device ? device->Pause(innerId_) : kSeqInvalidDeviceId;
}

uint32_t OutputChoice::Stop(SequencerDeviceId id) {
    auto* device = Device(id);
    return device ? device->Stop(innerId_) : kSeqInvalidDeviceId;
}

uint32_t OutputChoice::Seek(SequencerDeviceId id, uint32_t positionMs) {
    auto* device = Device(id);
    return device ? device->Seek(innerId_, positionMs) : kSeqInvalidDeviceId;
}

uint32_t OutputChoice::Close(SequencerDeviceId id) {
    auto* device = Device(id);
    if (!device)
        return kSeqInvalidDeviceId;
    uint32_t error = device->Close(innerId_);
    const bool onPort = OnPort();
    active_ = nullptr;
    ownId_ = 0;
    if (error == kSeqPortGone && onPort) {
        port_.reset();
        PortUnavailable(error);
        return kSeqOk; // the tune is closed; the port's loss is reported apart
    }
    return error;
}

uint32_t OutputChoice::Status(SequencerDeviceId id, SequencerStatusItem item, uint32_t& value) {
    auto* device = Device(id);
    if (!device)
        return kSeqInvalidDeviceId;
    if (OnPort() && port_->OutputError() == kSeqPortGone)
        PlayOnWithoutThePort();
    return active_->Status(innerId_, item, value);
}

void OutputChoice::PlayOnWithoutThePort() {
    uint32_t position = 0;
    port_->Status(innerId_, SequencerStatusItem::Position, position);
    port_->Close(innerId_);
    port_.reset();
    active_ = builtIn_.get();
    PortUnavailable(kSeqPortGone);
    if (builtIn_->Open(element_, innerId_) != kSeqOk) {
        active_ = nullptr; // the owner sees a tune that stopped; its next open says why
        ownId_ = 0;
        return;
    }
    builtIn_->Play(innerId_, position, playTo_);
}

uint32_t OutputChoice::SetTempo(double rate) {
    uint32_t error = builtIn_->SetTempo(rate);
    if (error == kSeqOk) {
        rate_ = rate;
        if (port_)
            port_->SetTempo(rate);
    }
    return error;
}

uint32_t OutputChoice::SetTranspose(int semitones) {
    uint32_t error = builtIn_->SetTranspose(semitones);
    if (error == kSeqOk) {
        transpose_ = semitones;
        if (port_)
            port_->SetTranspose(semitones);
    }
    return error;
}

} // namespace tunquil::platform
