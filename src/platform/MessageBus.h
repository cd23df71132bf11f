#pragma once
// The per-user message bus that stands in for window messages between processes: the running
// copy's main window, a second start, and the browser plug-in's helper. A window is a Unix
// domain socket named after its window class in the user's runtime folder; whoever holds the
// class's lock file owns that name. A message carries a number or a registered name, two
// parameters, an optional text that stands for a global atom and, for the hand-over of a second
// start's arguments, a list of texts.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tunquil::platform {

enum class BusKind : uint8_t { Send = 1, Post = 2, Reply = 3 };

struct BusMessage {
    BusKind kind = BusKind::Post;
    uint32_t number = 0; // a private message number; 0 when `name` is used
    std::string name;    // a registered message name ("TQ_BringToFront")
    int64_t wParam = 0;
    int64_t lParam = 0;
    std::string text;               // stands for a global atom
    std::vector<std::string> items; // a hand-over's arguments, each whole

    bool operator==(const BusMessage&) const = default;
};

// A registered name is a short identifier; the atom text is limited as an atom is.
constexpr std::size_t kMaxMessageName = 64;
constexpr std::size_t kMaxAtomText = 255;
// The largest frame accepted. Arguments are handed over whole, so this is far above what a
// command line can hold, yet small enough that no client can make the program hold much.
constexpr std::size_t kMaxFramePayload = 1u << 20;
// The most items one frame holds; it keeps a reader's allocation bounded too. A longer list is
// handed over in several messages.
constexpr std::size_t kMaxFrameItems = 4096;
// What one frame spends outside its items, at most: kind, number, name, parameters, text and
// the lengths of these; and what each item adds besides its text.
constexpr std::size_t kMaxFrameFixedPart =
    1 + 4 + 1 + kMaxMessageName + 8 + 8 + 2 + kMaxAtomText + 4;
constexpr std::size_t kFrameItemOverhead = 4;

class BusError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The answer of a window to a message: its result, or nothing when no window of the class
// exists, the message was refused, or no answer came in time.
using BusResult = std::optional<int64_t>;

// Called for each message that arrives at the registered window; the return value is the
// result a sender waits for.
using BusHandler = std::function<int64_t(const BusMessage&)>;

class IMessageBus {
public:
    virtual ~IMessageBus() = default;

    // Becomes the window of `windowClass`, accepting messages by number and by the registered
    // names in `names` (others are refused unseen). False when a live process already is that
    // window. Throws BusError when the runtime folder or the socket cannot be used.
    virtual bool RegisterWindow(const std::string& windowClass,
                                const std::vector<std::string>& names, BusHandler handler) = 0;
    // Stops being the window; messages sent afterwards find none.
    virtual void UnregisterWindow() = 0;
    virtual bool HasWindow() const = 0;

    // Whether a window of `windowClass` exists now.
    virtual bool FindWindow(const std::string& windowClass) = 0;
    // Sends and waits for the result, at most `timeout`. A window whose owner is still starting
    // (it holds the class but does not listen yet) is waited for within the same time.
    virtual BusResult Send(const std::string& windowClass, BusMessage message,
                           std::chrono::milliseconds timeout) = 0;
    // Delivers without waiting for the window to handle it; false when there is no window.
    virtual bool Post(const std::string& windowClass, BusMessage message) = 0;

    // Handles the messages that have arrived for the registered window, waiting for the first
    // at most `wait`. The windowing layer calls it when the bus's descriptors are readable.
    virtual void Pump(std::chrono::milliseconds wait) = 0;
};

// The folder holding the bus's sockets: TUNQUIL_RUNTIME_DIR, else $XDG_RUNTIME_DIR/tunquil,
// else /tmp/tunquil-<uid>.
std::filesystem::path BusRuntimeDirectory();

// Frames on the wire: "TQMB", a 32-bit little-endian payload length, then the payload (kind,
// number, name, wParam, lParam, text, items), every text length-prefixed.
std::string EncodeFrame(const BusMessage& message);

enum class FrameStatus { Complete, NeedMore, Malformed };
// Parses the frame at the start of `bytes`. Complete sets `message` and `consumed`; Malformed
// comes as soon as the header shows a frame that is too long or the payload breaks a rule, so
// that a hostile client is dropped before it sends the rest.
FrameStatus ParseFrame(std::string_view bytes, BusMessage& message, std::size_t& consumed);

} // namespace tunquil::platform
