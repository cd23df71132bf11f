#include "app/ShutDownSequence.h"

namespace tunquil {

namespace {
template <class Action> void ShowingFailure(IHost& host, const char* label, Action&& action) {
    try {
        action();
    } catch (const std::exception& e) {
        host.ShowMessage(std::string(label) + e.what(), TMsgDlgType::mtError, 0, mbCancel);
    }
}

// Saving the lists reports its own problems as it goes; nothing is left to say here.
template <class Action> void IgnoringFailure(Action&& action) {
    try {
        action();
    } catch (const std::exception&) {
    }
}
} // namespace

bool ShutDownSequence::MayClose(bool confirmBeforeExit) {
    if (started_ || !confirmBeforeExit || noConfirmation_)
        return true;
    return host_.ShowMessage("Are you sure you want to exit Tunquil?", TMsgDlgType::mtConfirmation,
                             0, mbYes | mbNo) == TModalResult::mrYes;
}

void ShutDownSequence::Run(IShutDownSteps& steps) {
    if (started_)
        return;
    started_ = true;
    // First of all, so that a hand-over or plug-in request arriving while we close is refused
    // instead of being run on a database about to close.
    copy_.BeginShutDown();
    // A print job would otherwise let the window go without anything below being saved.
    if (steps.PrintJobRunning())
        ShowingFailure(host_, "", [&] { steps.EndPrintJob(); });
    IgnoringFailure([&] { steps.LockWindow(); });
    ShowingFailure(host_, "Exception closing MIDI: ", [&] {
        if (steps.PlayerPlaying())
            steps.StopPlayer();
    });
    IgnoringFailure([&] { steps.DeactivateProgram(); });
    IgnoringFailure([&] { steps.SaveAlbums(); });
    IgnoringFailure([&] { steps.SaveCategories(); });
    ShowingFailure(host_, "", [&] { steps.CloseDatabase(); });
    IgnoringFailure([&] { steps.CloseMail(); });
    ShowingFailure(host_, "FinishAll1: ", [&] { steps.WriteSettings(); });
    ShowingFailure(host_, "FinishAll2: ", [&] { steps.ReleaseProgram(); });
    ShowingFailure(host_, "FinishAll3: ", [&] { steps.DeleteInternalPlayFile(); });
    IgnoringFailure([&] { steps.QuitHelp(); });
    IgnoringFailure([&] { steps.RestorePlugins(); });
    IgnoringFailure([&] { steps.Closed(); });
}

} // namespace tunquil
