#pragma once
// A mixer in memory for tests: lines and controls as the test builds them, errors on demand,
// changes "made outside" that send a notice, and a count of writes.

#include "platform/MixerDevice.h"

#include <map>
#include <optional>

namespace tunquil::platform {

class FakeMixerDevice final : public IMixerDevice {
public:
    // Adds a control (and its line); its values start at the minimum.
    void AddControl(MixerLine line, MixerControlType type, MixerControl control);
    void RemoveLine(MixerLine line) { lines_.erase(line); }
    // Sets values as another program would, and sends the notice.
    void ChangeOutside(uint32_t controlId, std::vector<uint32_t> values);
    // Sends a notice without changing anything (the sound server also reports foreign changes).
    void NoticeOnly(uint32_t controlId);

    std::vector<uint32_t> Values(uint32_t controlId) const { return values_.at(controlId); }
    int Writes() const { return writes_; }

    std::optional<uint32_t> failOpen;
    std::optional<uint32_t> failFind;
    std::optional<uint32_t> failGet;
    std::optional<uint32_t> failSet;
    std::string productName = "Fake mixer";

    uint32_t Open() override;
    void Close() override { open_ = false; }
    std::string ProductName() const override { return productName; }
    uint32_t FindControl(MixerLine line, MixerControlType type, MixerControl& control) override;
    uint32_t GetValues(uint32_t controlId, std::vector<uint32_t>& values) override;
    uint32_t SetValues(uint32_t controlId, const std::vector<uint32_t>& values) override;
    void SetChangeNotice(std::function<void(uint32_t)> notice) override {
        notice_ = std::move(notice);
    }

private:
    std::map<MixerLine, std::map<MixerControlType, MixerControl>> lines_;
    std::map<uint32_t, std::vector<uint32_t>> values_;
    std::function<void(uint32_t)> notice_;
    bool open_ = false;
    int writes_ = 0;
};

} // namespace tunquil::platform
