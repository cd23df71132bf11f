#pragma once
// The browser plug-in's management dialog: install and remove the plug-in, and choose what
// happens to other plug-ins that claim MIDI files. A view over PluginManager, which does the
// work and tells the user through the host.

#include "integration/PluginManager.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace tunquil::ui {

class TManageNPIFrm : public QDialog {
    Q_OBJECT
public:
    explicit TManageNPIFrm(PluginManager& manager, QWidget* parent = nullptr);

    // Centres the dialog over `parent` and shows it modally.
    static void Execute(PluginManager& manager, QWidget* parent);

    // Enables the buttons and sets the state caption from the plug-in folders as they are now.
    void RefreshState();

    QGroupBox* StateGroup() const { return stateGroup_; }
    QPushButton* InstallButton() const { return install_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* ExecuteButton() const { return execute_; }
    QRadioButton* OptionButton(PluginManager::Option option) const;

private:
    PluginManager::Option SelectedOption() const;
    void OptionChosen();

    PluginManager& manager_;
    QGroupBox* stateGroup_ = nullptr;
    QGroupBox* optionsGroup_ = nullptr;
    QPushButton* install_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* execute_ = nullptr;
    QPushButton* close_ = nullptr;
    QRadioButton* options_[4] = {};
};

} // namespace tunquil::ui
