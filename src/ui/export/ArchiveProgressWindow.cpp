#include "ui/export/ArchiveProgressWindow.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

ArchiveProgressWindow::ArchiveProgressWindow(IHost& messages, QWidget* owner,
                                             const QString& caption, int width, int height)
    : QDialog(owner), host_(*this, messages) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    auto group = [this](QGroupBox*& box, QProgressBar*& bar, const QString& name) {
        box = new QGroupBox(this);
        bar = new QProgressBar(box);
        bar->setAccessibleName(name);
        bar->setTextVisible(false);
        (new QVBoxLayout(box))->addWidget(bar);
    };
    group(FirstGroup, FirstBar, QStringLiteral("First progress"));
    group(SecondGroup, SecondBar, QStringLiteral("Second progress"));
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setAccessibleName(QStringLiteral("Cancel"));
    connect(CancelButton, &QPushButton::clicked, this, &ArchiveProgressWindow::CancelClicked);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FirstGroup);
    layout->addWidget(SecondGroup);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CancelButton);
    row->addStretch();
    layout->addLayout(row);
    setFixedSize(width, height);

    start_ = new QTimer(this);
    start_->setSingleShot(true);
    start_->setInterval(50);
    connect(start_, &QTimer::timeout, this, [this] {
        running_ = true;
        try {
            work_(host_);
        } catch (const std::exception& e) {
            // Nothing may leave a timer's slot; the user is told instead.
            host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
        }
        running_ = false;
        work_ = nullptr;
        accept();
    });
}

void ArchiveProgressWindow::Run(const QString& firstCaption, const QString& secondCaption,
                                const std::function<void(IHost&)>& work) {
    cancelled_ = false;
    told_ = false;
    FirstGroup->setTitle(firstCaption);
    SecondGroup->setTitle(secondCaption);
    for (QProgressBar* bar : {FirstBar, SecondBar}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    CancelButton->setEnabled(true);
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    work_ = work;
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    start_->start();
    exec();
}

void ArchiveProgressWindow::CancelClicked() {
    cancelled_ = true;
    CancelButton->setEnabled(false);
}

void ArchiveProgressWindow::reject() {
    // The window goes when its work does; closing it early would leave the work unwatched.
    if (running_ || start_->isActive())
        CancelClicked();
    else
        QDialog::reject();
}

TModalResult ArchiveProgressWindow::Host::ShowMessage(const std::string& text, TMsgDlgType type,
                                                      int helpContext, TMsgDlgButtons buttons) {
    // A message (the result above all) never opens behind the window that stays on top: from
    // the first one on, the window stays where it is like any other.
    if (window_.windowFlags() & Qt::WindowStaysOnTopHint) {
        window_.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        window_.show();
    }
    return messages_.ShowMessage(text, type, helpContext, buttons);
}

bool ArchiveProgressWindow::Host::InputText(const std::string& caption, const std::string& prompt,
                                            std::string& text) {
    return messages_.InputText(caption, prompt, text);
}

void ArchiveProgressWindow::Host::Progress(int percent, const std::string& what) {
    QString caption = QString::fromStdString(what);
    bool first = caption == window_.FirstGroup->title();
    (first ? window_.FirstBar : window_.SecondBar)->setValue(percent);
}

void ArchiveProgressWindow::Host::ProcessEvents() {
    QCoreApplication::processEvents();
    if (!window_.told_ && window_.OnRunning) {
        window_.told_ = true;
        window_.OnRunning(window_);
    }
}

} // namespace tunquil::ui
