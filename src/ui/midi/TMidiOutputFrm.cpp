#include "ui/midi/TMidiOutputFrm.h"

#include "platform/MidiPorts.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunquil::ui {

namespace {

// The list item's own name, without the mark of a missing output.
constexpr int kOutputRole = Qt::UserRole;
const QString kMissing = " (not connected)";

} // namespace

TMidiOutputFrm::TMidiOutputFrm(Outputs outputs, QWidget* parent)
    : QDialog(parent), outputs_(std::move(outputs)), list_(new QListWidget(this)),
      test_(new QPushButton("&Test", this)), result_(new QLabel(this)),
      builtIn_(platform::kBuiltInSynthesizer) {
    setObjectName("TMidiOutputFrm");
    setWindowTitle("MIDI output");
    setAccessibleName(windowTitle());
    auto* label = new QLabel("&Play titles through:", this);
    label->setBuddy(list_);
    list_->setObjectName("Outputs");
    list_->setAccessibleName("MIDI outputs");
    list_->setMinimumWidth(360);
    test_->setObjectName("Test");
    test_->setAccessibleName("Test");
    test_->setAccessibleDescription("Plays a short scale on the output selected");
    result_->setObjectName("TestResult");
    result_->setAccessibleName("Test result");
    result_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(test_, &QPushButton::clicked, this, [this] { Test(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { test_->setEnabled(row >= 0); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(test_);
    row->addWidget(result_, 1);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void TMidiOutputFrm::Load(const std::string& current) {
    list_->clear();
    result_->clear();
    std::vector<std::string> names = outputs_.list ? outputs_.list() : std::vector<std::string>{};
    if (names.empty() || names.front() != builtIn_)
        names.insert(names.begin(), builtIn_);
    const std::string wanted = current.empty() ? builtIn_ : current;
    int selected = -1;
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), list_);
        item->setData(kOutputRole, QString::fromStdString(name));
        if (name == wanted)
            selected = list_->count() - 1;
    }
    if (selected < 0) {
        auto* item = new QListWidgetItem(QString::fromStdString(wanted) + kMissing, list_);
        item->setData(kOutputRole, QString::fromStdString(wanted));
        selected = list_->count() - 1;
    }
    list_->setCurrentRow(selected);
}

std::string TMidiOutputFrm::Chosen() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item)
        return {};
    std::string name = item->data(kOutputRole).toString().toStdString();
    return name == builtIn_ ? std::string() : name;
}

void TMidiOutputFrm::Test() {
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !outputs_.test)
        return;
    const std::string name = item->data(kOutputRole).toString().toStdString();
    const std::string problem = outputs_.test(name);
    result_->setText(problem.empty() ? "Playing a scale on " + QString::fromStdString(name) + "."
                                     : QString::fromStdString(problem));
}

} // namespace tunquil::ui
