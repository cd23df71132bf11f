#include "base/ScriptedHost.h"

namespace tunquil {

TModalResult ScriptedHost::ShowMessage(const std::string& text, TMsgDlgType type, int helpContext,
                                       TMsgDlgButtons buttons) {
    messages.push_back({text, type, helpContext, buttons});
    if (!answers.empty()) {
        TModalResult r = answers.front();
        answers.pop_front();
        return r;
    }
    if (defaultAnswer != TModalResult::mrNone)
        return defaultAnswer;
    return SafestAnswer(buttons);
}

bool ScriptedHost::InputText(const std::string&, const std::string&, std::string& text) {
    if (inputAnswers.empty())
        return false;
    text = inputAnswers.front();
    inputAnswers.pop_front();
    return true;
}

void ScriptedHost::Progress(int percent, const std::string& what) {
    progress.emplace_back(percent, what);
}

bool ScriptedHost::CancelRequested() {
    return cancelAfterProgressCalls >= 0 &&
           static_cast<int>(progress.size()) >= cancelAfterProgressCalls;
}

} // namespace tunquil
