#include "app/SingleInstance.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

namespace tunquil {

namespace fs = std::filesystem;
using platform::BusMessage;

std::vector<std::string> RegisteredMessageNames() {
    return {kBringToFront, kTrackBarPerc, kTrackBarSetPos, kShowMixerWindow, kShowBadFileBitmap};
}

namespace {
bool IsVerb(char c) {
    return c == 'P' || c == 'O' || c == 'M' || c == 'Z';
}

std::string Absolute(const std::string& arg, const fs::path& cwd) {
    // An NV command that holds its path and URL apart is absolute already.
    if (arg.empty() || arg[0] == '/' || arg.find('\0') != std::string::npos)
        return arg;
    std::error_code ec;
    if (fs::exists(cwd / arg, ec))
        return (cwd / arg).lexically_normal().string();
    if (arg.size() > 1 && IsVerb(arg[0]) && arg[1] != '/' && fs::exists(cwd / arg.substr(1), ec))
        return arg[0] + (cwd / arg.substr(1)).lexically_normal().string();
    return arg;
}
} // namespace

std::vector<std::string> CommandArguments(int argc, const char* const* argv,
                                          const fs::path& workingDirectory) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--home") {
            ++i;
            continue;
        }
        if (arg.rfind("--home=", 0) == 0)
            continue;
        args.push_back(Absolute(arg, workingDirectory));
    }
    return args;
}

std::string PluginCommand(const BusMessage& m) {
    // A file path never holds a NUL, so the path ends where the first one stands.
    if (m.items.size() == 2)
        return "NV" + m.items[0] + '\0' + m.items[1];
    return m.text;
}

namespace {
// What one hand-over message holds of arguments, each with its length.
constexpr std::size_t kHandOverRoom = platform::kMaxFramePayload - platform::kMaxFrameFixedPart;
} // namespace

std::vector<std::vector<std::string>> HandOverParts(const std::vector<std::string>& arguments) {
    std::vector<std::vector<std::string>> parts(1);
    std::size_t used = 0;
    for (const std::string& argument : arguments) {
        const std::size_t size = platform::kFrameItemOverhead + argument.size();
        if (!parts.back().empty() &&
            (used + size > kHandOverRoom || parts.back().size() == platform::kMaxFrameItems)) {
            parts.emplace_back();
            used = 0;
        }
        parts.back().push_back(argument);
        used += size;
    }
    return parts;
}

HandOverResult HandOver(platform::IMessageBus& bus, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout, std::size_t* delivered) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    // A command line cannot hold such an argument; refused before any part is sent, so the
    // running copy never carries out half a start.
    for (const std::string& argument : arguments)
        if (platform::kFrameItemOverhead + argument.size() > kHandOverRoom)
            return HandOverResult::TooLong;
    for (std::vector<std::string>& part : HandOverParts(arguments)) {
        const std::size_t count = part.size();
        BusMessage m;
        m.number = kHandOverMessage;
        m.wParam = static_cast<int64_t>(count);
        m.items = std::move(part);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        platform::BusResult result =
            bus.Send(kMainWindowClass, std::move(m), std::max(left, std::chrono::milliseconds(0)));
        if (!result)
            return HandOverResult::NoAnswer;
        if (*result == 0)
            return HandOverResult::Refused;
        if (delivered)
            *delivered += count;
    }
    return HandOverResult::Done;
}

StartRole ClaimOrHandOver(RunningCopy& copy, platform::IMessageBus& bus,
                          const std::vector<std::string>& arguments,
                          std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    StartRole role = StartRole::NoAnswer;
    std::size_t handedOver = 0;
    for (;;) {
        try {
            if (copy.Register())
                return StartRole::First;
        } catch (const platform::BusError& e) {
            copy.SetBusProblem(e.what());
            return StartRole::Alone;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        // The parts a copy took are not sent again; after a refusal nothing the closing copy
        // took will run, so a retry starts over.
        std::size_t delivered = 0;
        std::vector<std::string> rest(arguments.begin() + static_cast<std::ptrdiff_t>(handedOver),
                                      arguments.end());
        HandOverResult result =
            HandOver(bus, rest, std::max(left, std::chrono::milliseconds(0)), &delivered);
        handedOver += delivered;
        switch (result) {
        case HandOverResult::Done:
            return StartRole::HandedOver;
        case HandOverResult::TooLong:
            return StartRole::TooLong;
        case HandOverResult::Refused:
            role = StartRole::Refused;
            handedOver = 0;
            break;
        case HandOverResult::NoAnswer:
            // Either the owner went between our two steps (claim again) or it is hung.
            role = StartRole::NoAnswer;
            break;
        }
        if (Clock::now() >= deadline)
            return role;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

RunningCopy::RunningCopy(platform::IMessageBus& bus, Callbacks callbacks)
    : bus_(bus), callbacks_(std::move(callbacks)) {}

bool RunningCopy::Register() {
    return bus_.RegisterWindow(kMainWindowClass, RegisteredMessageNames(),
                               [this](const BusMessage& m) { return Receive(m); });
}

namespace {
template <class F, class... Args> void Call(const F& f, Args... args) {
    if (f)
        f(args...);
}
} // namespace

int64_t RunningCopy::Receive(const BusMessage& m) {
    if (shuttingDown_)
        return 0;
    if (m.number == kHandOverMessage) {
        // Files that tunquilctl hands over to be added (see CommandProcessor's A command) are
        // added behind the terminal that asked; every other hand-over is a start of the program
        // and shows the window.
        bool addsOnly =
            !m.items.empty() && std::all_of(m.items.begin(), m.items.end(), [](auto& c) {
                return c.size() > 1 && c[0] == 'A' && c.find('\x1f') != std::string::npos;
            });
        if (!addsOnly)
            Call(callbacks_.bringToFront);
        if (!m.items.empty()) {
            Queue(m.items);
            Call(callbacks_.commandsArrived);
        }
        return 1;
    }
    if (m.number == kPluginRequestMessage) {
        pluginRequest_ = PluginCommand(m);
        if (!pluginRequest_.empty())
            Call(callbacks_.pluginRequestArrived);
        return 1;
    }
    if (m.name == kBringToFront)
        Call(callbacks_.bringToFront);
    else if (m.name == kTrackBarSetPos)
        Call(callbacks_.setPosition, static_cast<int>(std::clamp<int64_t>(m.wParam, 0, 1000)));
    else if (m.name == kShowMixerWindow)
        Call(callbacks_.showMixer);
    return 0;
}

std::vector<std::string> RunningCopy::TakeCommands() {
    return std::exchange(commands_, {});
}

void RunningCopy::Queue(std::vector<std::string> commands) {
    for (std::string& c : commands)
        commands_.push_back(std::move(c));
}

std::string RunningCopy::TakePluginRequest() {
    return std::exchange(pluginRequest_, {});
}

bool RunningCopy::TellPlugin(const std::string& name, int64_t wParam) {
    BusMessage m;
    m.name = name;
    m.wParam = wParam;
    return bus_.Post(kPluginWindowClass, std::move(m));
}

} // namespace tunquil
