#include "ui/integration/TManageNPIFrm.h"

#include "ui/controls/THelpWindow.h"
#include "ui/controls/TMessageDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {
constexpr int kDialogHelp = 7002;
const char* const kOptionCaptions[] = {
    "Ignore them:  Tunquil plugin may not work!",
    "Disable them while Tunquil is open, then re-enable them",
    "Disable conflicting plugins",
    "Re-enable previously disabled plugins",
};

// The four buttons sit centred in their row whatever the dialog's width.
QHBoxLayout* CentredRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* w : widgets)
        row->addWidget(w);
    row->addStretch();
    return row;
}
} // namespace

TManageNPIFrm::TManageNPIFrm(PluginManager& manager, QWidget* parent)
    : QDialog(parent), manager_(manager) {
    setWindowTitle(" Manage Navigator plugin");
    const qreal scale = logicalDpiX() / 96.0;
    setMinimumSize(qRound(346 * scale), qRound(268 * scale));

    stateGroup_ = new QGroupBox(this);
    install_ = new QPushButton("&Install Tunquil plugin", stateGroup_);
    remove_ = new QPushButton("&Remove Tunquil plugin", stateGroup_);
    install_->setProperty("helpContext", 7003);
    remove_->setProperty("helpContext", 7004);
    stateGroup_->setLayout(CentredRow({install_, remove_}));

    optionsGroup_ = new QGroupBox(" Choose configuration for conflicting plugins... ", this);
    optionsGroup_->setProperty("helpContext", 7005);
    auto* optionsLayout = new QVBoxLayout(optionsGroup_);
    for (int i = 0; i < 4; ++i) {
        options_[i] = new QRadioButton(kOptionCaptions[i], optionsGroup_);
        options_[i]->setProperty("helpContext", 7006 + i);
        optionsLayout->addWidget(options_[i]);
        connect(options_[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                OptionChosen();
        });
    }

    execute_ = new QPushButton("&Execute configuration", this);
    execute_->setDefault(true);
    execute_->setProperty("helpContext", 7010);
    close_ = new QPushButton("&Close", this);
    close_->setProperty("helpContext", 7011);
    auto* help = new QPushButton("&Help", this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stateGroup_);
    layout->addWidget(optionsGroup_);
    layout->addLayout(CentredRow({execute_, close_, help}));

    // Checked once every button exists: the choice sets the Execute button.
    options_[1]->setChecked(true);

    connect(install_, &QPushButton::clicked, this, [this] {
        manager_.Install();
        RefreshState();
    });
    connect(remove_, &QPushButton::clicked, this, [this] {
        manager_.Remove();
        RefreshState();
    });
    connect(execute_, &QPushButton::clicked, this, [this] {
        manager_.ExecuteConfiguration(SelectedOption());
        RefreshState();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(help, &QPushButton::clicked, this,
            [this] { THelpWindow::ShowTopic(kDialogHelp, this); });
    RefreshState();
}

void TManageNPIFrm::Execute(PluginManager& manager, QWidget* parent) {
    TManageNPIFrm dialog(manager, parent);
    dialog::CentreOverOwner(&dialog, parent);
    dialog.exec();
}

QRadioButton* TManageNPIFrm::OptionButton(PluginManager::Option option) const {
    return options_[static_cast<int>(option)];
}

PluginManager::Option TManageNPIFrm::SelectedOption() const {
    for (int i = 0; i < 4; ++i)
        if (options_[i]->isChecked())
            return static_cast<PluginManager::Option>(i);
    return PluginManager::Option::Ignore;
}

void TManageNPIFrm::OptionChosen() {
    execute_->setEnabled(remove_->isEnabled() && SelectedOption() != PluginManager::Option::Ignore);
}

void TManageNPIFrm::RefreshState() {
    const PluginManager::DialogState state = manager_.State();
    install_->setEnabled(state.installEnabled);
    remove_->setEnabled(state.removeEnabled);
    optionsGroup_->setEnabled(state.removeEnabled);
    for (QRadioButton* option : options_)
        option->setEnabled(state.removeEnabled);
    stateGroup_->setTitle(QString::fromStdString(state.caption));
    stateGroup_->setAccessibleName(stateGroup_->title().trimmed());
    OptionChosen();
}

} // namespace tunquil::ui
