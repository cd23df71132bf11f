#include "ui/integration/DesktopCommands.h"

#include "app/MainWindowSettings.h"
#include "app/PlayProgram.h"
#include "app/SingleInstance.h"
#include "app/TunquilSettings.h"
#include "database/TMusicLibrary.h"
#include "import/TitleImporter.h"
#include "integration/CommandProcessor.h"
#include "integration/CoreCommandTarget.h"
#include "integration/PluginManager.h"
#include "integration/ShellIntegration.h"
#include "platform/FakeRegistry.h"
#include "ui/WidgetHost.h"
#include "ui/controls/MenuItems.h"
#include "ui/integration/TManageNPIFrm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QTimer>

namespace tunquil::ui {

DesktopCommands::DesktopCommands(IMasterWindow& window) : window_(window) {}

DesktopCommands::~DesktopCommands() = default;

void DesktopCommands::AdoptRegistry(std::unique_ptr<platform::IRegistry> registry,
                                    fs::path executable) {
    registry_ = std::move(registry);
    executable_ = std::move(executable);
    shell_ =
        std::make_unique<ShellIntegration>(window_.Host(), *registry_, window_.ProgramDirectory());
    plugins_ = std::make_unique<PluginManager>(window_.Host(), *registry_,
                                               window_.ProgramDirectory(), nullptr);
    shell_->RegisterDocumentType(executable_);
}

void DesktopCommands::AddFileItems(QMenu* menu) {
    setDefaultItem_ =
        Item(menu, "Set Tunquil as default &MIDI player", this, [this] { SetAsDefaultPlayer(); });
    restoreDefaultItem_ = Item(menu, "&Restore original default MIDI player", this,
                               [this] { RestoreDefaultPlayer(); });
    // Until the desktop association is in place the program is never the default player.
    restoreDefaultItem_->setEnabled(false);
    menu->addSeparator();
    pluginItem_ = Item(menu, "&Manage Navigator plugin...", this, [this] { ManagePlugin(); });
    pluginItem_->setVisible(false); // no browser plug-in directory on this system
}

void DesktopCommands::AddLaunchItem(QMenu* menu) {
    launchItem_ = Check(menu, "&Launch at login", this, [this](bool on) { SetLaunchAtLogin(on); });
}

void DesktopCommands::ShowSettings(const MainWindowSettings& settings) {
    if (launchItem_)
        launchItem_->setChecked(settings.launchOnWinStart);
}

void DesktopCommands::StartUp(bool withArguments) {
    if (!registry_)
        AdoptRegistry(std::make_unique<platform::FakeRegistry>(),
                      QCoreApplication::applicationFilePath().toStdString());
    shell_->RefreshMenu();
    ApplyDefaultPlayerMenu();
    ShowLaunchState(shell_->LaunchOnStart());
    launchKnown_ = true;

    TunquilSettings& settings = window_.StartSettings();
    pluginItem_->setVisible(!plugins_->MenuList().empty());
    plugins_->SetTemporaryDisable(settings.disableTempConPI);
    plugins_->AfterStartup();
    settings.disableTempConPI = plugins_->TemporaryDisable();
    // The first start without a file to open introduces the plug-in when a browser is there.
    // Two turns of the event loop: the scan question of this start is scheduled next and is
    // to be answered first.
    if (settings.firstRun && !withArguments && pluginItem_->isVisible())
        QTimer::singleShot(
            0, this, [this] { QTimer::singleShot(0, this, &DesktopCommands::IntroducePlugin); });
}

void DesktopCommands::IntroducePlugin() {
    // Never on top of another dialog or during a scan: one question at a time.
    if (QApplication::activeModalWidget() || window_.Locked()) {
        QTimer::singleShot(200, this, &DesktopCommands::IntroducePlugin);
        return;
    }
    window_.BringToFront(); // the splash would cover the dialog until its own time is up
    ManagePlugin();
}

void DesktopCommands::ShutDown() {
    if (plugins_)
        plugins_->AtShutdown();
}

// ------------------------------------------------------------------ commands

CommandProcessor& DesktopCommands::Commands() {
    if (commands_)
        return *commands_;
    target_ = std::make_unique<CoreCommandTarget>(window_.Library().Database(), *window_.Importer(),
                                                  *window_.Program(), nullptr);
    target_->onRefreshViews = [this] { window_.RefreshTransport(); };
    target_->onShowMail = [this](const std::vector<int>& keys) {
        window_.MailTitles(std::vector<int32_t>(keys.begin(), keys.end()));
    };
    target_->onPluginBadFile = [this] { window_.Copy().TellPlugin(kShowBadFileBitmap); };
    target_->onAutoLooping = [this](bool on) { window_.AutoLoopingChanged(on); };
    target_->activeCategoryCaption = [this] {
        const SelectionNames names = window_.Names();
        return names.categoryTab <= 0 ? std::string() : names.categoryCaption;
    };
    commands_ = std::make_unique<CommandProcessor>(window_.Host(), *target_);
    return *commands_;
}

void DesktopCommands::RunCommands() {
    // Commands wait for the database; they run from the event loop, one batch at a time.
    if (!window_.StartedUp() || commandsScheduled_)
        return;
    commandsScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        commandsScheduled_ = false;
        RunningCopy& copy = window_.Copy();
        if (window_.ClosingDown() || copy.ShuttingDown())
            return;
        std::string request = copy.TakePluginRequest();
        if (!request.empty())
            RunCommand(request);
        for (const std::string& command : copy.TakeCommands())
            RunCommand(command);
    });
}

void DesktopCommands::RunCommand(const std::string& command) {
    window_.Copy().SetCommandHandled();
    {
        CommandLock lock(window_);
        Commands().ProcessCommand(command);
    }
    window_.RefreshTransport();
}

// ------------------------------------------------------------------ the default player

void DesktopCommands::ApplyDefaultPlayerMenu() {
    const ShellIntegration::MenuState& menu = shell_->Menu();
    setDefaultItem_->setEnabled(menu.setEnabled);
    restoreDefaultItem_->setEnabled(menu.restoreEnabled);
}

void DesktopCommands::SetAsDefaultPlayer() {
    if (!shell_)
        return;
    shell_->SetDefaultMidiPlayer(window_.Copy().ShuttingDown());
    ApplyDefaultPlayerMenu();
}

void DesktopCommands::RestoreDefaultPlayer() {
    if (!shell_)
        return;
    shell_->RestoreDefaultMidiPlayer();
    ApplyDefaultPlayerMenu();
}

// ------------------------------------------------------------------ plug-in and login

void DesktopCommands::ManagePlugin() {
    if (!plugins_ || window_.ClosingDown())
        return;
    TManageNPIFrm::Execute(*plugins_, window_.Widget());
    window_.StartSettings().disableTempConPI = plugins_->TemporaryDisable();
}

void DesktopCommands::ShowLaunchState(bool on) {
    window_.WindowSettings().launchOnWinStart = on;
    QSignalBlocker quiet(launchItem_);
    launchItem_->setChecked(on);
}

void DesktopCommands::SetLaunchAtLogin(bool on) {
    if (!launchKnown_)
        return; // the saved setting's check mark, applied before the entry was read
    ShowLaunchState(shell_->SetLaunchOnStart(executable_, on));
}

} // namespace tunquil::ui
