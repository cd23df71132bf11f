#pragma once
// One running copy per user. A start first tries to become the main window on the message bus;
// when another copy already is, it hands its arguments over and ends. The running copy takes a
// hand-over at once (the sender never waits on a dialog that happens to be open) and carries the
// commands out afterwards, in order, from its own event loop.

#include "platform/MessageBus.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunquil {

constexpr const char* kMainWindowClass = "TMasterFrm";
constexpr const char* kPluginWindowClass = "TMsgRcvFrm";
constexpr uint32_t kHandOverMessage = 1455;
constexpr uint32_t kPluginRequestMessage = 1711;

constexpr const char* kBringToFront = "TQ_BringToFront";
constexpr const char* kTrackBarPerc = "TQ_TrackBar_Perc";
constexpr const char* kTrackBarSetPos = "TQ_TrackBar_SetPos";
constexpr const char* kShowMixerWindow = "TQ_ShowMixerWindow";
constexpr const char* kShowBadFileBitmap = "TQ_ShowBadFileBitmap";

// The names registered at start-up, shared with the browser plug-in.
std::vector<std::string> RegisteredMessageNames();

// The command arguments of a start: argv[1..], without the options that only concern this
// process (--home DIR, --home=DIR), with file paths given relative to `workingDirectory` made
// absolute, bare ("song.mid") or after a verb letter ("Psong.mid"). The running copy has
// another working directory, so only the start that was given them can do this.
std::vector<std::string> CommandArguments(int argc, const char* const* argv,
                                          const std::filesystem::path& workingDirectory);

// The NV command of a plug-in request: "NV" + path + NUL + URL from the request's two items,
// or the older one-text form "NV" + path + "[" + URL as it came.
std::string PluginCommand(const platform::BusMessage& request);

enum class HandOverResult {
    Done,     // the running copy took the arguments
    Refused,  // it is shutting down
    NoAnswer, // no copy, or none answered in time
    TooLong,  // an argument is longer than a message can carry
};

// The arguments cut into runs that each fit one message of the bus, in their order; one run,
// empty, when there are none.
std::vector<std::vector<std::string>> HandOverParts(const std::vector<std::string>& arguments);

// The second start's side: hands every argument over whole, in as few messages as hold them
// (thousands of files chosen at once are more than one frame carries). `delivered`, when given,
// is advanced by the number of arguments the running copy took, so that a retry sends only the
// rest.
HandOverResult HandOver(platform::IMessageBus& bus, const std::vector<std::string>& arguments,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5),
                        std::size_t* delivered = nullptr);

class RunningCopy;

enum class StartRole {
    First,      // this start is the running copy now
    Alone,      // the bus failed (see RunningCopy::BusProblem): this start runs unseen by others
    HandedOver, // the running copy took the arguments; this start ends
    Refused,    // the running copy kept refusing (closing down) and never went away
    NoAnswer,   // the running copy did not answer in time
    TooLong,    // an argument is longer than the bus carries (no command line holds one)
};

// A start's decision: become the running copy, or hand the arguments to the one that is. A
// copy that is closing down refuses; this start then waits for it to go and takes its place,
// all within `timeout`. A bus that fails after it was opened (a folder path too long for a
// socket, a lock file that cannot be opened) never ends the start: it runs on without the bus.
StartRole ClaimOrHandOver(RunningCopy& copy, platform::IMessageBus& bus,
                          const std::vector<std::string>& arguments,
                          std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The running copy's side of the bus: takes hand-overs, plug-in requests and the registered
// messages, and keeps the state that tells handlers whether the program is ready or closing.
class RunningCopy {
public:
    // What the window does when a message arrives. Each is called from within the bus's
    // handler, so it must return promptly: schedule work, never run a dialog.
    struct Callbacks {
        std::function<void()> commandsArrived; // TakeCommands has something
        std::function<void()> pluginRequestArrived;
        std::function<void()> bringToFront; // also on every hand-over
        std::function<void(int thousandths)> setPosition;
        std::function<void()> showMixer;
    };

    RunningCopy(platform::IMessageBus& bus, Callbacks callbacks);

    // Becomes the main window on the bus; false when another copy is running.
    bool Register();
    // Why this copy runs without the bus (StartRole::Alone); empty when it does not.
    const std::string& BusProblem() const { return busProblem_; }
    void SetBusProblem(std::string text) { busProblem_ = std::move(text); }
    // Stops being the main window, at the very end of shut-down.
    void Unregister() { bus_.UnregisterWindow(); }
    void SetCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }
    // Handles one message as the main window; returns the message's result.
    int64_t Receive(const platform::BusMessage& message);

    // The first argument of this start, or each argument of a hand-over, in arrival order.
    std::vector<std::string> TakeCommands();
    void Queue(std::vector<std::string> commands);
    // The latest plug-in request (a newer one replaces an older one); empty when none.
    std::string TakePluginRequest();
    bool HasPluginRequest() const { return !pluginRequest_.empty(); }

    // From now on hand-overs and requests are refused: nothing may run on a closing database.
    void BeginShutDown() { shuttingDown_ = true; }
    bool ShuttingDown() const { return shuttingDown_; }
    void SetStartUpComplete(bool complete) { startUpComplete_ = complete; }
    bool StartUpComplete() const { return startUpComplete_; }
    // Set when any command has been carried out in this run (it silences the scan reminder).
    void SetCommandHandled() { commandHandled_ = true; }
    bool CommandHandled() const { return commandHandled_; }

    // Tells the browser plug-in's window, when there is one. False when there is none.
    bool TellPlugin(const std::string& name, int64_t wParam = 0);

private:
    platform::IMessageBus& bus_;
    Callbacks callbacks_;
    std::vector<std::string> commands_;
    std::string pluginRequest_;
    std::string busProblem_;
    bool shuttingDown_ = false;
    bool startUpComplete_ = false;
    bool commandHandled_ = false;
};

} // namespace tunquil
