// Feeds arbitrary plug-in requests to the running copy's reading of them: the one-text form
// ("NV" + path + "[" + URL) that older helpers send, and the path and URL as items of their
// own. A request given as items must name exactly its path, whatever the path holds.
// The first byte picks the form; in the items form a line break parts the path from the URL.

#include "app/SingleInstance.h"
#include "base/Text.h"
#include "integration/CommandProcessor.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace tunquil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    platform::BusMessage message;
    message.number = kPluginRequestMessage;
    const bool items = data[0] & 1;
    if (items) {
        const std::size_t cut = rest.find('\n');
        message.items = {rest.substr(0, cut),
                         cut == std::string::npos ? std::string() : rest.substr(cut + 1)};
    } else {
        message.text = rest;
    }
    PluginRequest request;
    const bool parsed = CommandProcessor::ParsePluginCommand(PluginCommand(message), request);
    // No file path holds a NUL: a request whose path does is read somehow, but not checked.
    if (items && message.items[0].find('\0') == std::string::npos) {
        const std::string& path = message.items[0];
        if (parsed != !path.empty())
            __builtin_trap();
        if (parsed && (request.path != path || request.origin != Trim(message.items[1])))
            __builtin_trap();
    }
    return 0;
}
