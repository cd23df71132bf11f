// The main window's desktop commands: the commands of a start, a hand-over or the browser
// plug-in, the default MIDI player, the plug-in's dialog and hooks, and the start at login.

#include "app/PlayProgram.h"
#include "database/TDMM2.h"
#include "import/TitleImporter.h"
#include "integration/CommandProcessor.h"
#include "integration/CoreCommandTarget.h"
#include "integration/PluginManager.h"
#include "integration/ShellIntegration.h"
#include "platform/FakeRegistry.h"
#include "ui/app/TMasterFrm.h"
#include "ui/integration/TManageNPIFrm.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QTimer>

namespace tunquil::ui {

struct DesktopParts {
    std::unique_ptr<platform::IRegistry> registry;
    fs::path executable;
    std::unique_ptr<ShellIntegration> shell;
    std::unique_ptr<PluginManager> plugins;
    std::unique_ptr<CoreCommandTarget> target;
    std::unique_ptr<CommandProcessor> commands;
    // The launch item's check mark follows the autostart entry only once it has been read;
    // before that the saved setting's check mark must not write anything.
    bool launchKnown = false;
};

namespace {
DesktopParts& Parts(std::shared_ptr<DesktopParts>& parts) {
    if (!parts)
        parts = std::make_shared<DesktopParts>();
    return *parts;
}
} // namespace

void TMasterFrm::AdoptRegistry(std::unique_ptr<platform::IRegistry> registry, fs::path executable) {
    DesktopParts& d = Parts(desktop_);
    d.registry = std::move(registry);
    d.executable = std::move(executable);
    d.shell = std::make_unique<ShellIntegration>(host_, *d.registry, programDirectory_);
    d.plugins = std::make_unique<PluginManager>(host_, *d.registry, programDirectory_, nullptr);
    d.shell->RegisterDocumentType(d.executable);
}

void TMasterFrm::DesktopStartUp() {
    DesktopParts& d = Parts(desktop_);
    if (!d.registry)
        AdoptRegistry(std::make_unique<platform::FakeRegistry>(),
                      QCoreApplication::applicationFilePath().toStdString());
    d.shell->RefreshMenu();
    ApplyDefaultPlayerMenu();
    ShowLaunchState(d.shell->LaunchOnStart());
    d.launchKnown = true;

    pluginItem_->setVisible(!d.plugins->MenuList().empty());
    d.plugins->SetTemporaryDisable(startSettings_.disableTempConPI);
    d.plugins->AfterStartup();
    startSettings_.disableTempConPI = d.plugins->TemporaryDisable();
    // The first start without a file to open introduces the plug-in when a browser is there.
    // Two turns of the event loop: the scan question of this start is scheduled next and is
    // to be answered first.
    if (startSettings_.firstRun && startArguments_.empty() && pluginItem_->isVisible())
        QTimer::singleShot(0, this,
                           [this] { QTimer::singleShot(0, this, &TMasterFrm::IntroducePlugin); });
}

void TMasterFrm::IntroducePlugin() {
    // Never on top of another dialog or during a scan: one question at a time.
    if (QApplication::activeModalWidget() || Locked()) {
        QTimer::singleShot(200, this, &TMasterFrm::IntroducePlugin);
        return;
    }
    BringToFront(); // the splash would cover the dialog until its own time is up
    ManagePlugin();
}

void TMasterFrm::DesktopShutDown() {
    if (desktop_ && desktop_->plugins)
        desktop_->plugins->AtShutdown();
}

CommandProcessor& TMasterFrm::Commands() {
    DesktopParts& d = Parts(desktop_);
    if (d.commands)
        return *d.commands;
    d.target =
        std::make_unique<CoreCommandTarget>(library_.Database(), *importer_, *program_, nullptr);
    d.target->onRefreshViews = [this] { RefreshTransport(); };
    d.target->onShowMail = [this](const std::vector<int>& keys) {
        MailTitles(std::vector<int32_t>(keys.begin(), keys.end()));
    };
    d.target->onPluginBadFile = [this] { copy_->TellPlugin(kShowBadFileBitmap); };
    d.target->onAutoLooping = [this](bool on) {
        settings_.autoLooping = on;
        QSignalBlocker quiet(loopingItem_);
        loopingItem_->setChecked(on);
    };
    d.target->activeCategoryCaption = [this] {
        const int tab = Categories->currentIndex();
        return tab <= 0 ? std::string() : Categories->tabText(tab).toStdString();
    };
    d.commands = std::make_unique<CommandProcessor>(host_, *d.target);
    return *d.commands;
}

void TMasterFrm::RunCommand(const std::string& command) {
    copy_->SetCommandHandled();
    {
        CommandLock lock(*this);
        Commands().ProcessCommand(command);
    }
    RefreshTransport();
}

void TMasterFrm::ApplyDefaultPlayerMenu() {
    const ShellIntegration::MenuState& menu = desktop_->shell->Menu();
    setDefaultItem_->setEnabled(menu.setEnabled);
    restoreDefaultItem_->setEnabled(menu.restoreEnabled);
}

void TMasterFrm::SetAsDefaultPlayer() {
    if (!desktop_ || !desktop_->shell)
        return;
    desktop_->shell->SetDefaultMidiPlayer(copy_->ShuttingDown());
    ApplyDefaultPlayerMenu();
}

void TMasterFrm::RestoreDefaultPlayer() {
    if (!desktop_ || !desktop_->shell)
        return;
    desktop_->shell->RestoreDefaultMidiPlayer();
    ApplyDefaultPlayerMenu();
}

void TMasterFrm::ManagePlugin() {
    if (!desktop_ || !desktop_->plugins || shutDown_)
        return;
    TManageNPIFrm::Execute(*desktop_->plugins, this);
    startSettings_.disableTempConPI = desktop_->plugins->TemporaryDisable();
}

void TMasterFrm::ShowLaunchState(bool on) {
    settings_.launchOnWinStart = on;
    QSignalBlocker quiet(launchItem_);
    launchItem_->setChecked(on);
}

void TMasterFrm::SetLaunchAtLogin(bool on) {
    if (!desktop_ || !desktop_->launchKnown)
        return; // the saved setting's check mark, applied before the entry was read
    ShowLaunchState(desktop_->shell->SetLaunchOnStart(desktop_->executable, on));
}

} // namespace tunquil::ui
