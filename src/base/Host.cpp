#include "base/Host.h"

namespace tunquil {

std::string ExpandLineSeparators(const std::string& text, const std::string& separator) {
    if (separator.empty())
        return text;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = text.find(separator, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out.push_back('\n');
        pos = hit + separator.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

TModalResult SafestAnswer(TMsgDlgButtons buttons) {
    if (buttons & mbCancel)
        return TModalResult::mrCancel;
    if (buttons & mbNo)
        return TModalResult::mrNo;
    if (buttons & mbAbort)
        return TModalResult::mrAbort;
    return TModalResult::mrOk;
}

} // namespace tunquil
