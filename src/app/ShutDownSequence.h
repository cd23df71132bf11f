#pragma once
// Closing the program, in its order: the exit question, a running print job ended, the window
// locked, play stopped, the albums and categories saved, the database closed, the mail window
// put away, the settings written, the play program released, the internal play file deleted,
// help and plug-ins restored, the bus closed. A closed window, SIGTERM, SIGINT and the end of
// the desktop session all come here, so nothing the user did is lost on logout.

#include "app/SingleInstance.h"
#include "base/Host.h"

namespace tunquil {

// What the main window does at each step. A step that fails throws; the sequence shows or
// ignores the failure as that step allows, and always goes on to the next.
class IShutDownSteps {
public:
    virtual ~IShutDownSteps() = default;
    virtual bool PrintJobRunning() { return false; }
    // Returns once the job is over: finished when it can be, aborted otherwise.
    virtual void EndPrintJob() {}
    // The position timer stopped, the program dialog hidden, commands locked, the hourglass.
    virtual void LockWindow() {}
    virtual bool PlayerPlaying() { return false; }
    virtual void StopPlayer() {}
    virtual void DeactivateProgram() {}
    virtual void SaveAlbums() {}
    virtual void SaveCategories() {}
    virtual void CloseDatabase() {}
    // Hidden, its settings stored, a sending in progress cancelled.
    virtual void CloseMail() {}
    virtual void WriteSettings() {}
    virtual void ReleaseProgram() {}
    virtual void DeleteInternalPlayFile() {}
    virtual void QuitHelp() {}
    virtual void RestorePlugins() {}
    // The status bar says "Closing down . . . ."; the window goes.
    virtual void Closed() {}
};

class ShutDownSequence {
public:
    ShutDownSequence(IHost& host, RunningCopy& copy) : host_(host), copy_(copy) {}

    // The operating system is ending the session (or asked us to end): no question is asked.
    void SetNoConfirmation() { noConfirmation_ = true; }
    bool NoConfirmation() const { return noConfirmation_; }

    // The close query: asks "Are you sure you want to exit Tunquil?" when `confirmBeforeExit`
    // and not told otherwise; true when the window may close.
    bool MayClose(bool confirmBeforeExit);

    // Runs every step once; a second call does nothing.
    void Run(IShutDownSteps& steps);
    bool Started() const { return started_; }

private:
    IHost& host_;
    RunningCopy& copy_;
    bool noConfirmation_ = false;
    bool started_ = false;
};

} // namespace tunquil
