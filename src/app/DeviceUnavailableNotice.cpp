#include "app/DeviceUnavailableNotice.h"

#include "base/Text.h"

namespace tunquil {

const std::vector<std::string>& DeviceUnavailableNotice::Lines() {
    static const std::vector<std::string> lines{
        "Tunquil could not open its MIDI output: the synthesizer or the sound server",
        "is not available, or another program holds the sound device.",
        "",
        "Please do one of the following, A or B:",
        "",
        "A.  Close the other program that plays sound, if you can find it,",
        "",
        "B.  1. Check that the sound server is running (pactl info),",
        "     2. Choose another SoundFont (Settings > SoundFont...).",
    };
    return lines;
}

std::vector<std::string> DeviceUnavailableNotice::Lines(const std::string& deviceMessage) {
    return deviceMessage.empty() ? Lines() : SplitLines(deviceMessage);
}

} // namespace tunquil
