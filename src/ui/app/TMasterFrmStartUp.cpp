// The main window's part in the program's start and in one running copy: the deferred
// start-up, the commands of a start or a hand-over, the registered messages of the bus, and
// closing at the end of the session.

#include "app/PlayProgram.h"
#include "import/TitleImporter.h"
#include "platform/FakeMessageBus.h"
#include "ui/app/TMasterFrm.h"
#include "ui/app/TSplashFrm.h"

#include <QApplication>
#include <QTimer>

namespace tunquil::ui {

void TMasterFrm::AdoptRunningCopy(std::unique_ptr<RunningCopy> copy) {
    if (!copy) {
        privateBus_ = std::make_unique<platform::FakeMessageBus>();
        copy = std::make_unique<RunningCopy>(*privateBus_, RunningCopy::Callbacks{});
        copy->Register();
    }
    copy_ = std::move(copy);
    closing_ = std::make_unique<ShutDownSequence>(host_, *copy_);
    // Each only schedules: the sender is answered before anything is carried out, so a dialog
    // that happens to be open never holds up a second start.
    copy_->SetCallbacks({
        .commandsArrived = [this] { RunCommands(); },
        .pluginRequestArrived = [this] { RunCommands(); },
        .bringToFront = [this] { QTimer::singleShot(0, this, &TMasterFrm::BringToFront); },
        .setPosition =
            [this](int thousandths) {
                if (program_ && startedUp_ && program_->SafeMode() == 2)
                    program_->SetPositionPerMille(thousandths);
            },
        .showMixer = [this] { QTimer::singleShot(0, this, &TMasterFrm::ShowMixer); },
    });
}

void TMasterFrm::SetStartArguments(std::vector<std::string> arguments) {
    startArguments_ = std::move(arguments);
}

void TMasterFrm::BringToFront() {
    // The splash would otherwise stay on top of the window the user asked for.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* splash = qobject_cast<TSplashFrm*>(w))
            splash->close();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TMasterFrm::EndSession() {
    closing_->SetNoConfirmation();
    close();
}

void TMasterFrm::DeferredStartUp() {
    try {
        StartUp();
    } catch (const std::exception& e) {
        // Without its database the program has nothing to offer.
        host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbCancel);
        QCoreApplication::exit(1);
        return;
    }
    importer_ = std::make_unique<TitleImporter>(host_, *library_.DataModule(),
                                                library_.Categories(), programDirectory_);
    importer_->shuttingDown = [this] { return copy_->ShuttingDown(); };
    program_->onPositionPerMille = [this](int perMille) {
        copy_->TellPlugin(kTrackBarPerc, perMille);
    };
    copy_->SetStartUpComplete(true);
    program_->SetStartupComplete(true);
    DesktopStartUp();
    // A plug-in request that came during start-up goes first; otherwise the first argument.
    // Hand-overs that came during start-up follow this start's own first argument.
    std::vector<std::string> handedOver = copy_->TakeCommands();
    if (!copy_->HasPluginRequest() && !startArguments_.empty())
        copy_->Queue({startArguments_.front()});
    copy_->Queue(std::move(handedOver));
    RunCommands();
    if (startArguments_.empty())
        QTimer::singleShot(0, this, &TMasterFrm::OfferScan);
}

void TMasterFrm::OfferScan() {
    if (shutDown_ || copy_->CommandHandled() || !settings_.remindToScan ||
        startSettings_.fullScanDone)
        return;
    if (host_.ShowMessage("Scan your system to find all MIDI files (recommended)?\\n",
                          TMsgDlgType::mtConfirmation, 201,
                          mbYes | mbNo | mbHelp) == TModalResult::mrYes) {
        repaint();
        ScanSystem();
    }
}

void TMasterFrm::RunCommands() {
    // Commands wait for the database; they run from the event loop, one batch at a time.
    if (!startedUp_ || commandsScheduled_)
        return;
    commandsScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        commandsScheduled_ = false;
        if (shutDown_ || copy_->ShuttingDown())
            return;
        std::string request = copy_->TakePluginRequest();
        if (!request.empty())
            RunCommand(request);
        for (const std::string& command : copy_->TakeCommands())
            RunCommand(command);
    });
}

} // namespace tunquil::ui
