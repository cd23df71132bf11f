#include "platform/FakeMixerDevice.h"

namespace tunquil::platform {

void FakeMixerDevice::AddControl(MixerLine line, MixerControlType type, MixerControl control) {
    lines_[line][type] = control;
    values_[control.id] = std::vector<uint32_t>(control.channels, control.minimum);
}

void FakeMixerDevice::ChangeOutside(uint32_t controlId, std::vector<uint32_t> values) {
    values_[controlId] = std::move(values);
    NoticeOnly(controlId);
}

void FakeMixerDevice::NoticeOnly(uint32_t controlId) {
    if (notice_)
        notice_(controlId);
}

uint32_t FakeMixerDevice::Open() {
    if (failOpen)
        return *failOpen;
    open_ = true;
    return kMixerOk;
}

uint32_t FakeMixerDevice::FindControl(MixerLine line, MixerControlType type,
                                      MixerControl& control) {
    if (failFind)
        return *failFind;
    auto l = lines_.find(line);
    if (l == lines_.end())
        return kMixerInvalidLine;
    auto c = l->second.find(type);
    if (c == l->second.end())
        return kMixerInvalidControl;
    control = c->second;
    return kMixerOk;
}

uint32_t FakeMixerDevice::GetValues(uint32_t controlId, std::vector<uint32_t>& values) {
    if (failGet)
        return *failGet;
    auto v = values_.find(controlId);
    if (v == values_.end())
        return kMixerInvalidControl;
    values = v->second;
    return kMixerOk;
}

uint32_t FakeMixerDevice::SetValues(uint32_t controlId, const std::vector<uint32_t>& values) {
    if (failSet)
        return *failSet;
    auto v = values_.find(controlId);
    if (v == values_.end())
        return kMixerInvalidControl;
    ++writes_;
    v->second = values;
    return kMixerOk;
}

} // namespace tunquil::platform
