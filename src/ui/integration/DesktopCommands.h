#pragma once
// The program on the desktop: the commands of a start, a hand-over or the browser plug-in, the
// default MIDI player, the plug-in's dialog and hooks, and the start at login.

#include "ui/MasterWindow.h"

#include <QObject>
#include <memory>

class QAction;
class QMenu;

namespace tunquil {
class CommandProcessor;
class CoreCommandTarget;
class PluginManager;
class ShellIntegration;
struct MainWindowSettings;
namespace platform {
class IRegistry;
}
} // namespace tunquil

namespace tunquil::ui {

class DesktopCommands : public QObject {
public:
    explicit DesktopCommands(IMasterWindow& window);
    ~DesktopCommands() override;

    // The desktop's registry: registers the document type and its verbs for `executable` at
    // once. Without one, start-up keeps the registrations in memory.
    void AdoptRegistry(std::unique_ptr<platform::IRegistry> registry, fs::path executable);

    // The default player's two items and the plug-in's item of the File menu.
    void AddFileItems(QMenu* menu);
    void AddLaunchItem(QMenu* menu);
    void ShowSettings(const MainWindowSettings& settings);

    // The end of the deferred start-up: the menu state of the default player, launch at login
    // and the plug-in, the plug-in's start-up hook, and its dialog at the first start when no
    // file was given (`withArguments` false).
    void StartUp(bool withArguments);
    // The plug-in's shut-down hook.
    void ShutDown();

    // Runs what the running copy has queued (a plug-in request first), from the event loop,
    // one batch at a time.
    void RunCommands();

    void SetAsDefaultPlayer();
    void RestoreDefaultPlayer();
    void ManagePlugin();
    void SetLaunchAtLogin(bool on);

private:
    void RunCommand(const std::string& command);
    // Every command of a start, a hand-over or the plug-in goes through here.
    CommandProcessor& Commands();
    // The plug-in's dialog at the first start, once nothing else asks the user anything.
    void IntroducePlugin();
    void ApplyDefaultPlayerMenu();
    void ShowLaunchState(bool on);

    IMasterWindow& window_;
    std::unique_ptr<platform::IRegistry> registry_;
    fs::path executable_;
    std::unique_ptr<ShellIntegration> shell_;
    std::unique_ptr<PluginManager> plugins_;
    std::unique_ptr<CoreCommandTarget> target_;
    std::unique_ptr<CommandProcessor> commands_;
    // The launch item's check mark follows the autostart entry only once it has been read;
    // before that the saved setting's check mark must not write anything.
    bool launchKnown_ = false;
    bool commandsScheduled_ = false;
    QAction *setDefaultItem_ = nullptr, *restoreDefaultItem_ = nullptr, *pluginItem_ = nullptr,
            *launchItem_ = nullptr;
};

} // namespace tunquil::ui
