// Feeds arbitrary bytes to the message bus's frame parser, as a hostile client on the socket
// would send them. A frame that parses must encode back to exactly the bytes it came from, so
// that no two readings of one frame can differ.

#include "platform/MessageBus.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tunquil::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    BusMessage message;
    std::size_t used = 0;
    if (ParseFrame(bytes, message, used) != FrameStatus::Complete)
        return 0;
    if (used > size || EncodeFrame(message) != bytes.substr(0, used))
        __builtin_trap();
    return 0;
}
