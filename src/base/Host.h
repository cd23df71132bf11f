#pragma once
// The core's only way to reach the user. Windows implement it with real dialogs, tunquilctl
// with the terminal, and the tests with a scripted host that answers and records.

#include <cstdint>
#include <exception>
#include <string>

namespace tunquil {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// A set of buttons, as bit flags.
enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbHelp = 1u << 8,
};
using TMsgDlgButtons = unsigned;

// The button that closed a box.
enum class TModalResult { mrNone, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrYes, mrNo, mrAll };

// Message texts keep line breaks as the two characters backslash and n; this turns every such
// separator into a real line break for display.
std::string ExpandLineSeparators(const std::string& text, const std::string& separator = "\\n");

// The answer to a question that changes nothing: Cancel, else No, else Abort, else OK. Hosts
// that cannot ask anybody answer so, and an unattended run never deletes or overwrites.
TModalResult SafestAnswer(TMsgDlgButtons buttons);

class IHost {
public:
    virtual ~IHost() = default;

    // The show-message routine: shows `text` (line separators still in it) and returns the
    // button pressed.
    virtual TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                     TMsgDlgButtons buttons) = 0;

    // Asks for one line of text; true on OK with `text` replaced, false on Cancel with `text`
    // untouched.
    virtual bool InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) = 0;
    // The same for a secret (a password): what is typed is not shown.
    virtual bool InputSecret(const std::string& caption, const std::string& prompt,
                             std::string& text) {
        return InputText(caption, prompt, text);
    }

    // Progress of a long operation, 0..100, with a line saying what is being done.
    virtual void Progress(int percent, const std::string& what) {
        (void)percent;
        (void)what;
    }
    // True once the user asked to cancel the long operation under way.
    virtual bool CancelRequested() { return false; }
    // A short status text (the status bar, or a line on the terminal).
    virtual void Status(const std::string& text) { (void)text; }
    // The hourglass: true while a long operation runs.
    virtual void SetBusy(bool busy) { (void)busy; }
    // Lets the user interface handle what is pending, so long work keeps it alive.
    virtual void ProcessEvents() {}

    // The play program's 100 ms position timer: the host calls the program's tick while it
    // runs (a Qt timer in the window, the main loop in tunquilctl).
    virtual void PositionTimer(bool running) { (void)running; }
    // The notice that the sound device cannot play (no sound server, no SoundFont, another
    // program holding the device); `deviceMessage` is the device's own text of what failed. The
    // notice keeps its own quiet period.
    virtual void ShowDeviceUnavailable(const std::string& deviceMessage) { (void)deviceMessage; }
    // The system's default beep.
    virtual void Beep() {}
};

// Shows the hourglass for a scope and takes it away however the scope ends.
class BusyScope {
public:
    explicit BusyScope(IHost& host) : host_(host) { host_.SetBusy(true); }
    ~BusyScope() { host_.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    IHost& host_;
};

// Runs one step of a longer job (a shut-down, say) so that the steps after it still run: a
// failure is shown as an error, `label` before its text, instead of being thrown.
template <class Action> void RunShowingFailure(IHost& host, const char* label, Action&& action) {
    try {
        action();
    } catch (const std::exception& e) {
        host.ShowMessage(std::string(label) + e.what(), TMsgDlgType::mtError, 0, mbOK);
    }
}

} // namespace tunquil
