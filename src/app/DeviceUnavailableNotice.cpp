#include "app/DeviceUnavailableNotice.h"

#include "base/Text.h"

namespace tunquil {

const std::vector<std::string>& DeviceUnavailableNotice::Lines() {
    static const std::vector<std::string> lines{
        "Windows allows only one MIDI player to PLAY music on the MIDI sub-system at any point "
        "in time",
        "(of course, you can have many different players INSTALLED on your PC).  Tunquil has",
        "detected that another MIDI player currently is playing or active.",
        "",
        "Please do one of the following, A or B:",
        "",
        "A.  Shut down the other MIDI player if you can find it,",
        "",
        "B.  1. Set Tunquil as the default Windows MIDI player (under the 'File' menu command),",
        "     2. Shut down and restart your system.",
    };
    return lines;
}

std::vector<std::string> DeviceUnavailableNotice::Lines(const std::string& deviceMessage) {
    return deviceMessage.empty() ? Lines() : SplitLines(deviceMessage);
}

} // namespace tunquil
