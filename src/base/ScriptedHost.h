#pragma once
// A host that answers questions from a script and records everything it was told. Used by the
// tests, and by tunquilctl for quiet, unattended runs.

#include "base/Host.h"

#include <deque>
#include <string>
#include <vector>

namespace tunquil {

class ScriptedHost : public IHost {
public:
    struct Shown {
        std::string text;
        TMsgDlgType type;
        int helpContext;
        TMsgDlgButtons buttons;
    };

    // Answers given in order; when they run out, `defaultAnswer` is used (mrNone means: the
    // SafestAnswer for the box's buttons).
    std::deque<TModalResult> answers;
    TModalResult defaultAnswer = TModalResult::mrNone;
    std::deque<std::string> inputAnswers; // an empty deque cancels every input box
    int cancelAfterProgressCalls = -1;    // >= 0: request cancel after that many progress calls

    std::vector<Shown> messages;
    std::vector<std::pair<int, std::string>> progress;
    std::vector<std::string> statuses;
    int busyDepth = 0;
    int processEventsCalls = 0;
    int beeps = 0;

    TModalResult ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                             TMsgDlgButtons buttons) override;
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override;
    void Progress(int percent, const std::string& what) override;
    bool CancelRequested() override;
    void Status(const std::string& text) override { statuses.push_back(text); }
    void SetBusy(bool busy) override { busyDepth += busy ? 1 : -1; }
    void ProcessEvents() override { ++processEventsCalls; }
    void Beep() override { ++beeps; }

    // The text of the last message shown, or "" when none was.
    std::string LastMessage() const { return messages.empty() ? "" : messages.back().text; }
};

} // namespace tunquil
